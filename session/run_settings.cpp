#include "session/run_settings.h"

#include <cstdio>

#include "session/process_values.h"
#include "session/window_seam.h"

RunSettings runSettings;

void ApplyDefaultRunSettings() {
    runSettings.writeQcsbl = 0;
    runSettings.writeOemsbl = 0;
    runSettings.writeAmss = 1;
    runSettings.writeAppsboot = 1;
    runSettings.writeFlashBin = 1;
    runSettings.writeCefs = 0;
}

namespace {
int SwitchOf(char byte) { return byte == '1' ? 1 : 0; }
}  // namespace

void ReadRunSettings(const char* path) { ReadRunSettingsFile(std::fopen(path, "rb")); }

void ReadRunSettingsFile(std::FILE* file) {
    if (!file) {
        ApplyDefaultRunSettings();
        return;
    }
    char bytes[7];
    size_t got = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    if (got < sizeof bytes) {
        ApplyDefaultRunSettings();
        return;
    }
    runSettings.partitionOverride = SwitchOf(bytes[1]);
    if (WindowSeam* window = mainWindow.load()) window->SetCheck(kControlErased, bytes[1] == '1');
    runSettings.writeCefs = SwitchOf(bytes[0]);
    runSettings.writeQcsbl = SwitchOf(bytes[2]);
    runSettings.writeOemsbl = SwitchOf(bytes[3]);
    runSettings.writeAmss = SwitchOf(bytes[4]);
    runSettings.writeAppsboot = SwitchOf(bytes[5]);
    runSettings.writeFlashBin = SwitchOf(bytes[6]);
}

void EnableAllImageStages() {
    runSettings.writeQcsbl = 1;
    runSettings.writeOemsbl = 1;
    runSettings.writeAmss = 1;
    runSettings.writeAppsboot = 1;
    runSettings.writeFlashBin = 1;
    runSettings.writeCefs = 1;
}
