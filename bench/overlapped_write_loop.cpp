// overlapped_write_loop PORT BYTES: what Wine's serial path carries at best. Opens PORT as the
// serial mode does (overlapped, the five time-outs at 7 ms) and writes BYTES in 256-byte
// overlapped pieces as the port does: each piece done before the next starts (awaited on its
// event only when it did not complete at once), with no framing, reading or tracing; prints
// the rate in MB/s. The bytes never hold a frame flag, so the simulated handset at
// the other end only drains them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: overlapped_write_loop PORT BYTES\n");
        return 2;
    }
    const unsigned long long total = std::strtoull(argv[2], nullptr, 10);
    HANDLE port = CreateFileA(argv[1], GENERIC_ALL, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: %lu\n", argv[1], GetLastError());
        return 1;
    }
    COMMTIMEOUTS timeouts{7, 7, 7, 7, 7};
    SetCommTimeouts(port, &timeouts);
    std::vector<unsigned char> piece(256, 0x55);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (unsigned long long sent = 0; sent < total; sent += piece.size()) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        DWORD written = 0;
        if (!WriteFile(port, piece.data(), static_cast<DWORD>(piece.size()), nullptr, &overlapped)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                std::fprintf(stderr, "write failed: %lu\n", GetLastError());
                return 1;
            }
            WaitForSingleObject(event, 6000);
        }
        if (!GetOverlappedResult(port, &overlapped, &written, FALSE) || written != piece.size()) {
            std::fprintf(stderr, "piece went out short: %lu\n", written);
            return 1;
        }
    }
    QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("%.2f\n", static_cast<double>(total) / seconds / 1e6);
    CloseHandle(event);
    CloseHandle(port);
    return 0;
}
