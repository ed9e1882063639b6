// The run's image-stage switches and the partition-table override, read from the
// seven-byte file "a.ini" in the current directory just before the worker starts.
#pragma once

#include <cstdio>

#include <atomic>

struct RunSettings {
    std::atomic<int> writeCefs{0};          // a.ini byte 0
    std::atomic<int> partitionOverride{0};  // a.ini byte 1
    std::atomic<int> writeQcsbl{0};         // a.ini byte 2 (header and image)
    std::atomic<int> writeOemsbl{0};        // a.ini byte 3
    std::atomic<int> writeAmss{0};          // a.ini byte 4
    std::atomic<int> writeAppsboot{0};      // a.ini byte 5
    std::atomic<int> writeFlashBin{0};      // a.ini byte 6
};

extern RunSettings runSettings;

constexpr const char* kRunSettingsFile = "a.ini";

// Reads "a.ini": each of the first seven bytes is on when it is '1'. A missing or short
// file applies the defaults (AMSS, APPSBOOT and FLASH.bin on, the rest off) and leaves
// the override and the window's "Erased" box as they were. A full read also puts the
// override into the "Erased" box (control 1012) of the main window, if there is one.
void ReadRunSettings(const char* path = kRunSettingsFile);
// The same from a file already open (closed here); null: the defaults. The console flasher
// opens its --settings file by a wide name on Windows.
void ReadRunSettingsFile(std::FILE* file);

// The image switches of a run without "a.ini": AMSS, APPSBOOT and FLASH.bin on, the rest off.
void ApplyDefaultRunSettings();

// Sets all six image switches: the handset asked for a new partition table, so every image goes.
void EnableAllImageStages();
