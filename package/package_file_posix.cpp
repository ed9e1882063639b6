#include "package/package_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

PackageFile::~PackageFile() { Close(); }

bool PackageFile::Open(const char* path) {
    Close();
    const int descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return false;
    }
    (void)::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    descriptor_ = descriptor;
    return true;
}

void PackageFile::Close() {
    if (descriptor_ < 0) return;
    ::close(descriptor_);
    descriptor_ = -1;
}

bool PackageFile::IsOpen() const { return descriptor_ >= 0; }

bool PackageFile::QuerySize(uint64_t& size) {
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0) return false;
    size = static_cast<uint64_t>(status.st_size);
    return true;
}

bool PackageFile::Seek(uint64_t position) {
    if (descriptor_ < 0) return false;
    return ::lseek(descriptor_, static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
}

uint32_t PackageFile::Read(void* buffer, uint32_t length) {
    if (descriptor_ < 0) return 0;
    auto* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    // One call normally suffices; the loop covers the system's 2 GiB cap and interrupts.
    while (done < length) {
        const ssize_t count = ::read(descriptor_, bytes + done, length - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        done += static_cast<uint32_t>(count);
    }
    return done;
}

namespace {

// Room for one chunk: one buffer for the whole process, grown to the largest chunk asked
// for and kept (only the download worker reads chunks, one image at a time). Never freed,
// like the transfer buffers. Null when the memory cannot be had.
uint8_t* ChunkSpace(uint32_t length) {
    static std::unique_ptr<uint8_t[]> space;
    static uint32_t capacity = 0;
    if (length > capacity) {
        space.reset(new (std::nothrow) uint8_t[length]);
        capacity = space ? length : 0;
    }
    return space.get();
}

// An image read chunk by chunk with positioned reads into the chunk buffer: a 100 MB image
// then costs neither its size in memory nor a page fault for each of its pages, and each
// chunk is framed from memory the cache already holds. The file is the program's own
// executable (or a package named on the command line), which the system does not let
// anyone rewrite while it runs; a read that still comes up short fails the chunk.
class FileChunks final : public PayloadSource {
public:
    FileChunks(int descriptor, uint64_t position, uint32_t length)
        : descriptor_(descriptor), position_(position), length_(length) {}
    ~FileChunks() override { ::close(descriptor_); }
    FileChunks(const FileChunks&) = delete;
    FileChunks& operator=(const FileChunks&) = delete;

    const uint8_t* Read(uint64_t offset, uint32_t length) override {
        if (offset > length_ || length > length_ - offset) return nullptr;
        uint8_t* space = ChunkSpace(length);
        if (!space) return nullptr;
        uint32_t done = 0;
        while (done < length) {
            const ssize_t count = ::pread(descriptor_, space + done, length - done,
                                          static_cast<off_t>(position_ + offset + done));
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) return nullptr;
            done += static_cast<uint32_t>(count);
        }
        return space;
    }

private:
    int descriptor_;
    uint64_t position_;
    uint32_t length_;
};

}  // namespace

std::unique_ptr<PayloadSource> PackageFile::ChunkSource(uint64_t position, uint32_t length) {
    if (descriptor_ < 0 || length == 0) return nullptr;
    const int descriptor = ::fcntl(descriptor_, F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0) return nullptr;
    return std::make_unique<FileChunks>(descriptor, position, length);
}

bool ProgramFileExists(const char* path) {
    struct stat status {};
    return path && *path && ::stat(path, &status) == 0;
}

bool CanHoldImage(uint32_t) { return true; }
