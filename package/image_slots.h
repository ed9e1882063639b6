// The twelve fixed slots of the firmware package directory, in directory order.
// The order is the package's own (APPSBOOT before AMSS); a run writes them in another.
#pragma once

#include <cstdint>

constexpr uint32_t kSlotCount = 12;

enum ImageSlot : uint32_t {
    kSlotProgrammer = 0,     // NPRG7200A.hex: presence only, the programmer travels as a resource
    kSlotPartition = 1,
    kSlotQcsblHeader = 2,
    kSlotQcsbl = 3,
    kSlotOemsblHeader = 4,
    kSlotOemsbl = 5,
    kSlotAppsbootHeader = 6,
    kSlotAppsboot = 7,
    kSlotAmssHeader = 8,
    kSlotAmss = 9,
    kSlotFlashBin = 10,
    kSlotCefs = 11,
};

// The image file names of the slots, as messages, the trace and the package builder use them.
inline constexpr const char* kSlotFileNames[kSlotCount] = {
    "NPRG7200A.hex", "partition.mbn", "qcsblhd_cfgdata.mbn", "qcsbl.mbn",
    "oemsblhd.mbn",  "oemsbl.mbn",    "appsboothd.mbn",      "appsboot.mbn",
    "amsshd.mbn",    "amss.mbn",      "FLASH.bin",           "cefs_modem.mbn",
};
