#include "protocol/image_transfer.h"

#include <memory>
#include <new>

#include "package/package_image.h"
#include "protocol/chunk_transfer.h"
#include "protocol/command_exchange.h"
#include "protocol/download_codes.h"
#include "protocol/image_names.h"
#include "session/clock.h"
#include "session/image_targets.h"
#include "session/process_values.h"
#include "session/session_state.h"
#include "session/trace_log.h"
#include "transport/port_io.h"

namespace {

constexpr uint32_t kLongOpenPipeTimeoutMs = 10000;
constexpr uint32_t kPipeTimeoutAfterFlashOpenMs = 2000;

void TraceTimes(const char* text, int count) {
    for (int i = 0; i < count; ++i) Trace().Append(text);
}

void TraceCannotLoad(ImageSlot slot) { TraceFormat("Can't Load %s\n", kSlotFileNames[slot]); }

void PutLittleEndian(std::span<uint8_t> field, uint32_t value) {
    for (uint8_t& byte : field) {
        byte = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

// A stream write names its chunk by the chunk's offset in the image, and the handset's
// acknowledgement repeats it.
void FillStreamWrite(uint32_t chunk, uint32_t, std::span<uint8_t> header, std::span<uint8_t> expected) {
    const uint32_t address = chunk * kStreamChunkSize;
    PutLittleEndian(header.subspan(1, 4), address);
    PutLittleEndian(expected.subspan(1, 4), address);
}

void RaiseLongWait(const ImageTargetInfo& info) {
    LongTransferWait = 1;
    if (info.openRaisesPipeTimeouts && Environment == 1) SetPipeTimeouts(kLongOpenPipeTimeoutMs, kLongOpenPipeTimeoutMs);
}

// The open's pacing, and the long wait of the opens that make the handset prepare its flash.
ExchangeOptions OpenOptions(const ImageTargetInfo& info) {
    ExchangeOptions options;
    options.pauseAfterMismatchMs = info.openPauseAfterMismatchMs;
    options.pauseAfterTransportFailureMs = info.openPauseAfterTransportFailureMs;
    options.pauseBeforeLimitTestMs = info.openPauseBeforeLimitTestMs;
    if (info.openWaitsLong) {
        options.beforeAttempt = [&info] { RaiseLongWait(info); };
        options.afterRead = [] { LongTransferWait = 0; };
    }
    return options;
}

ExchangeOptions WriteOptions(const ImageTargetInfo& info) {
    ExchangeOptions options;
    options.pauseAfterTransportFailureMs = info.writeRetryPauseMs;
    options.pauseAfterMismatchMs = info.writeRetryPauseMs;
    if (info.cefsFailureTexts) {
        options.sendFailureText = kCefsSendFailureText;
        options.receiveFailureText = kCefsReceiveFailureText;
    }
    return options;
}

// The open's buffer: the header image for the targets whose open carries one (cut to its
// first chunk), else no payload. Null when the open can only fail: without its header (not
// loadable, or empty) it would spend its attempts on empty frames.
std::unique_ptr<PacketBuffer> OpenBuffer(const ImageTargetInfo& info) {
    if (!info.openCarriesHeader) {
        std::unique_ptr<PacketBuffer> buffer(new (std::nothrow) PacketBuffer(0));
        if (!buffer || !buffer->Ready()) {
            TraceNoMemory();
            return nullptr;
        }
        return buffer;
    }
    std::unique_ptr<PacketBuffer> buffer = OpenPackageImage(kHeaderChunkSize, ImageFileName(info.headerSlot));
    if (ImageLoadFailed(buffer) || buffer->chunkCount == 0) {
        TraceCannotLoad(info.headerSlot);
        return nullptr;
    }
    return buffer;
}

}  // namespace

int OpenImage(ImageTarget target) {
    const ImageTargetInfo& info = TargetInfo(target);
    TraceTimes(info.openHeading, 2);
    Trace().Append(info.openBuffer);

    std::unique_ptr<PacketBuffer> buffer = OpenBuffer(info);
    if (!buffer) return 0;
    const uint8_t request[] = {streaming::kOpenMultiImage, info.imageType};
    const uint8_t expected[] = {streaming::kOpenMultiImageReply, streaming::kOpenAccepted};
    buffer->ClearTransferBuffers(sizeof expected);
    // chunk 0 only: 10,240 bytes at most
    if (buffer->chunkCount != 0 && !buffer->BuildFrame(request, sizeof request, 0)) return 0;

    Trace().Append(info.openSend);
    int opened = RunAttempts(*buffer, expected, OpenOptions(info));
    LongTransferWait = 0;
    if (!opened) return 0;
    if (info.openRaisesPipeTimeouts && Environment == 1)
        SetPipeTimeouts(kPipeTimeoutAfterFlashOpenMs, kPipeTimeoutAfterFlashOpenMs);
    Trace().Append(info.openSuccess[0]);
    Trace().Append(info.openSuccess[1]);
    return 1;
}

int WriteImage(ImageTarget target) {
    const ImageTargetInfo& info = TargetInfo(target);
    TraceTimes(info.writeHeading, info.writeHeadingCount);
    Trace().Append(info.writeBuffer);

    // An image that cannot be had in full must not pass for a transfer that sent nothing.
    std::unique_ptr<PacketBuffer> buffer = OpenPackageImage(kStreamChunkSize, ImageFileName(info.bodySlot));
    if (ImageLoadFailed(buffer)) {
        TraceCannotLoad(info.bodySlot);
        return 0;
    }
    uint8_t request[5] = {streaming::kStreamWrite};
    uint8_t expected[5] = {streaming::kStreamWriteReply};
    Trace().Append("============== Send=============\n");
    ChunkTransfer transfer{.header = request, .expected = expected, .fill = FillStreamWrite, .options = WriteOptions(info)};
    transfer.startTime = NowSeconds();
    transfer.progress = info.publishesProgress ? currentSession.load() : nullptr;
    if (!SendChunks(*buffer, transfer)) return 0;
    TraceTimes(info.writeSuccess, info.writeSuccessCount);
    return 1;
}

int CloseImage(ImageTarget target) {
    const ImageTargetInfo& info = TargetInfo(target);
    TraceTimes(info.closeHeading, 2);
    Trace().Append(info.closeBuffer);
    PacketBuffer buffer(0);
    if (!buffer.Ready()) return TraceNoMemory();
    const uint8_t request[] = {streaming::kClose};
    const uint8_t expected[] = {streaming::kCloseReply};
    Trace().Append(info.closeSend);
    return ExchangeCommand(buffer, request, expected, info.closeSuccess);
}
