// Fuzz target for a handset reply: whatever bytes a read delivers go through the unframing
// and through one attempt of the command exchange, compared with the expected prefix. Both
// are checked against a plain reference reading of the same bytes, and a second attempt on
// the same buffer must judge its reply as a fresh buffer would (nothing of the first read,
// failed or not, may linger).
//
// Input: one selector byte (bits 0-2: length of the expected prefix; bit 3: the first read
// fails after writing its bytes into the buffer), one byte with the first reply's length,
// the expected prefix, the first reply, and the rest as the second reply.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "protocol/command_exchange.h"
#include "protocol/packet_buffer.h"
#include "transport/port_operations.h"

#include "fuzz/fuzz_require.h"

namespace {
using Bytes = std::vector<uint8_t>;

constexpr int kFailedReadStatus = 5;  // any status but 0: the transport's own error code

// The reply as the exchange must see it: both flags zeroed, escape pairs replaced left to
// right, the content moved to position 0, zeros behind. As long as the bytes received.
Bytes ReferenceUnframe(std::span<const uint8_t> received) {
    const std::size_t n = received.size();
    if (n == 0) return {};
    Bytes bytes(received.begin(), received.end());
    bytes[0] = 0;
    bytes[n - 1] = 0;
    Bytes unescaped;
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] == 0x7D && i + 1 < n && (bytes[i + 1] == 0x5D || bytes[i + 1] == 0x5E)) {
            unescaped.push_back(static_cast<uint8_t>(bytes[i + 1] ^ 0x20));
            ++i;
        } else {
            unescaped.push_back(bytes[i]);
        }
    }
    unescaped.resize(n, 0);
    Bytes reply(unescaped.begin() + 1, unescaped.end());
    reply.push_back(0);
    return reply;
}

bool ReferenceMatches(const Bytes& unframed, std::span<const uint8_t> expected) {
    Bytes padded = unframed;
    if (padded.size() < expected.size()) padded.resize(expected.size(), 0);
    return std::equal(expected.begin(), expected.end(), padded.begin());
}

// A port whose reads deliver the scripted replies in turn; writes always go out whole.
struct FuzzPort {
    std::span<const uint8_t> replies[2];
    bool firstReadFails = false;
    int reads = 0;

    static int Write(void*, const uint8_t*, uint32_t length, uint32_t* written, uint32_t) {
        *written = length;
        return 0;
    }
    static int Read(void* context, uint8_t* buffer, uint32_t* length, uint32_t) {
        auto* port = static_cast<FuzzPort*>(context);
        const int index = port->reads++;
        const std::span<const uint8_t> reply = port->replies[std::min(index, 1)];
        const uint32_t count = std::min(*length, static_cast<uint32_t>(reply.size()));
        std::memcpy(buffer, reply.data(), count);
        if (index == 0 && port->firstReadFails) {
            *length = 0;  // the bytes stay in the buffer, as a transfer cut short leaves them
            return kFailedReadStatus;
        }
        *length = count;
        return 0;
    }
};

// The receive buffer holds `unframed` and zeros behind it, as far as `reach` bytes.
void RequireReceived(const PacketBuffer& buffer, const Bytes& unframed, std::size_t reach) {
    const uint8_t* received = buffer.receiveBuffer;
    REQUIRE(std::equal(unframed.begin(), unframed.end(), received));
    REQUIRE(std::all_of(received + unframed.size(), received + std::max(reach, unframed.size()),
                        [](uint8_t byte) { return byte == 0; }));
}

// UnframeResponse over the bytes as they came, on a buffer clear behind them.
void CheckUnframe(PacketBuffer& buffer, std::span<const uint8_t> reply) {
    std::memset(buffer.receiveBuffer, 0, reply.size() + 16);
    std::memcpy(buffer.receiveBuffer, reply.data(), reply.size());
    // The receive buffer is the run's one buffer: bytes put there by hand count as received,
    // so the next read clears them.
    buffer.NoteReceived(0, static_cast<uint32_t>(reply.size()));
    buffer.UnframeResponse(static_cast<uint32_t>(reply.size()));
    RequireReceived(buffer, ReferenceUnframe(reply), reply.size() + 16);
}

void CheckAttempt(const AttemptRecord& attempt, std::span<const uint8_t> reply, bool failed,
                  std::span<const uint8_t> expected) {
    REQUIRE(attempt.readStatus == (failed ? kFailedReadStatus : 0));
    REQUIRE(attempt.received == (failed ? 0u : reply.size()));
    if (failed || reply.empty()) {
        REQUIRE(attempt.result == AttemptResult::kTransportFailure);
        return;
    }
    const bool matches = ReferenceMatches(ReferenceUnframe(reply), expected);
    REQUIRE(attempt.result == (matches ? AttemptResult::kMatched : AttemptResult::kMismatch));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::span<const uint8_t> input(data, size);
    const std::size_t expectedLength = std::min<std::size_t>(data[0] & 7, size - 2);
    const std::span<const uint8_t> expected = input.subspan(2, expectedLength);
    const std::span<const uint8_t> replies = input.subspan(2 + expectedLength);
    const std::size_t firstLength = std::min<std::size_t>(data[1], replies.size());

    FuzzPort script;
    script.replies[0] = replies.first(firstLength);
    script.replies[1] = replies.subspan(firstLength);
    script.firstReadFails = (data[0] & 8) != 0;

    PortOperations operations;
    operations.context = &script;
    operations.write = FuzzPort::Write;
    operations.read = FuzzPort::Read;
    InstallPort(&operations);
    // One buffer for every input, as one buffer serves every chunk of an image: each attempt
    // must leave it fit for the next, so a finding may need the input before it to recur.
    // (A fresh pair of 10 MiB blocks per input, which ASan fills and poisons, made the run
    // some twenty-five times slower.)
    static PacketBuffer buffer(0);
    const ExchangeOptions options;
    const AttemptRecord first = RunAttempt(buffer, expected, options);
    CheckAttempt(first, script.replies[0], script.firstReadFails, expected);
    const AttemptRecord second = RunAttempt(buffer, expected, options);
    CheckAttempt(second, script.replies[1], false, expected);
    RequireReceived(buffer, ReferenceUnframe(script.replies[1]), firstLength + 16);
    InstallPort(nullptr);

    CheckUnframe(buffer, replies);
    return 0;
}
