#include "package/package_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Images are mapped rather than read: a 100 MB image then costs neither a copy nor a
// page fault for each of its fresh pages. The file is the program's own executable (or a
// package named on the command line), which the system does not let anyone rewrite
// while it runs.
std::unique_ptr<FileView> PackageFile::Map(uint64_t position, uint32_t length) {
    if (descriptor_ < 0 || length == 0) return nullptr;
    const auto page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    const uint64_t start = position - position % page;
    const std::size_t mappedLength = static_cast<std::size_t>(position - start) + length;
    int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    flags |= MAP_POPULATE;  // all pages at once, from the page cache
#endif
    void* mapping = ::mmap(nullptr, mappedLength, PROT_READ, flags, descriptor_, static_cast<off_t>(start));
    if (mapping == MAP_FAILED) return nullptr;
    const uint8_t* bytes = static_cast<const uint8_t*>(mapping) + (position - start);
    return std::make_unique<FileView>(mapping, mappedLength, bytes);
}

FileView::FileView(void* mapping, std::size_t mappedLength, const uint8_t* bytes)
    : mapping_(mapping), mappedLength_(mappedLength), bytes_(bytes) {}

FileView::~FileView() { ::munmap(mapping_, mappedLength_); }

bool ProgramFileExists(const char* path) {
    struct stat status {};
    return path && *path && ::stat(path, &status) == 0;
}
