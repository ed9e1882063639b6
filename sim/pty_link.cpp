#include "sim/pty_link.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

void SleepMilliseconds(unsigned milliseconds) {
    timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

std::string Failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

PtyLink::~PtyLink() { Remove(); }

bool PtyLink::Open(const std::string& linkPath, std::string& error) {
    linkPath_ = linkPath;
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master_ < 0) {
        error = Failure("posix_openpt");
        return false;
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = Failure("grantpt/unlockpt");
        CloseDescriptors();
        return false;
    }
    const char* name = ptsname(master_);
    if (!name) {
        error = Failure("ptsname");
        CloseDescriptors();
        return false;
    }
    terminalPath_ = name;
    terminal_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal_ < 0) {
        error = Failure("open terminal end");
        CloseDescriptors();
        return false;
    }
    // Raw both ways: every byte value passes unchanged, nothing is echoed or translated.
    termios settings{};
    if (tcgetattr(terminal_, &settings) != 0) {
        error = Failure("tcgetattr");
        CloseDescriptors();
        return false;
    }
    cfmakeraw(&settings);
    if (tcsetattr(terminal_, TCSANOW, &settings) != 0) {
        error = Failure("tcsetattr");
        CloseDescriptors();
        return false;
    }
    // Re-pointed in one step, so that the link never names nothing while it moves.
    std::string temporary = linkPath_ + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(terminalPath_.c_str(), temporary.c_str()) != 0 || ::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        error = Failure("symlink");
        CloseDescriptors();
        return false;
    }
    return true;
}

bool PtyLink::Reenumerate(unsigned goneMs, std::string& error) {
    ::unlink(linkPath_.c_str());
    CloseDescriptors();
    SleepMilliseconds(goneMs);
    return Open(linkPath_, error);
}

void PtyLink::WaitUntilRead(unsigned timeoutMs) const {
    // A reply reaches the terminal end's queue a moment after it was written, so an empty
    // queue only counts once that moment has passed.
    constexpr unsigned kLandingMs = 100;
    SleepMilliseconds(kLandingMs);
    for (unsigned waited = kLandingMs; waited < timeoutMs; waited += 5) {
        int queued = 0;
        if (terminal_ < 0 || ioctl(terminal_, FIONREAD, &queued) != 0 || queued == 0) return;
        SleepMilliseconds(5);
    }
}

void PtyLink::Remove() {
    if (!linkPath_.empty() && master_ >= 0) ::unlink(linkPath_.c_str());
    CloseDescriptors();
}

void PtyLink::CloseDescriptors() {
    if (terminal_ >= 0) ::close(terminal_);
    if (master_ >= 0) ::close(master_);
    terminal_ = master_ = -1;
}
