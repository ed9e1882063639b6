// The seven image targets of a run, one row each: what the run driver, the transfer, the
// run-start image check and the partition-table guard need to know about a target. A run
// writes them in the order of the rows.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "package/image_slots.h"
#include "protocol/download_codes.h"
#include "session/run_settings.h"
#include "session/step_operations.h"

struct ImageTargetInfo {
    ImageTarget target;

    // The a.ini switch that selects the target (the QCSBL header and QCSBL share one).
    std::atomic<int> RunSettings::*selection;

    // Package slots. The open of OEMSBL, AMSS and APPSBOOT carries the image's header; the
    // header is then not written on its own, and the open can only fail without its bytes.
    bool openCarriesHeader = false;
    ImageSlot headerSlot = kSlotProgrammer;  // only when the open carries a header
    ImageSlot bodySlot;
    // Words of the run-start check's missing-image list.
    const char* headerMissingWord = nullptr;
    const char* bodyMissingWord;

    // Run driver: the step label shown before the open (0: none, and no progress monitor
    // of its own: the QCSBL header goes before the QCSBL label), the monitor's stack
    // (0: the default) and the failure texts of open, write and close.
    int labelKind = 0;
    std::size_t monitorStack = 0;
    const char* openFailure;
    const char* writeFailure;
    const char* closeFailure;

    // Open request.
    uint8_t imageType;
    // The open waits long for its reply (the handset prepares a large area), and on
    // Windows Vista and 7 also raises the pipe time-outs around it.
    bool openWaitsLong = false;
    bool openRaisesPipeTimeouts = false;
    // Pauses after a failed open attempt: after a mismatch, after a transport failure,
    // and after a transport failure before the failure limit is tested.
    uint32_t openPauseAfterMismatchMs = 100;
    uint32_t openPauseAfterTransportFailureMs = 100;
    uint32_t openPauseBeforeLimitTestMs = 0;

    // Stream writes.
    bool publishesProgress = true;    // every write but the QCSBL header's drives the progress bar
    uint32_t writeRetryPauseMs = 100;  // pause after a failed write attempt
    bool cefsFailureTexts = false;    // the CEFS write traces failed attempts in words of its own

    // Trace texts, the trace's own (blanks and spellings included).
    const char* openHeading;
    const char* openBuffer;
    const char* openSend;
    const char* openSuccess[2];  // written in this order (the same text twice for most)
    const char* writeHeading;
    int writeHeadingCount;
    const char* writeBuffer;
    const char* writeSuccess;
    int writeSuccessCount;
    const char* closeHeading;
    const char* closeBuffer;
    const char* closeSend;
    const char* closeSuccess;
};

namespace image_target_texts {
constexpr const char* kPrepareBuffer = "==============Prepare Buffer =============\n";
constexpr const char* kBuffer = "==============Buffer=============\n";
constexpr const char* kSendWithBlank = "==============Send =============\n";
constexpr const char* kSend = "==============Send=============\n";
constexpr const char* kSpacedSend = "============== Send=============\n";
constexpr const char* kWritePrepare = "============== prepare buffer=============\n";
}  // namespace image_target_texts

