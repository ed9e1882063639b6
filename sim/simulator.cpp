#include "sim/simulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include "protocol/intel_hex.h"
#include "sim/handset_framing.h"
#include "sim/manifest.h"
#include "sim/pty_link.h"
#include "sim/request_log.h"

namespace {

constexpr unsigned kGoneAfterGoMs = 300;  // the port is away while the programmer starts
constexpr unsigned kDrainWaitMs = 2000;

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    ssize_t ignored = ::write(stopPipe[1], &byte, 1);
    (void)ignored;
}

void InstallStopSignals() {
    if (::pipe(stopPipe) != 0) return;
    ::fcntl(stopPipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(stopPipe[1], F_SETFD, FD_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void SleepMilliseconds(unsigned milliseconds) {
    timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// One write() for the whole reply; only a full line makes it wait and go on.
void SendReply(int descriptor, const Bytes& frame) {
    std::size_t sent = 0;
    while (sent < frame.size()) {
        ssize_t count = ::write(descriptor, frame.data() + sent, frame.size() - sent);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && errno == EAGAIN) {
            pollfd entry{descriptor, POLLOUT, 0};
            if (::poll(&entry, 1, 1000) > 0) continue;
        }
        return;  // the host is gone; the reply is lost as on a real line
    }
}

bool ReadFile(const std::string& path, Bytes& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

bool LoadHandsetConfig(const SimOptions& options, HandsetConfig& config, std::string& error) {
    if (!options.programmer.empty()) {
        Bytes text;
        if (!ReadFile(options.programmer, text)) {
            error = "cannot read " + options.programmer;
            return false;
        }
        text.resize(ConvertIntelHex(text.data(), static_cast<uint32_t>(text.size())));
        config.expectedProgrammer = std::move(text);
    }
    if (!options.storedTable.empty()) {
        Bytes table;
        if (!ReadFile(options.storedTable, table)) {
            error = "cannot read " + options.storedTable;
            return false;
        }
        config.storedTable = std::move(table);
    }
    config.partitionStatus1 = options.partitionStatus1;
    config.silentHello = options.silentHello;
    return true;
}

int RunSimulator(const SimOptions& options, HandsetConfig config) {
    InstallStopSignals();
    HandsetModel handset(std::move(config));
    RequestLog log;
    if (!log.Open(options.log)) {
        std::fprintf(stderr, "handset-sim: cannot write %s\n", options.log.c_str());
        return 2;
    }
    PtyLink port;
    std::string error;
    if (!port.Open(options.link, error)) {
        std::fprintf(stderr, "handset-sim: %s\n", error.c_str());
        return 2;
    }
    std::printf("READY %s\n", port.TerminalPath().c_str());
    std::fflush(stdout);

    auto finish = [&](bool reset) {
        port.WaitUntilRead(kDrainWaitMs);
        WriteManifest(options.manifest, handset, reset);
        port.Remove();
        return 0;
    };

    FrameCollector collector;
    uint32_t requests = 0;
    uint32_t acknowledgedWrites = 0;
    Bytes received(64 * 1024);
    for (;;) {
        pollfd entries[2] = {{port.HandsetEnd(), POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
        int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (entries[1].revents & POLLIN) return finish(false);
        if (!(entries[0].revents & POLLIN)) {
            if (entries[0].revents & (POLLERR | POLLNVAL)) return finish(false);
            continue;
        }
        ssize_t count = ::read(port.HandsetEnd(), received.data(), received.size());
        if (count <= 0) continue;
        collector.Feed(received.data(), static_cast<std::size_t>(count));

        Bytes body, content;
        while (collector.Next(body)) {
            const uint32_t number = ++requests;
            RequestVerdict verdict = DecodeRequest(body, content);
            log.Write(number, verdict, content);
            if (verdict != RequestVerdict::kGood) continue;  // a boot loader drops it silently

            HandsetModel::Outcome outcome = handset.Handle(content, options.wrongAddress.count(number) != 0);
            if (outcome.answer && !options.dropReply.count(number)) {
                Bytes reply = outcome.reply;
                if (options.garbleReply.count(number)) reply[0] ^= 0x80;
                if (options.delayMs) SleepMilliseconds(options.delayMs);
                const bool corrupt = options.corruptReply.count(number) != 0;
                SendReply(port.HandsetEnd(), FrameReply(reply, corrupt));
                if (!corrupt && !options.garbleReply.count(number)) handset.Acknowledged(outcome);
            }
            if (outcome.streamWrite && options.vanishAfter && ++acknowledgedWrites == options.vanishAfter)
                return finish(false);
            if (outcome.resets) return finish(true);
            if (outcome.startsProgrammer) {
                port.WaitUntilRead(kDrainWaitMs);
                if (!port.Reenumerate(kGoneAfterGoMs, error)) {
                    std::fprintf(stderr, "handset-sim: %s\n", error.c_str());
                    WriteManifest(options.manifest, handset, false);
                    return 2;
                }
                collector = FrameCollector{};
                break;  // whatever else came belongs to the port that is gone
            }
        }
    }
}
