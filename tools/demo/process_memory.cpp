// Prints what Windows reports of a running program's memory: its peak private bytes and peak
// working set (GetProcessMemoryInfo) and its peak virtual size (the process's VM counters).
//   process_memory.exe NAME    (NAME: the program's file name, such as Veltrane.exe)
// One line, "peak private bytes N, peak working set N, peak virtual size N"; status 1, saying
// why, when no such program runs or it cannot be read.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>

namespace {

DWORD FindProcess(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
        if (_stricmp(entry.szExeFile, name) == 0) found = entry.th32ProcessID;
    CloseHandle(snapshot);
    return found;
}

// VM_COUNTERS as NtQueryInformationProcess fills it (ProcessVmCounters, class 3).
struct VmCounters {
    SIZE_T PeakVirtualSize, VirtualSize;
    ULONG PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
        QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
};

unsigned long long PeakVirtualSize(HANDLE process) {
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    VmCounters counters{};
    if (!query || query(process, 3, &counters, sizeof counters, nullptr) != 0) return 0;
    return counters.PeakVirtualSize;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: process_memory.exe NAME\n");
        return 2;
    }
    const DWORD id = FindProcess(argv[1]);
    HANDLE process = id ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id) : nullptr;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!process || !GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        std::fprintf(stderr, "process_memory: %s is not running or cannot be read (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("peak private bytes %llu, peak working set %llu, peak virtual size %llu\n",
                static_cast<unsigned long long>(counters.PeakPagefileUsage),
                static_cast<unsigned long long>(counters.PeakWorkingSetSize), PeakVirtualSize(process));
    CloseHandle(process);
    return 0;
}
