// Read access to the program file that carries the package: opened for reading with
// sharing allowed for every other reader and writer, with a sequential-scan hint, and
// closed when the object goes. One handle per read operation; nothing is kept open but the
// handle of an image that is being sent chunk by chunk (ChunkSource).
#pragma once

#include <cstdint>
#include <memory>

#include "protocol/packet_buffer.h"

class PackageFile {
public:
    PackageFile() = default;
    ~PackageFile();
    PackageFile(const PackageFile&) = delete;
    PackageFile& operator=(const PackageFile&) = delete;

    // False when the file cannot be opened for reading or is not a regular file.
    bool Open(const char* path);
    void Close();
    bool IsOpen() const;

    // The file's status (its size); false when it cannot be queried.
    bool QuerySize(uint64_t& size);
    // Moves to an absolute position.
    bool Seek(uint64_t position);
    // Reads up to length bytes at the current position with as few calls as the system
    // allows (one, for any image size on Windows and for images below 2 GiB elsewhere).
    // Returns the count read: fewer only at end of file or on a read error.
    uint32_t Read(void* buffer, uint32_t length);
    // The `length` bytes from `position` as a payload read chunk by chunk while it is sent,
    // through a handle of its own; null where images are read whole instead (Windows), or
    // when no handle can be had (the caller reads them whole then).
    std::unique_ptr<PayloadSource> ChunkSource(uint64_t position, uint32_t length);

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int descriptor_ = -1;
#endif
};

// Whether a directory entry of that name exists: a directory search, not an open.
bool ProgramFileExists(const char* path);

// Whether an image of `size` bytes can be had for its transfer: where images are read whole
// (Windows), whether that much memory can be taken now, in one block (a 32-bit process has
// 2 GiB of address space, the threads' stacks and the transfer buffers in it); elsewhere
// always, since images are read chunk by chunk there.
bool CanHoldImage(uint32_t size);
