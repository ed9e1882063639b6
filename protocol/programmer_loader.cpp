#include "protocol/programmer_loader.h"

#include <algorithm>
#include <cstring>

#include "protocol/chunk_transfer.h"
#include "protocol/command_exchange.h"
#include "protocol/download_codes.h"
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

// A write packet: its RAM address and its length, big-endian.
void FillWritePacket(uint32_t packet, uint32_t length, std::span<uint8_t> header, std::span<uint8_t>) {
    PutBigEndian(&header[1], dmss::kProgrammerLoadAddress + packet * kProgrammerPacketSize, 4);
    PutBigEndian(&header[5], length, 2);
}

}  // namespace

int SendProgrammer() {
    Trace().Append("==============Start Send HEX=====================\n");
    Trace().Append("==============Start Send HEX=====================\n");
    Trace().Append("============= Memory allocation=============\n");

    std::span<const uint8_t> text = ProgrammerHexText();
    if (text.empty()) {
        // A program built without its programmer resource: say so before the step's text.
        Trace().Append("Can't Load NPRG7200A.hex\n");
        return 0;
    }
    PacketBuffer buffer(kProgrammerPacketSize);
    // The payload takes the whole text (far more than one packet), which is then turned
    // into the byte image in place.
    const auto textLength = static_cast<uint32_t>(text.size());
    uint8_t* hex = buffer.Ready() ? buffer.AllocatePayload(std::max(textLength, kProgrammerPacketSize)) : nullptr;
    if (!hex) return TraceNoMemory();
    std::memcpy(hex, text.data(), textLength);
    buffer.SetPayloadLength(ConvertIntelHex(hex, textLength));

    uint8_t header[7] = {dmss::kWrite32};
    uint8_t expected[1] = {dmss::kAck};
    ChunkTransfer transfer{.header = header, .expected = expected, .fill = FillWritePacket};
    transfer.startTime = NowSeconds();
    Trace().Append("==============Prepare Sending =============\n");
    transfer.progress = currentSession.load();
    if (!SendChunks(buffer, transfer)) return 0;
    Trace().Append("OK HEX\n");
    Trace().Append("OK HEX\n");
    return 1;
}

int SendGo() {
    Trace().Append("==============start Go =============\n");
    Trace().Append("==============start Go =============\n");
    Trace().Append("==============memory allocation =============\n");
    PacketBuffer buffer(0);
    if (!buffer.Ready()) return TraceNoMemory();
    uint8_t request[5] = {dmss::kGo};
    PutBigEndian(request + 1, dmss::kProgrammerLoadAddress, 4);
    Trace().Append("==============Send Command =============\n");

    buffer.ClearTransferBuffers();
    buffer.BuildFrame(request, sizeof request, 0);
    uint32_t written = 0;
    int status = WritePort(buffer.frameBuffer, buffer.framedLength, &written);
    if (status != 0) {
        TraceFormat("Can't Send %d\n", status);
        return 0;
    }
    uint32_t received = kRequestedReadLength;
    ReadPort(buffer.receiveBuffer, &received);  // the reply is not judged
    Trace().Append("OK GO\n");
    Trace().Append("OK GO\n");
    return 1;
}
