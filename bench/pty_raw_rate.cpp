// The raw rate of a pty on this machine, as the flasher drives it: 256-byte writes into the
// terminal end (each awaited with poll when the line is full), read in large blocks at the
// other end. The yardstick for the flasher's own rate over the same kind of line.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kPiece = 256;
constexpr uint64_t kDefaultVolume = 128ull << 20;

double Seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

[[noreturn]] void Fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

int OpenRawTerminal(int master) {
    if (grantpt(master) != 0 || unlockpt(master) != 0) Fail("grantpt/unlockpt");
    const int terminal = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (terminal < 0) Fail("open terminal end");
    termios settings{};
    if (tcgetattr(terminal, &settings) != 0) Fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(terminal, TCSANOW, &settings) != 0) Fail("tcsetattr");
    return terminal;
}

void WriteAll(int terminal, uint64_t volume) {
    std::vector<uint8_t> piece(kPiece);
    for (std::size_t i = 0; i < kPiece; ++i) piece[i] = static_cast<uint8_t>(i);
    for (uint64_t sent = 0; sent < volume;) {
        const ssize_t count = ::write(terminal, piece.data(), kPiece);
        if (count > 0) {
            sent += static_cast<uint64_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) Fail("write");
        pollfd entry{terminal, POLLOUT, 0};
        ::poll(&entry, 1, 1000);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t volume = argc > 1 ? std::strtoull(argv[1], nullptr, 0) : kDefaultVolume;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) Fail("posix_openpt");
    const int terminal = OpenRawTerminal(master);

    const double start = Seconds();
    std::thread writer([&] { WriteAll(terminal, volume); });
    std::vector<uint8_t> block(1 << 20);
    for (uint64_t received = 0; received < volume;) {
        const ssize_t count = ::read(master, block.data(), block.size());
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) Fail("read");
        received += static_cast<uint64_t>(count);
    }
    const double elapsed = Seconds() - start;
    writer.join();
    std::printf("Raw pty: %.1f MB/s (%llu bytes in 256-byte writes, %.2f s)\n",
                static_cast<double>(volume) / elapsed / 1e6, static_cast<unsigned long long>(volume), elapsed);
    ::close(terminal);
    ::close(master);
    return 0;
}
