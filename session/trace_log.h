// "trace.txt": the plain-text record of a run. Every append goes straight to the
// operating system (no buffer in the process), so the file is complete up to the last
// line even when the process ends abruptly. Texts are written exactly as given: no line
// end, time stamp or prefix is added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr const char* kTraceFileName = "trace.txt";

class TraceFile {
public:
    TraceFile() = default;
    ~TraceFile();  // closes the file if it is still open
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Creates "trace.txt" afresh in the current directory (an existing one is truncated),
    // write-only, shared for reading and writing. Returns false when it cannot be created.
    bool Open();
    // Appends the bytes; an empty append writes nothing. Does nothing when closed.
    void Append(const void* data, std::size_t length);
    void Append(const char* text);
    void Close();  // closing a closed file does nothing
    bool IsOpen() const;

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int descriptor_ = -1;
#endif
};

// Whether "trace.txt" can be created in the current directory, found out without
// truncating an existing one (a missing file is left behind empty). The Next button asks
// this before it touches the handset, so that a run never starts without its record.
bool TraceFileCanBeCreated();

// The one trace file of the process.
TraceFile& Trace();

// mode 0 opens (creates) the file, 1 appends text, 2 closes; any other mode does nothing.
// Returns 0 always.
int WriteTrace(int mode, const char* text = nullptr);

// Appends a printf-style text as one write.
void TraceFormat(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Appends the formatted line followed by the raw bytes and one "\r", all in one write:
// how a failed read or a mismatching reply is recorded.
void TraceLineWithBytes(const std::string& line, const uint8_t* bytes, std::size_t count);

// Formats like snprintf into a std::string.
std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
