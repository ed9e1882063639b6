#include "package/image_checks.h"

#include "package/accepted_versions.h"
#include "package/image_slots.h"
#include "package/package_file.h"
#include "package/package_header.h"
#include "session/message_box.h"
#include "session/process_exit.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_window.h"
#include "session/trace_log.h"
#include "session/window_seam.h"

namespace {
struct SlotTest {
    const std::atomic<int>* selectionSwitch;  // nullptr: the programmer stage, always on
    uint32_t slot;
    const char* missingWord;
};

// In the order the words appear in the list: AMSS before APPSBOOT, as a run writes them.
const SlotTest kSlotTests[] = {
    {nullptr, kSlotProgrammer, "NO HEX "},
    {nullptr, kSlotPartition, "NO partition "},
    {&runSettings.writeQcsbl, kSlotQcsblHeader, "NO qcsbl_header "},
    {&runSettings.writeQcsbl, kSlotQcsbl, "NO qcsbl "},
    {&runSettings.writeOemsbl, kSlotOemsblHeader, "NO oemsbl_header "},
    {&runSettings.writeOemsbl, kSlotOemsbl, "NO oemsbl "},
    {&runSettings.writeAmss, kSlotAmssHeader, "NO AMSS_header "},
    {&runSettings.writeAmss, kSlotAmss, "NO AMSS "},
    {&runSettings.writeAppsboot, kSlotAppsbootHeader, "NO appsboots_header "},
    {&runSettings.writeAppsboot, kSlotAppsboot, "NO appsboots "},
    {&runSettings.writeFlashBin, kSlotFlashBin, "NO FLASH.bin "},
    {&runSettings.writeCefs, kSlotCefs, "NO cefs "},
};
}  // namespace

int CheckProgramFile() {
    if (ProgramFileExists(executableFileName)) return 1;
    const std::string text = FormatText("NO File: %s", executableFileName);
    RunWindow().SetControlText(kControlStatusText, text);
    Trace().Append(text.c_str());
    Trace().Close();
    return 0;
}

int CheckImageSet(std::string& missingImageList) {
    HeaderBlock block;
    const HeaderRead read = ReadPackageHeader(executableFileName, block);
    if (read == HeaderRead::kNotFound || read == HeaderRead::kCannotOpen) return 0;
    // Without a package the block is all zeros: every slot is absent and the tests fail.
    DecodePackageDirectory(block);

    int result = 1;
    for (const SlotTest& test : kSlotTests) {
        const int wanted = test.selectionSwitch ? test.selectionSwitch->load() : 1;
        if (wanted != 1) continue;
        if (packageDirectory[test.slot].presence != static_cast<uint32_t>(wanted)) {
            missingImageList += test.missingWord;
            result = 0;
        }
    }
    return result;
}

int CheckPackageAtNext() {
    if (InServiceMode()) return 0;
    HeaderBlock block;
    switch (ReadPackageHeader(executableFileName, block)) {
    case HeaderRead::kNotFound:
        return 1;
    case HeaderRead::kCannotOpen:
        return -1;
    case HeaderRead::kRead:
    case HeaderRead::kNoPackage:  // a zero block: check byte 0, refused below
        break;
    }
    const PackageHeader header = DecodePackageHeader(block);
    imageIdentificationWord.store(header.identificationWord);
    FillAcceptedVersions(header.familyCode);
    if (header.checkByte != kPackageCheckByte) {
        WindowSeam* window = mainWindow.load();
        ShowMessageBox("Wrong Image-w", nullptr, window ? window->OwnerHandle() : nullptr);
        ExitProcessNormally(1);
    }
    return 0;
}
