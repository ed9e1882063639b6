// The download port on POSIX systems: a tty (the handset's serial function, or a pty in
// front of the simulated handset) in raw mode, non-blocking, with the waits done by poll.
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "transport/port_operations.h"

namespace {

// A reply arrives as one burst; once bytes have come, the read goes on until the line has
// been quiet this long (the Windows serial port ends its reads the same way), unless the
// bytes show a whole frame (below).
constexpr int kQuietMs = 7;
constexpr uint8_t kFrameFlag = 0x7E;

// A read ends without the quiet wait once what it holds opens with a flag and ends in a
// closing flag (a flag right after a content byte). It never stops part-way into a frame:
// a second frame begun in the same delivery is read to its end and returned with the
// first, as a serial read would return it (the exchange judges the leading bytes only);
// one that begins after the read ended is left whole for the next read, as the USB port
// leaves a second transfer. Nothing is held back in the port.
bool EndsWithWholeFrame(const uint8_t* bytes, uint32_t count) {
    return count >= 3 && bytes[0] == kFrameFlag && bytes[count - 1] == kFrameFlag && bytes[count - 2] != kFrameFlag;
}

struct TtyPort {
    int descriptor = -1;
};

TtyPort tty;

int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits for `events` until the deadline. 1 ready, 0 expired, -1 error (errno set).
int WaitUntil(int descriptor, short events, int64_t deadline, short* revents) {
    for (;;) {
        int64_t left = deadline - NowMs();
        if (left < 0) left = 0;
        pollfd entry{descriptor, events, 0};
        int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return -1;
        *revents = entry.revents;
        return ready;
    }
}

int Recover(void* context) {
    auto* port = static_cast<TtyPort*>(context);
    if (port->descriptor < 0) return -1;
    if (tcflush(port->descriptor, TCIOFLUSH) != 0 && errno != ENOTTY) return errno;
    return 0;
}

int Open(void* context, const char* path) {
    auto* port = static_cast<TtyPort*>(context);
    int descriptor = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return errno;
    termios settings{};
    if (tcgetattr(descriptor, &settings) == 0) {
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
        if (tcsetattr(descriptor, TCSANOW, &settings) != 0) {
            int error = errno;
            ::close(descriptor);
            return error;
        }
    } else if (errno != ENOTTY) {
        int error = errno;
        ::close(descriptor);
        return error;
    }
    port->descriptor = descriptor;
    return 0;
}

void Close(void* context) {
    auto* port = static_cast<TtyPort*>(context);
    if (port->descriptor < 0) return;
    Recover(context);
    ::close(port->descriptor);
    port->descriptor = -1;
}

int Write(void* context, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t waitMs) {
    auto* port = static_cast<TtyPort*>(context);
    *written = 0;
    if (port->descriptor < 0) return -1;
    const int64_t deadline = NowMs() + waitMs;
    uint32_t done = 0;
    while (done < length) {
        ssize_t count = ::write(port->descriptor, data + done, length - done);
        if (count > 0) {
            done += static_cast<uint32_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && errno != EAGAIN) {
            *written = done;
            return errno;
        }
        short revents = 0;
        int ready = WaitUntil(port->descriptor, POLLOUT, deadline, &revents);
        if (ready == 0) return -1;  // the piece did not go out in time
        if (ready < 0) {
            *written = done;
            return errno;
        }
        if ((revents & (POLLHUP | POLLERR | POLLNVAL)) && !(revents & POLLOUT)) {
            *written = done;
            return EIO;
        }
    }
    *written = done;
    return 0;
}

int Read(void* context, uint8_t* buffer, uint32_t* length, uint32_t waitMs) {
    auto* port = static_cast<TtyPort*>(context);
    const uint32_t room = *length;
    *length = 0;
    if (port->descriptor < 0) return -1;
    const int64_t deadline = NowMs() + waitMs;
    uint32_t received = 0;
    int failure = 0;
    while (received < room) {
        // Before the first byte: wait for the reply up to the deadline. After it: only as
        // long as the line keeps delivering, and never beyond the deadline.
        int64_t until = received == 0 ? deadline : std::min(deadline, NowMs() + kQuietMs);
        short revents = 0;
        int ready = WaitUntil(port->descriptor, POLLIN, until, &revents);
        if (ready == 0) {
            if (received == 0) failure = -1;
            break;
        }
        if (ready < 0) {
            failure = errno;
            break;
        }
        ssize_t count = ::read(port->descriptor, buffer + received, room - received);
        if (count > 0) {
            received += static_cast<uint32_t>(count);
            if (EndsWithWholeFrame(buffer, received)) break;
            continue;
        }
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        failure = count == 0 ? EIO : errno;  // the other end hung up
        break;
    }
    if (received > 0) {
        *length = received;
        return 0;
    }
    Recover(context);
    return failure != 0 ? failure : -1;
}

const PortOperations kTtyPort = [] {
    PortOperations operations;
    operations.context = &tty;
    operations.open = Open;
    operations.close = Close;
    operations.write = Write;
    operations.read = Read;
    operations.recover = Recover;
    return operations;
}();

}  // namespace

const PortOperations& PlatformPort() { return kTtyPort; }
