#include "protocol/image_transfer.h"

#include <memory>

#include "package/package_image.h"
#include "protocol/command_exchange.h"
#include "protocol/image_names.h"
#include "protocol/image_targets.h"
#include "session/clock.h"
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

// An image that cannot be had in full must not pass for a transfer that sent nothing.
bool Loadable(const PacketBuffer& buffer, ImageSlot slot) {
    if (buffer.imageLoad != ImageLoad::kFailed) return true;
    TraceFormat("Can't Load %s\n", kSlotFileNames[slot]);
    return false;
}

void PutAddress(uint8_t* field, uint32_t address) {
    field[0] = static_cast<uint8_t>(address);
    field[1] = static_cast<uint8_t>(address >> 8);
    field[2] = static_cast<uint8_t>(address >> 16);
    field[3] = static_cast<uint8_t>(address >> 24);
}

// The open's special rules: the QCSBL open paces itself differently, and the AMSS and
// FLASH.bin opens wait long for their replies while the handset prepares its flash.
ExchangeOptions OpenOptions(ImageTarget target) {
    ExchangeOptions options;
    switch (target) {
    case ImageTarget::Qcsbl:
        options.pauseAfterMismatchMs = 0;
        options.pauseBeforeLimitTestMs = 100;
        options.pauseAfterTransportFailureMs = 100;
        break;
    case ImageTarget::Amss:
        options.beforeAttempt = [] { LongTransferWait = 1; };
        options.afterRead = [] { LongTransferWait = 0; };
        break;
    case ImageTarget::FlashBin:
        options.beforeAttempt = [] {
            LongTransferWait = 1;
            if (Environment == 1) SetPipeTimeouts(kLongOpenPipeTimeoutMs, kLongOpenPipeTimeoutMs);
        };
        options.afterRead = [] { LongTransferWait = 0; };
        break;
    default:
        break;
    }
    return options;
}

SessionState* ProgressOf(const ImageTargetInfo& info) { return info.publishesProgress ? currentSession.load() : nullptr; }

}  // namespace

int OpenImage(ImageTarget target) {
    const ImageTargetInfo& info = TargetInfo(target);
    TraceTimes(info.openHeading, 2);
    Trace().Append(info.openBuffer);

    std::unique_ptr<PacketBuffer> buffer;
    if (info.openCarriesHeader) {
        buffer = OpenPackageImage(kHeaderChunkSize, ImageFileName(info.headerSlot));
        // Without its header (not loadable, or empty) the open can only fail: refuse it
        // before spending attempts on empty frames.
        if (buffer->imageLoad != ImageLoad::kLoaded || buffer->chunkCount == 0) {
            TraceFormat("Can't Load %s\n", kSlotFileNames[info.headerSlot]);
            return 0;
        }
    } else {
        buffer = std::make_unique<PacketBuffer>(0);
    }
    const uint8_t request[] = {0x1B, info.imageType};
    const uint8_t expected[] = {0x1C, 0x00};
    buffer->ClearTransferBuffers();
    if (buffer->chunkCount != 0) buffer->BuildFrame(request, sizeof request, 0);  // chunk 0 only: 10,240 bytes at most

    Trace().Append(info.openSend);
    int opened = RunAttempts(*buffer, expected, OpenOptions(target));
    LongTransferWait = 0;
    if (!opened) return 0;
    if (target == ImageTarget::FlashBin && Environment == 1)
        SetPipeTimeouts(kPipeTimeoutAfterFlashOpenMs, kPipeTimeoutAfterFlashOpenMs);
    Trace().Append(info.openSuccess[0]);
    Trace().Append(info.openSuccess[1]);
    return 1;
}

int WriteImage(ImageTarget target) {
    const ImageTargetInfo& info = TargetInfo(target);
    TraceTimes(info.writeHeading, info.writeHeadingCount);
    Trace().Append(info.writeBuffer);

    std::unique_ptr<PacketBuffer> buffer = OpenPackageImage(kStreamChunkSize, ImageFileName(info.bodySlot));
    if (!Loadable(*buffer, info.bodySlot)) return 0;
    uint8_t request[5] = {0x07};
    uint8_t expected[5] = {0x08};
    Trace().Append("============== Send=============\n");
    const int64_t start = NowSeconds();

    SessionState* progress = ProgressOf(info);
    if (progress) {
        progress->totalCount = buffer->chunkCount;
        progress->transferDone = 0;
        progress->doneCount = 0;
    }
    ExchangeOptions options;
    int failures = 0;  // one budget for the whole image
    options.failureCount = &failures;
    options.pauseAfterTransportFailureMs = info.writeRetryPauseMs;
    options.pauseAfterMismatchMs = info.writeRetryPauseMs;
    if (info.cefsFailureTexts) {
        options.sendFailureText = kCefsSendFailureText;
        options.receiveFailureText = kCefsReceiveFailureText;
    }

    for (uint32_t chunk = 0; chunk < buffer->chunkCount; ++chunk) {
        const uint32_t address = chunk * kStreamChunkSize;
        PutAddress(request + 1, address);
        PutAddress(expected + 1, address);
        buffer->ClearTransferBuffers();
        buffer->BuildFrame(request, sizeof request, chunk);
        if (!RunAttempts(*buffer, expected, options)) return 0;

        int64_t elapsed = NowSeconds() - start;
        if (elapsed <= 0) elapsed = 1;
        const long long rate = static_cast<long long>(chunk + 1) * kStreamChunkSize / elapsed;
        TraceFormat("total packet%d ,  sended %d th , packet size  %d rate %lld\n", static_cast<int>(buffer->chunkCount),
                    static_cast<int>(chunk), static_cast<int>(kStreamChunkSize), rate);
        if (progress) progress->doneCount = chunk + 1;
    }
    if (progress) progress->transferDone = 1;
    TraceTimes(info.writeSuccess, info.writeSuccessCount);
    return 1;
}

int CloseImage(ImageTarget target) {
    const ImageTargetInfo& info = TargetInfo(target);
    TraceTimes(info.closeHeading, 2);
    Trace().Append(info.closeBuffer);
    PacketBuffer buffer(0);
    const uint8_t request[] = {0x15};
    const uint8_t expected[] = {0x16};
    Trace().Append(info.closeSend);
    return ExchangeCommand(buffer, request, expected, info.closeSuccess);
}