// Indexed by ImageTarget, in the order a run writes the targets. The FLASH.bin and CEFS
// close failures report "Open" texts: the handset's operators know them so.
inline constexpr ImageTargetInfo kImageTargets[] = {
    {.target = ImageTarget::QcsblHeader,
     .selection = &RunSettings::writeQcsbl,
     .bodySlot = kSlotQcsblHeader,
     .bodyMissingWord = "NO qcsbl_header ",
     .openFailure = "Can't Open QCSBL header",
     .writeFailure = "Can't Send QCSBL header",
     .closeFailure = "Can't Close QCSBL header",
     .imageType = streaming::kImageQcsblHeader,
     .publishesProgress = false,
     .openHeading = "==============Open QCSBL HEADER =============\n",
     .openBuffer = image_target_texts::kPrepareBuffer,
     .openSend = image_target_texts::kSendWithBlank,
     .openSuccess = {"OK Open QCSBL Header\n", "OK Open QCSBL Header\n"},
     .writeHeading = "============== QCSBL header=============\n",
     .writeHeadingCount = 2,
     .writeBuffer = image_target_texts::kWritePrepare,
     .writeSuccess = "OK   QCSBL Header\n",
     .writeSuccessCount = 2,
     .closeHeading = "==============Close QCSBL header=============\n",
     .closeBuffer = image_target_texts::kPrepareBuffer,
     .closeSend = image_target_texts::kSend,
     .closeSuccess = "OK Close QCSBL Header\n"},
    {.target = ImageTarget::Qcsbl,
     .selection = &RunSettings::writeQcsbl,
     .bodySlot = kSlotQcsbl,
     .bodyMissingWord = "NO qcsbl ",
     .labelKind = 3,
     .openFailure = "Can't Open QCSBL",
     .writeFailure = "Can't Send QCSBL",
     .closeFailure = "Can't Close QCSBL",
     .imageType = streaming::kImageQcsbl,
     // The QCSBL open sends again at once after a mismatch, and pauses on both sides of
     // the limit test after a transport failure.
     .openPauseAfterMismatchMs = 0,
     .openPauseAfterTransportFailureMs = 100,
     .openPauseBeforeLimitTestMs = 100,
     .openHeading = "==============Open QCSBL   =============\n",
     .openBuffer = image_target_texts::kPrepareBuffer,
     .openSend = image_target_texts::kSendWithBlank,
     .openSuccess = {"OK Open QCSBL \n ", "OK Open QCSBL  \n"},
     .writeHeading = "============== QCSBL =============\n",
     .writeHeadingCount = 1,
     .writeBuffer = image_target_texts::kWritePrepare,
     .writeSuccess = "OK   QCSBL \n ",
     .writeSuccessCount = 1,
     .closeHeading = "==============Close QCSBL  =============\n",
     .closeBuffer = image_target_texts::kPrepareBuffer,
     .closeSend = image_target_texts::kSend,
     .closeSuccess = "OK Close QCSBL \n "},
    {.target = ImageTarget::Oemsbl,
     .selection = &RunSettings::writeOemsbl,
     .openCarriesHeader = true,
     .headerSlot = kSlotOemsblHeader,
     .bodySlot = kSlotOemsbl,
     .headerMissingWord = "NO oemsbl_header ",
     .bodyMissingWord = "NO oemsbl ",
     .labelKind = 4,
     .openFailure = "Can't Open OEMSBL",
     .writeFailure = "Can't Send OEMSBL",
     .closeFailure = "Can't Close OEMSBL",
     .imageType = streaming::kImageOemsbl,
     .openHeading = "==============Open OEMSBL   =============\n",
     .openBuffer = image_target_texts::kPrepareBuffer,
     .openSend = image_target_texts::kSendWithBlank,
     .openSuccess = {"OK Open OEMSBL Header\n", "OK Open OEMSBL Header\n"},
     .writeHeading = "============== OEMSBL=============\n",
     .writeHeadingCount = 2,
     .writeBuffer = image_target_texts::kWritePrepare,
     .writeSuccess = "OK   OEMSBL \n ",
     .writeSuccessCount = 2,
     .closeHeading = "==============Close OEMSBL=============\n",
     .closeBuffer = image_target_texts::kPrepareBuffer,
     .closeSend = image_target_texts::kSend,
     .closeSuccess = "OK Close OEMSBL\n"},
    {.target = ImageTarget::Amss,
     .selection = &RunSettings::writeAmss,
     .openCarriesHeader = true,
     .headerSlot = kSlotAmssHeader,
     .bodySlot = kSlotAmss,
     .headerMissingWord = "NO AMSS_header ",
     .bodyMissingWord = "NO AMSS ",
     .labelKind = 5,
     .openFailure = "Can't OPEN AMSS",
     .writeFailure = "Can't Send AMSS",
     .closeFailure = "Can't Close AMSS",
     .imageType = streaming::kImageAmss,
     .openWaitsLong = true,
     .writeRetryPauseMs = 1000,
     .openHeading = "==============Open AMSS   =============\n",
     .openBuffer = image_target_texts::kPrepareBuffer,
     .openSend = image_target_texts::kSendWithBlank,
     .openSuccess = {"OK Open AMSS Header\n", "OK Open AMSS Header\n"},
     .writeHeading = "============== AMSS=============\n",
     .writeHeadingCount = 2,
     .writeBuffer = image_target_texts::kWritePrepare,
     .writeSuccess = "OK   AMSS \n ",
     .writeSuccessCount = 2,
     .closeHeading = "==============Close AMSS=============\n",
     .closeBuffer = image_target_texts::kPrepareBuffer,
     .closeSend = image_target_texts::kSend,
     .closeSuccess = "OK Close AMSS\n"},
    {.target = ImageTarget::Appsboot,
     .selection = &RunSettings::writeAppsboot,
     .openCarriesHeader = true,
     .headerSlot = kSlotAppsbootHeader,
     .bodySlot = kSlotAppsboot,
     .headerMissingWord = "NO appsboots_header ",
     .bodyMissingWord = "NO appsboots ",
     .labelKind = 6,
     .openFailure = "Can't Open appsboots",
     .writeFailure = "Can't Send appsboots",
     .closeFailure = "Can't Close appsboots",
     .imageType = streaming::kImageAppsboot,
     .openHeading = "==============Open APPSBOOT   =============\n",
     .openBuffer = image_target_texts::kPrepareBuffer,
     .openSend = image_target_texts::kSendWithBlank,
     .openSuccess = {"OK Open APPSBOOT Header\n", "OK Open APPSBOOT Header\n"},
     .writeHeading = "============== APPSBOOT=============\n",
     .writeHeadingCount = 2,
     .writeBuffer = image_target_texts::kWritePrepare,
     .writeSuccess = "OK   APPSBOOT  \n",
     .writeSuccessCount = 2,
     .closeHeading = "==============Close APPSBOOT=============\n",
     .closeBuffer = image_target_texts::kPrepareBuffer,
     .closeSend = image_target_texts::kSend,
     .closeSuccess = "OK Close APPSBOOT\n"},
    {.target = ImageTarget::FlashBin,
     .selection = &RunSettings::writeFlashBin,
     .bodySlot = kSlotFlashBin,
     .bodyMissingWord = "NO FLASH.bin ",
     .labelKind = 7,
     .monitorStack = 102400,
     .openFailure = "Can't Open Flash.bin",
     .writeFailure = "Can't Send Flash.bin",
     .closeFailure = "Can't Open Flash.bin",
     .imageType = streaming::kImageFlashBin,
     .openWaitsLong = true,
     .openRaisesPipeTimeouts = true,
     .writeRetryPauseMs = 1000,
     .openHeading = "==============Start Open Flash.bin=============\n",
     .openBuffer = image_target_texts::kBuffer,
     .openSend = image_target_texts::kSend,
     .openSuccess = {"OK Open Flash.bin\n", "OK Open Flash.bin\n"},
     .writeHeading = "============== FLASH.bin=============\n",
     .writeHeadingCount = 2,
     .writeBuffer = image_target_texts::kWritePrepare,
     .writeSuccess = "OK   Flash.bin \n ",
     .writeSuccessCount = 2,
     .closeHeading = "==============Close Flash.bin=============\n",
     .closeBuffer = image_target_texts::kBuffer,
     .closeSend = image_target_texts::kSpacedSend,
     .closeSuccess = "OK Close Flash.bin\n"},
    {.target = ImageTarget::Cefs,
     .selection = &RunSettings::writeCefs,
     .bodySlot = kSlotCefs,
     .bodyMissingWord = "NO cefs ",
     .labelKind = 8,
     .openFailure = "Can't Open Cefs",
     .writeFailure = "Can't Send CEFS",
     .closeFailure = "Can't Open CEFS",
     .imageType = streaming::kImageCefs,
     .cefsFailureTexts = true,
     .openHeading = "==============Start Open CEFS=============\n",
     .openBuffer = image_target_texts::kBuffer,
     .openSend = image_target_texts::kSend,
     .openSuccess = {"OK Open CEFS\n", "OK Open CEFS\n"},
     .writeHeading = "==============Start CEFS body=============\n",
     .writeHeadingCount = 2,
     .writeBuffer = "============== Buffering=============\n",
     .writeSuccess = "Ok Close CEFS body\n",
     .writeSuccessCount = 2,
     .closeHeading = "==============Close CEFS=============\n",
     .closeBuffer = image_target_texts::kBuffer,
     .closeSend = image_target_texts::kSpacedSend,
     .closeSuccess = "OK Close CEFS\n"},
};

constexpr const ImageTargetInfo& TargetInfo(ImageTarget target) { return kImageTargets[static_cast<int>(target)]; }

// The rows must stand in the order of ImageTarget, which is the order a run writes them.
static_assert([] {
    int row = 0;
    for (const ImageTargetInfo& info : kImageTargets)
        if (static_cast<int>(info.target) != row++) return false;
    return row == 7;
}());

// Whether the target is selected for this run (read as the stage is reached: the
// partition table step may have switched every stage on).
inline bool TargetSelected(const ImageTargetInfo& info) { return (runSettings.*info.selection).load() == 1; }
