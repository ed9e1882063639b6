#include "protocol/streaming_commands.h"

#include <array>
#include <cstring>

#include "package/image_slots.h"
#include "package/package_image.h"
#include "protocol/command_exchange.h"
#include "protocol/download_codes.h"
#include "protocol/image_names.h"
#include "session/clock.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_window.h"
#include "session/trace_log.h"
#include "session/window_seam.h"
#include "transport/port_io.h"

namespace {

// A cycle of the partition table ends after 41 failures; the 31st cycle ends the command.
constexpr int kPartitionFailuresPerCycle = 40;
constexpr int kPartitionCycles = 30;
constexpr uint32_t kPartitionTimeoutPauseMs = 2000;
constexpr uint32_t kPartitionMismatchPauseMs = 100;

uint8_t OverrideFlag() {
    if (InServiceMode()) return RunWindow().GetCheck(kControlErased) ? 1 : 0;
    return runSettings.partitionOverride == 1 ? 1 : 0;
}

// The override would have the run write every image: all of them must be in the package.
bool PackageHoldsEveryImage() {
    const std::vector<ImageSlot> missing = SlotsTheOverrideCannotHave();
    for (ImageSlot slot : missing) TraceFormat("Can't Load %s\n", kSlotFileNames[slot]);
    return missing.empty();
}

}  // namespace

int SendHello() {
    Trace().Append("==============start Initial Targ =============\n");
    Trace().Append("==============start Initial Targ =============\n");
    Trace().Append("==============prepare memory allocation =============\n");
    PacketBuffer buffer(0);
    if (!buffer.Ready()) return TraceNoMemory();
    std::array<uint8_t, 36> request{};
    request[0] = streaming::kHello;
    std::memcpy(&request[1], streaming::kHostName, sizeof streaming::kHostName - 1);
    request[33] = streaming::kProtocolVersion;
    request[34] = streaming::kLowestCompatibleVersion;
    request[35] = streaming::kFeatureBits;
    const uint8_t expected[] = {streaming::kHelloReply};
    Trace().Append("=============prepare send =============\n");
    return ExchangeCommand(buffer, request, expected, "OK InitTag");
}

int SendSecurityMode() {
    Trace().Append("==============start secrete  =============\n");
    Trace().Append("==============start secrete  =============\n");
    Trace().Append("==============prepare buffer  =============\n");
    PacketBuffer buffer(0);
    if (!buffer.Ready()) return TraceNoMemory();
    const uint8_t request[] = {streaming::kSecurityMode, streaming::kSecurityModeTrusted};
    const uint8_t expected[] = {streaming::kSecurityModeReply};
    Trace().Append("==============sned commmand =============\n");
    return ExchangeCommand(buffer, request, expected, "OK Secret\n");
}

int SendPartitionTable() {
    Trace().Append("==============start partition =============\n");
    Trace().Append("==============start partition =============\n");
    Trace().Append("==============prepare buffer =============\n");
    std::unique_ptr<PacketBuffer> buffer = OpenPackageImage(kStreamChunkSize, ImageFileName(kSlotPartition));
    if (ImageLoadFailed(buffer)) {
        TraceFormat("Can't Load %s\n", kSlotFileNames[kSlotPartition]);
        return 0;
    }
    uint8_t request[] = {streaming::kPartitionTable, OverrideFlag()};
    const uint8_t expected[] = {streaming::kPartitionTableReply, streaming::kPartitionAccepted};
    ExchangeOptions options;

    int failures = 0;
    int cycles = 0;
    bool readAgain = false;
    for (;;) {
        buffer->ClearTransferBuffers();
        if (!buffer->BuildFrame(request, sizeof request, 0)) return 0;  // the table can no longer be read
        Trace().Append("==============send =============\n");
        AttemptRecord attempt = RunAttempt(*buffer, expected, options, !readAgain);
        if (attempt.result == AttemptResult::kMatched) {
            Trace().Append("OK Partition\n");
            Trace().Append("OK Partition\n");
            return 1;
        }
        if (attempt.portGone) return 0;  // no attempt can succeed: the step fails now
        uint32_t pause = kPartitionMismatchPauseMs;
        if (attempt.result == AttemptResult::kTransportFailure) {
            // The reply may still come: the next attempt only reads.
            readAgain = true;
            pause = kPartitionTimeoutPauseMs;
        } else if (buffer->receiveBuffer[0] == streaming::kPartitionTableReply &&
                   buffer->receiveBuffer[1] == streaming::kPartitionNeedsOverride) {
            // The handset's table differs: it takes the new one only with the override, and
            // then every image must follow. Without them all, keep the handset as it is.
            if (!PackageHoldsEveryImage()) return 0;
            EnableAllImageStages();
            request[1] = 1;
            readAgain = false;
        }
        ++failures;
        if (failures > kPartitionFailuresPerCycle) {
            readAgain = false;
            failures = 0;
            if (++cycles > kPartitionCycles) {
                Trace().Append(kGiveUpText);
                return 0;
            }
        }
        SleepMs(pause);
    }
}

int SendReset() {
    PacketBuffer buffer(0);
    if (!buffer.Ready()) return 0;  // the reset traces nothing
    const uint8_t request[] = {streaming::kReset};
    const uint8_t expected[] = {streaming::kResetReply};
    ExchangeOptions silent;
    silent.trace = false;
    if (!ExchangeCommand(buffer, request, expected, nullptr, silent)) return 0;
    ClosePort();
    return 1;
}
