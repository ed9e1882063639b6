#include "package/package_file.h"

#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "platform/wide_path_win32.h"


PackageFile::~PackageFile() { Close(); }

bool PackageFile::Open(const char* path) {
    Close();
    // Deny none: the trace, an installer or another instance may hold the file as well.
    const std::wstring wide = path ? WidePath(path) : std::wstring();  // UTF-8 inside, wide here
    if (wide.empty()) return false;
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return false;
    }
    handle_ = handle;
    return true;
}

void PackageFile::Close() {
    if (!handle_) return;
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

bool PackageFile::IsOpen() const { return handle_ != nullptr; }

bool PackageFile::QuerySize(uint64_t& size) {
    LARGE_INTEGER value;
    if (!handle_ || !GetFileSizeEx(static_cast<HANDLE>(handle_), &value)) return false;
    size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

bool PackageFile::Seek(uint64_t position) {
    if (!handle_) return false;
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(static_cast<HANDLE>(handle_), distance, nullptr, FILE_BEGIN) != 0;
}

uint32_t PackageFile::Read(void* buffer, uint32_t length) {
    if (!handle_) return 0;
    auto* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < length) {
        DWORD count = 0;
        if (!ReadFile(static_cast<HANDLE>(handle_), bytes + done, length - done, &count, nullptr) || count == 0) break;
        done += count;
    }
    return done;
}

// Windows reads the images whole: the serial and WinUSB pipes, not the host, set the pace there.
std::unique_ptr<PayloadSource> PackageFile::ChunkSource(uint64_t, uint32_t) { return nullptr; }

bool CanHoldImage(uint32_t size) {
    // Taken and given back at once: the block is committed but never touched, so this costs
    // no physical memory.
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[size]);
    return block != nullptr;
}

bool ProgramFileExists(const char* path) {
    if (!path || !*path) return false;
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}
