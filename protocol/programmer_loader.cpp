#include "protocol/programmer_loader.h"

#include <algorithm>
#include <cstring>

#include "protocol/command_exchange.h"
#include "protocol/intel_hex.h"
#include "protocol/packet_buffer.h"
#include "protocol/programmer_resource.h"
#include "session/clock.h"
#include "session/process_values.h"
#include "session/session_state.h"
#include "session/trace_log.h"
#include "transport/port_io.h"

namespace {

void PutBigEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, value >>= 8) at[i] = static_cast<uint8_t>(value & 0xFF);
}

void Publish(std::atomic<uint32_t> SessionState::*field, uint32_t value) {
    if (SessionState* session = currentSession.load()) (session->*field).store(value);
}

}  // namespace

int SendProgrammer() {
    Trace().Append("==============Start Send HEX=====================\n");
    Trace().Append("==============Start Send HEX=====================\n");
    Trace().Append("============= Memory allocation=============\n");

    std::span<const uint8_t> text = ProgrammerHexText();
    if (text.empty()) return 0;
    PacketBuffer buffer(kProgrammerPacketSize);
    // The payload takes the whole text (far more than one packet), which is then turned
    // into the byte image in place.
    const auto textLength = static_cast<uint32_t>(text.size());
    buffer.AllocatePayload(std::max(textLength, kProgrammerPacketSize));
    std::memcpy(buffer.payload.get(), text.data(), textLength);
    uint32_t imageLength = ConvertIntelHex(buffer.payload.get(), textLength);
    buffer.SetPayloadLength(imageLength);

    uint8_t header[7] = {kWriteCommand};
    const uint8_t expected[1] = {kAcknowledge};
    const int64_t start = NowSeconds();
    Trace().Append("==============Prepare Sending =============\n");
    Publish(&SessionState::totalCount, buffer.chunkCount);
    Publish(&SessionState::doneCount, 0);
    Publish(&SessionState::transferDone, 0);

    int failures = 0;  // one budget for the whole programmer
    ExchangeOptions options;
    options.failureCount = &failures;
    for (uint32_t packet = 0; packet < buffer.chunkCount; ++packet) {
        const bool last = packet == buffer.chunkCount - 1;
        const uint32_t length = last ? imageLength - packet * kProgrammerPacketSize : kProgrammerPacketSize;
        PutBigEndian(header + 1, kProgrammerLoadAddress + packet * kProgrammerPacketSize, 4);
        PutBigEndian(header + 5, length, 2);
        buffer.ClearTransferBuffers();
        buffer.BuildFrame(header, sizeof header, packet);
        if (!RunAttempts(buffer, expected, options)) return 0;

        int64_t elapsed = NowSeconds() - start;
        if (elapsed == 0) elapsed = 1;
        const int64_t rate = static_cast<int64_t>(packet + 1) * kProgrammerPacketSize / elapsed;
        TraceFormat("total packet%d ,  sended %d th , packet size  %d rate %d\n", static_cast<int>(buffer.chunkCount),
                    static_cast<int>(packet), static_cast<int>(kProgrammerPacketSize), static_cast<int>(rate));
        Publish(&SessionState::doneCount, packet + 1);
    }
    Publish(&SessionState::transferDone, 1);
    Trace().Append("OK HEX\n");
    Trace().Append("OK HEX\n");
    return 1;
}

int SendGo() {
    Trace().Append("==============start Go =============\n");
    Trace().Append("==============start Go =============\n");
    Trace().Append("==============memory allocation =============\n");
    PacketBuffer buffer(0);
    uint8_t request[5] = {kGoCommand};
    PutBigEndian(request + 1, kProgrammerLoadAddress, 4);
    Trace().Append("==============Send Command =============\n");

    buffer.ClearTransferBuffers();
    buffer.BuildFrame(request, sizeof request, 0);
    uint32_t written = 0;
    int status = WritePort(buffer.frameBuffer.get(), buffer.framedLength, &written);
    if (status != 0) {
        TraceFormat("Can't Send %d\n", status);
        return 0;
    }
    uint32_t received = kRequestedReadLength;
    ReadPort(buffer.receiveBuffer.get(), &received);  // the reply is not judged
    Trace().Append("OK GO\n");
    Trace().Append("OK GO\n");
    return 1;
}
