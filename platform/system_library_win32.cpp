#include "platform/system_library_win32.h"

#include <delayimp.h>

#include <cstddef>

HMODULE LoadSystemLibrary(const char* name) {
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::size_t at = length;
    path[at++] = L'\\';
    for (const char* character = name; *character; ++character) {
        unsigned char code = static_cast<unsigned char>(*character);
        if (code == '\\' || code == '/' || code == ':' || code >= 0x80 || at + 1 >= MAX_PATH) {
            SetLastError(ERROR_INVALID_NAME);
            return nullptr;
        }
        path[at++] = static_cast<wchar_t>(code);
    }
    path[at] = L'\0';
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void StartWithSafeDllSearch() {
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);
    FARPROC bound = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDllDirectoryA");
    if (bound) reinterpret_cast<SetDllDirectoryFunction>(reinterpret_cast<void*>(bound))("");
}

namespace {

// Called by MinGW's delay-load helper (libmingwex) before it loads a delay-imported DLL;
// the module returned is used as is. Were null returned, the helper would search the usual
// folders: a DLL missing from the system folder ends as the helper ends when it finds none.
FARPROC WINAPI LoadDelayImportFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    if (HMODULE module = LoadSystemLibrary(info->szDll)) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(module));
    info->dwLastError = GetLastError();
    ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
    RaiseException(static_cast<DWORD>(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND)), 0, 1, &argument);
    return nullptr;
}

}  // namespace

// Replaces libmingwex's empty hook: this object is linked whenever StartWithSafeDllSearch is.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayImportFromSystemFolder;
