// Read access to the program file that carries the package: opened for reading with
// sharing allowed for every other reader and writer, with a sequential-scan hint, and
// closed when the object goes. One handle per read operation; nothing is kept open.
#pragma once

#include <cstdint>
#include <memory>

#include "protocol/packet_buffer.h"

// A read-only view of part of the package file, valid as long as the object lives.
class FileView : public PayloadKeeper {
public:
    FileView(void* mapping, std::size_t mappedLength, const uint8_t* bytes);
    ~FileView() override;
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;
    const uint8_t* Bytes() const { return bytes_; }

private:
    void* mapping_;
    std::size_t mappedLength_;
    const uint8_t* bytes_;
};

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
    // Maps `length` bytes from `position` for reading without a copy; null where the
    // system maps no files for us (the caller reads them instead).
    std::unique_ptr<FileView> Map(uint64_t position, uint32_t length);

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int descriptor_ = -1;
#endif
};

// Whether a directory entry of that name exists: a directory search, not an open.
bool ProgramFileExists(const char* path);
