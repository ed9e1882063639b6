// The send / receive / check / retry procedure that every request of both download
// stages runs: the frame goes out, one reply is read and unframed, and its leading bytes
// are compared with the expected ones. Failed attempts are traced, counted and, after a
// pause, repeated with the same frame; the 31st failure ends the exchange.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "protocol/packet_buffer.h"

// Trace texts of a failed attempt. Most commands use the defaults; the CEFS body write
// has its own pair.
constexpr const char* kSendFailureText = "Can't Send  %d\n";
constexpr const char* kReceiveFailureText = "Can't Recv  %d recv num: %d Data:\n";
constexpr const char* kCefsSendFailureText = "Can't Send %d:\n";
constexpr const char* kCefsReceiveFailureText = "Can't Recv  %d recv num: %d Data: \n";
constexpr const char* kGiveUpText = "Can't Send or Received\n";
// A command that cannot get the memory it needs gives up before it sends anything.
constexpr const char* kNoMemoryText = "Not enough memory\n";

constexpr uint32_t kRequestedReadLength = PacketBuffer::kCapacity;
constexpr int kFailureLimit = 30;  // failures tolerated; the next one ends the exchange

// How one command runs its attempts. The defaults are the common procedure.
struct ExchangeOptions {
    // false: nothing at all goes to the trace (the reset command).
    bool trace = true;
    const char* sendFailureText = kSendFailureText;
    const char* receiveFailureText = kReceiveFailureText;
    // Pauses after a failed attempt, before the next one.
    uint32_t pauseAfterTransportFailureMs = 100;
    uint32_t pauseAfterMismatchMs = 100;
    // A pause after a transport failure that comes before the limit test (the QCSBL open
    // pauses both before and after it).
    uint32_t pauseBeforeLimitTestMs = 0;
    // Failures tolerated before the exchange gives up.
    int failureLimit = kFailureLimit;
    // A count shared with other exchanges (all packets of the programmer, all chunks of an
    // image); when null the exchange counts from 0 on its own.
    int* failureCount = nullptr;
    // Called before each attempt's write, and right after its read (a long wait is raised
    // and lowered around one attempt).
    std::function<void()> beforeAttempt;
    std::function<void()> afterRead;
};

enum class AttemptResult { kMatched, kTransportFailure, kMismatch };

struct AttemptRecord {
    AttemptResult result = AttemptResult::kTransportFailure;
    int writeStatus = 0;
    int readStatus = 0;
    uint32_t written = 0;
    uint32_t received = 0;
    bool portGone = false;  // failed, and the port can never succeed again (PortGoneForGood)
};

// One attempt with the frame already in the buffer: clears the receive buffer, writes the
// frame (unless `send` is false: a command that only reads again), reads, unframes and
// compares. Traces the attempt's failure lines; does not count, pause or give up.
AttemptRecord RunAttempt(PacketBuffer& buffer, std::span<const uint8_t> expected, const ExchangeOptions& options,
                         bool send = true);

// Attempts with the frame already in the buffer until one matches (1) or the failure
// count goes beyond the limit (0, after "Can't Send or Received\n"). Traces no success line.
int RunAttempts(PacketBuffer& buffer, std::span<const uint8_t> expected, const ExchangeOptions& options);

// The whole exchange of one request: clears the buffers, frames chunk 0 behind the header
// (when there is a chunk to frame), runs the attempts and on success traces the success
// line twice. 1 on success, 0 when it gave up (or chunk 0 could not be read from the
// payload's source).
int ExchangeCommand(PacketBuffer& buffer, std::span<const uint8_t> header, std::span<const uint8_t> expected,
                    const char* successLine, const ExchangeOptions& options = {});

// Traces that the command could not get its memory; returns 0, the command's failure.
int TraceNoMemory();
