#include "prepare/handset_switch.h"

#include "prepare/own_resource.h"
#include "prepare/remote_api.h"
#include "session/clock.h"
#include "session/message_box.h"
#include "session/process_exit.h"
#include "session/process_values.h"
#include "session/trace_log.h"
#include "session/window_seam.h"

namespace {

constexpr uint32_t kLinkWaitMs = 5000;
constexpr uint8_t kLowestBatteryPercent = 55;  // compared unsigned: 255 (unknown) passes
constexpr uint32_t kVersionReadDelayMs = 500;  // the agent stores the version meanwhile
constexpr uint32_t kSwitchDelayMs = 1000;

constexpr char kCannotInitLink[] = "Can't init link";
constexpr char kCannotMakeLink[] = "Can't make a link";
constexpr char kLowBattery[] = "Not enough battery volume.";

HandsetSwitchOutcome Failed(std::string message) { return {false, std::move(message)}; }

// The handset's version and the accepted entries the list holds; an empty list lists none
// (and accepts nothing).
std::string RefusalText(uint8_t version, const AcceptedVersionList& accepted) {
    std::string text = FormatText("Not correct version on Mobile Phone.   rev: %x ", version);
    for (uint32_t index = accepted.first; index <= accepted.last && index < accepted.count; ++index)
        text += FormatText("%x ", accepted.versions[index]);
    return text;
}

// "2 h l" with the raw nibble values (0..15), not digits, at indexes 2 and 4.
std::u16string DownloadModeCommandLine(uint32_t identificationWord) {
    const auto high = static_cast<uint8_t>((identificationWord >> 4) & 0xF);
    const auto low = static_cast<uint8_t>(identificationWord & 0xF);
    std::u16string line = AnsiToUtf16(FormatText("2 %x %x", high, low).c_str());
    line[2] = high;
    line[4] = low;
    return line;
}

void WriteAgent(const RemoteApi& api, const char* resourceName, const char* handsetFileName) {
    const std::u16string name = AnsiToUtf16(handsetFileName);
    CeHandle file = api.CeCreateFile(name.c_str(), kCeGenericWrite, kCeShareReadWrite, nullptr, kCeCreateAlways,
                                     kCeFileAttributeNormal, nullptr);
    const std::span<const uint8_t> agent = OwnResource(kAgentResourceType, resourceName);
    uint32_t written = 0;
    api.CeWriteFile(file, agent.data(), static_cast<uint32_t>(agent.size()), &written, nullptr);
    api.CeCloseHandle(file);
}

// The first byte of REG_BINARY "test" directly under the handset's HKEY_LOCAL_MACHINE,
// which the agent started with "3" has stored; 0 when it cannot be read.
uint8_t ReadHandsetVersion(const RemoteApi& api, CeKey& key) {
    uint8_t value[4] = {};
    uint32_t type = 0;
    uint32_t size = sizeof value;
    api.CeRegOpenKeyEx(CeLocalMachine(), nullptr, 0, 0, &key);
    api.CeRegQueryValueEx(key, u"test", nullptr, &type, value, &size);
    return value[0];
}

}  // namespace

void CopyAgentToHandset(const char* resourceName, const char* handsetFileName) {
    if (const RemoteApi* api = BoundRemoteApi()) WriteAgent(*api, resourceName, handsetFileName);
}

HandsetSwitchOutcome RunHandsetSwitch(const AcceptedVersionList& accepted, uint32_t identificationWord) {
    // Without rapi.dll there is no link to ask for.
    const RemoteApi* bound = BoundRemoteApi();
    if (!bound) return Failed(kCannotInitLink);
    const RemoteApi& api = *bound;

    api.CeRapiUninit();
    RAPIINIT init{};
    init.cbSize = sizeof init;
    if (api.CeRapiInitEx(&init) != 0) return Failed(kCannotInitLink);
    if (!api.WaitForLink(init.heRapiInit, kLinkWaitMs)) return Failed(kCannotMakeLink);

    SYSTEM_POWER_STATUS_EX power{};
    api.CeGetSystemPowerStatusEx(&power, 1);
    if (power.BatteryLifePercent < kLowestBatteryPercent) return Failed(kLowBattery);

    CopyAgentToHandset(FormatText("#%d", kAgentResourceId).c_str(), FormatText("%s", kAgentHandsetFileName).c_str());
    CeProcessInformation started{};
    api.CeCreateProcess(u"\\download", u"3", nullptr, nullptr, 0, kCeCreateNewConsole, nullptr, nullptr, nullptr,
                        &started);
    SleepMs(kVersionReadDelayMs);

    CeKey key = nullptr;
    const uint8_t version = ReadHandsetVersion(api, key);
    const bool versionAccepted = VersionAccepted(accepted, version);
    api.CeRegCloseKey(key);
    if (!versionAccepted) return Failed(RefusalText(version, accepted));

    const std::u16string commandLine = DownloadModeCommandLine(identificationWord);
    api.CeCreateProcess(u"\\download.exe", commandLine.c_str(), nullptr, nullptr, 0, kCeCreateNewConsole, nullptr,
                        nullptr, nullptr, nullptr);
    SleepMs(kSwitchDelayMs);
    return {true, {}};
}

int SwitchHandsetToDownloadMode() {
    const HandsetSwitchOutcome outcome = RunHandsetSwitch(acceptedVersions, imageIdentificationWord.load());
    if (!outcome.switched) {
        WindowSeam* window = mainWindow.load();
        ShowMessageBox(outcome.message.c_str(), kHandsetSwitchCaption, window ? window->OwnerHandle() : nullptr);
        ExitProcessNormally(1);
    }
    return 0;
}
