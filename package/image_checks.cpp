#include "package/image_checks.h"

#include "package/accepted_versions.h"
#include "package/image_slots.h"
#include "package/package_file.h"
#include "package/package_header.h"
#include "session/image_targets.h"
#include "session/message_box.h"
#include "session/process_exit.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_window.h"
#include "session/trace_log.h"
#include "session/window_seam.h"

namespace {
// A slot the run needs: present (presence byte 1) and, for a header that travels inside
// an open request, not empty: an open without its header's bytes can only fail, after the
// partition table has already gone and the first images are written.
bool SlotSupplied(ImageSlot slot, bool needsBytes) {
    const DirectoryEntry& entry = packageDirectory[slot];
    return entry.presence == 1 && (!needsBytes || entry.size != 0);
}
}  // namespace

int CheckProgramFile() {
    if (ProgramFileExists(PackageFilePath())) return 1;
    const std::string text = FormatText("NO File: %s", executableFileName);
    WindowSeam& window = RunWindow();
    window.SetControlText(kControlStatusText, text);
    // The wizard is busy with this run: its first checking line fails, with the text in its
    // failure box, rather than the run ending in silence.
    window.ShowCheckingLine(1, 1);
    Trace().Append(text.c_str());
    Trace().Close();
    return 0;
}

int CheckImageSet(std::string& missingImageList) {
    HeaderBlock block;
    const HeaderRead read = ReadPackageHeader(PackageFilePath(), block);
    if (read == HeaderRead::kNotFound || read == HeaderRead::kCannotOpen) return 0;
    // Without a package the block is all zeros: every slot is absent and the tests fail.
    DecodePackageDirectory(block);

    // The programmer stage is always on; then the selected targets in the order a run
    // writes them (AMSS before APPSBOOT), header before body.
    int result = 1;
    const auto test = [&](ImageSlot slot, bool needsBytes, const char* missingWord) {
        if (SlotSupplied(slot, needsBytes)) return;
        missingImageList += missingWord;
        result = 0;
    };
    test(kSlotProgrammer, false, "NO HEX ");
    test(kSlotPartition, false, "NO partition ");
    ImageSlot largest = kSlotPartition;
    for (const ImageTargetInfo& info : kImageTargets) {
        if (!TargetSelected(info)) continue;
        if (info.openCarriesHeader) test(info.headerSlot, true, info.headerMissingWord);
        test(info.bodySlot, false, info.bodyMissingWord);
        if (packageDirectory[info.bodySlot].size > packageDirectory[largest].size) largest = info.bodySlot;
    }
    // Each image is held whole while it is sent: one the program cannot hold would fail its
    // step after the boot loaders were already replaced, so it is refused before anything is written.
    if (result == 1 && !CanHoldImage(packageDirectory[largest].size)) {
        missingImageList += FormatText("NO memory for %s ", kSlotFileNames[largest]);
        result = 0;
    }
    return result;
}

int CheckPackageAtNext() {
    if (InServiceMode()) return 0;
    HeaderBlock block;
    switch (ReadPackageHeader(PackageFilePath(), block)) {
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
