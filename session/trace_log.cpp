#include "session/trace_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

TraceFile::~TraceFile() { Close(); }

#ifdef _WIN32

bool TraceFile::Open() {
    Close();
    HANDLE handle = CreateFileA(kTraceFileName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    handle_ = handle;
    return true;
}

void TraceFile::Append(const void* data, std::size_t length) {
    if (!handle_ || length == 0) return;
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), bytes, chunk, &written, nullptr) || written == 0) return;
        bytes += written;
        length -= written;
    }
}

void TraceFile::Close() {
    if (!handle_) return;
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

bool TraceFile::IsOpen() const { return handle_ != nullptr; }

bool TraceFileCanBeCreated() {
    HANDLE handle = CreateFileA(kTraceFileName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

#else

bool TraceFile::Open() {
    Close();
    int descriptor = ::open(kTraceFileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0) return false;
    descriptor_ = descriptor;
    return true;
}

void TraceFile::Append(const void* data, std::size_t length) {
    if (descriptor_ < 0) return;
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        ssize_t written = ::write(descriptor_, bytes, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
}

void TraceFile::Close() {
    if (descriptor_ < 0) return;
    ::close(descriptor_);
    descriptor_ = -1;
}

bool TraceFile::IsOpen() const { return descriptor_ >= 0; }

bool TraceFileCanBeCreated() {
    int descriptor = ::open(kTraceFileName, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) return false;
    ::close(descriptor);
    return true;
}

#endif

void TraceFile::Append(const char* text) {
    if (text) Append(text, std::strlen(text));
}

TraceFile& Trace() {
    // Never destroyed: the window's thread may end the process while the worker still
    // appends (the wizard closed in the middle of a run), and a handle closed under it could
    // be reused for another file. Every append is already with the system; it closes the
    // handle when the process ends.
    static auto* file = new TraceFile;
    return *file;
}

int WriteTrace(int mode, const char* text) {
    switch (mode) {
    case 0: Trace().Open(); break;
    case 1: Trace().Append(text); break;
    case 2: Trace().Close(); break;
    default: break;
    }
    return 0;
}

namespace {
std::string VFormat(const char* format, va_list arguments) {
    char small[512];
    va_list copy;
    va_copy(copy, arguments);
    int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) return {};
    if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, static_cast<std::size_t>(needed));
    std::vector<char> large(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(large.data(), large.size(), format, arguments);
    return std::string(large.data(), static_cast<std::size_t>(needed));
}
}  // namespace

std::string FormatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = VFormat(format, arguments);
    va_end(arguments);
    return text;
}

void TraceFormat(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = VFormat(format, arguments);
    va_end(arguments);
    Trace().Append(text.data(), text.size());
}

void TraceLineWithBytes(const std::string& line, const uint8_t* bytes, std::size_t count) {
    std::string record;
    try {
        record.reserve(line.size() + count + 1);
    } catch (const std::bad_alloc&) {
        // No room to gather up to 10 MiB of reply: the same bytes go out in three appends,
        // which leave the file as one would (nothing else writes the trace meanwhile).
        Trace().Append(line.data(), line.size());
        Trace().Append(bytes, count);
        Trace().Append("\r", 1);
        return;
    }
    record.append(line);
    if (count > 0) record.append(reinterpret_cast<const char*>(bytes), count);
    record.push_back('\r');
    Trace().Append(record.data(), record.size());
}
