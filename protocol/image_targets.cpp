#include "protocol/image_targets.h"

namespace {

constexpr const char* kPrepareBuffer = "==============Prepare Buffer =============\n";
constexpr const char* kBuffer = "==============Buffer=============\n";
constexpr const char* kSendWithBlank = "==============Send =============\n";
constexpr const char* kSend = "==============Send=============\n";
constexpr const char* kSpacedSend = "============== Send=============\n";
constexpr const char* kWritePrepare = "============== prepare buffer=============\n";

// Indexed by ImageTarget. The texts are the trace's own, blanks and spellings included.
const ImageTargetInfo kTargets[] = {
    // QCSBL header: written as an image of its own; leaves the progress bar alone.
    {0x02, false, kSlotQcsblHeader, kSlotQcsblHeader, false, 100,
     "==============Open QCSBL HEADER =============\n", kPrepareBuffer, kSendWithBlank,
     {"OK Open QCSBL Header\n", "OK Open QCSBL Header\n"},
     "============== QCSBL header=============\n", 2, kWritePrepare, "OK   QCSBL Header\n", 2, false,
     "==============Close QCSBL header=============\n", kPrepareBuffer, kSend, "OK Close QCSBL Header\n"},
    {0x03, false, kSlotQcsbl, kSlotQcsbl, true, 100,
     "==============Open QCSBL   =============\n", kPrepareBuffer, kSendWithBlank,
     {"OK Open QCSBL \n ", "OK Open QCSBL  \n"},
     "============== QCSBL =============\n", 1, kWritePrepare, "OK   QCSBL \n ", 1, false,
     "==============Close QCSBL  =============\n", kPrepareBuffer, kSend, "OK Close QCSBL \n "},
    {0x04, true, kSlotOemsblHeader, kSlotOemsbl, true, 100,
     "==============Open OEMSBL   =============\n", kPrepareBuffer, kSendWithBlank,
     {"OK Open OEMSBL Header\n", "OK Open OEMSBL Header\n"},
     "============== OEMSBL=============\n", 2, kWritePrepare, "OK   OEMSBL \n ", 2, false,
     "==============Close OEMSBL=============\n", kPrepareBuffer, kSend, "OK Close OEMSBL\n"},
    {0x05, true, kSlotAmssHeader, kSlotAmss, true, 1000,
     "==============Open AMSS   =============\n", kPrepareBuffer, kSendWithBlank,
     {"OK Open AMSS Header\n", "OK Open AMSS Header\n"},
     "============== AMSS=============\n", 2, kWritePrepare, "OK   AMSS \n ", 2, false,
     "==============Close AMSS=============\n", kPrepareBuffer, kSend, "OK Close AMSS\n"},
    {0x0A, true, kSlotAppsbootHeader, kSlotAppsboot, true, 100,
     "==============Open APPSBOOT   =============\n", kPrepareBuffer, kSendWithBlank,
     {"OK Open APPSBOOT Header\n", "OK Open APPSBOOT Header\n"},
     "============== APPSBOOT=============\n", 2, kWritePrepare, "OK   APPSBOOT  \n", 2, false,
     "==============Close APPSBOOT=============\n", kPrepareBuffer, kSend, "OK Close APPSBOOT\n"},
    {0x0C, false, kSlotFlashBin, kSlotFlashBin, true, 1000,
     "==============Start Open Flash.bin=============\n", kBuffer, kSend,
     {"OK Open Flash.bin\n", "OK Open Flash.bin\n"},
     "============== FLASH.bin=============\n", 2, kWritePrepare, "OK   Flash.bin \n ", 2, false,
     "==============Close Flash.bin=============\n", kBuffer, kSpacedSend, "OK Close Flash.bin\n"},
    {0x09, false, kSlotCefs, kSlotCefs, true, 100,
     "==============Start Open CEFS=============\n", kBuffer, kSend,
     {"OK Open CEFS\n", "OK Open CEFS\n"},
     "==============Start CEFS body=============\n", 2, "============== Buffering=============\n",
     "Ok Close CEFS body\n", 2, true,
     "==============Close CEFS=============\n", kBuffer, kSpacedSend, "OK Close CEFS\n"},
};

}  // namespace

const ImageTargetInfo& TargetInfo(ImageTarget target) { return kTargets[static_cast<int>(target)]; }
