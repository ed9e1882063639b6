#include "protocol/streaming_commands.h"

#include <array>
#include <cstring>

#include "package/image_slots.h"
#include "package/package_image.h"
#include "protocol/command_exchange.h"
#include "protocol/image_names.h"
#include "session/clock.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_window.h"
#include "session/trace_log.h"
#include "session/window_seam.h"
#include "transport/port_io.h"

namespace {

constexpr char kHostName[] = "QCOM fast download protocol host";

// A cycle of the partition table ends after 41 failures; the 31st cycle ends the command.
constexpr int kPartitionFailuresPerCycle = 40;
constexpr int kPartitionCycles = 30;
constexpr uint32_t kPartitionTimeoutPauseMs = 2000;
constexpr uint32_t kPartitionMismatchPauseMs = 100;

uint8_t OverrideFlag() {
    if (InServiceMode()) return RunWindow().GetCheck(kControlErased) ? 1 : 0;
    return runSettings.partitionOverride == 1 ? 1 : 0;
}

// The slots the override would have the run write, all of which must be in the package.
constexpr ImageSlot kOverriddenSlots[] = {kSlotQcsblHeader, kSlotQcsbl,     kSlotOemsblHeader, kSlotOemsbl,
                                          kSlotAmssHeader,  kSlotAmss,      kSlotAppsbootHeader, kSlotAppsboot,
                                          kSlotFlashBin,    kSlotCefs};

bool PackageHoldsEveryImage() {
    const std::vector<ImageSlot> missing = SlotsNotHeldInFull(kOverriddenSlots);
    for (ImageSlot slot : missing) TraceFormat("Can't Load %s\n", kSlotFileNames[slot]);
    return missing.empty();
}

}  // namespace

int SendHello() {
    Trace().Append("==============start Initial Targ =============\n");
    Trace().Append("==============start Initial Targ =============\n");
    Trace().Append("==============prepare memory allocation =============\n");
    PacketBuffer buffer(0);
    std::array<uint8_t, 36> request{};
    request[0] = 0x01;
    std::memcpy(&request[1], kHostName, sizeof kHostName - 1);
    request[33] = 0x03;  // protocol version
    request[34] = 0x02;  // lowest compatible version
    request[35] = 0x01;  // feature bits
    const uint8_t expected[] = {0x02};
    Trace().Append("=============prepare send =============\n");
    return ExchangeCommand(buffer, request, expected, "OK InitTag");
}

int SendSecurityMode() {
    Trace().Append("==============start secrete  =============\n");
    Trace().Append("==============start secrete  =============\n");
    Trace().Append("==============prepare buffer  =============\n");
    PacketBuffer buffer(0);
    const uint8_t request[] = {0x17, 0x01};
    const uint8_t expected[] = {0x18};
    Trace().Append("==============sned commmand =============\n");
    return ExchangeCommand(buffer, request, expected, "OK Secret\n");
}

int SendPartitionTable() {
    Trace().Append("==============start partition =============\n");
    Trace().Append("==============start partition =============\n");
    Trace().Append("==============prepare buffer =============\n");
    std::unique_ptr<PacketBuffer> buffer = OpenPackageImage(kStreamChunkSize, ImageFileName(kSlotPartition));
    if (buffer->imageLoad == ImageLoad::kFailed) {
        TraceFormat("Can't Load %s\n", kSlotFileNames[kSlotPartition]);
        return 0;
    }
    uint8_t request[] = {0x19, OverrideFlag()};
    const uint8_t expected[] = {0x1A, 0x00};
    ExchangeOptions options;

    int failures = 0;
    int cycles = 0;
    bool readAgain = false;
    for (;;) {
        buffer->ClearTransferBuffers();
        buffer->BuildFrame(request, sizeof request, 0);
        Trace().Append("==============send =============\n");
        AttemptRecord attempt = RunAttempt(*buffer, expected, options, !readAgain);
        if (attempt.result == AttemptResult::kMatched) {
            Trace().Append("OK Partition\n");
            Trace().Append("OK Partition\n");
            return 1;
        }
        uint32_t pause = kPartitionMismatchPauseMs;
        if (attempt.result == AttemptResult::kTransportFailure) {
            // The reply may still come: the next attempt only reads.
            readAgain = true;
            pause = kPartitionTimeoutPauseMs;
        } else if (buffer->receiveBuffer[0] == 0x1A && buffer->receiveBuffer[1] == 0x01) {
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
    const uint8_t request[] = {0x0B};
    const uint8_t expected[] = {0x0C};
    ExchangeOptions silent;
    silent.trace = false;
    if (!ExchangeCommand(buffer, request, expected, nullptr, silent)) return 0;
    ClosePort();
    return 1;
}
