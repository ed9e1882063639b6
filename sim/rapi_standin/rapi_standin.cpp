// rapi.dll for running the handset switch under Wine, where no Remote API exists: it plays a
// handset that still runs Windows Mobile behind an ActiveSync or Device Center link, and
// keeps the contract of our agent download.exe without running it. Installed into the
// prefix's system32, where the programs load rapi.dll from (WINEDLLOVERRIDES=rapi=n).
// README.md says what it records and how it is set up.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "prepare/remote_api.h"
#include "sim/rapi_standin/handset_devices.h"
#include "sim/rapi_standin/standin_config.h"

namespace {

constexpr CeResult kFailed = static_cast<CeResult>(0x80004005u);  // E_FAIL
constexpr char kAgentFile[] = "download.exe";

HANDLE linkEvent = nullptr;
bool versionStored = false;  // the agent has run with "3"

std::string Narrow(const char16_t* text) {
    std::string narrow;
    for (; text && *text; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
    return narrow;
}

// A handset path's last part, inside the state folder's handset\ folder.
std::string HandsetFile(const std::string& name) {
    return Config().stateFolder + "\\handset\\" + name.substr(name.find_last_of('\\') + 1);
}

bool AgentPresent() {
    const DWORD attributes = GetFileAttributesA(HandsetFile(kAgentFile).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The command line as the link carries it: up to its terminator, which is recorded too.
std::string CodeUnits(const char16_t* line) {
    std::string units;
    char unit[8];
    do {
        std::snprintf(unit, sizeof unit, " %04x", line ? static_cast<unsigned>(*line) : 0u);
        units += unit;
    } while (line && *line++);
    return units;
}

// The agent's contract: "3" stores the hardware version as "test"; "2 h l" hands the
// handset over to download mode with the raw nibbles h and l.
void RunAgent(const std::u16string& line) {
    if (line.empty()) return;
    if (line[0] == u'3') {
        versionStored = true;
        RecordEvent("agent: version stored");
    } else if (line[0] == u'2') {
        if (line.size() < 5) {
            RecordEvent("agent: command line ends at character " + std::to_string(line.size() + 1) + ", nothing handed over");
        } else if (!Config().leavesWindowsMobile) {
            RecordEvent("agent: stays in Windows Mobile");
        } else {
            RecordEvent("agent: download mode " + std::to_string(line[2]) + " " + std::to_string(line[4]));
            EnterDownloadMode();
        }
    }
}

}  // namespace

extern "C" {

CeResult WINAPI CeRapiUninit() {
    if (!linkEvent) return kFailed;
    CloseHandle(linkEvent);
    linkEvent = nullptr;
    return 0;
}

CeResult WINAPI CeRapiInitEx(RAPIINIT* init) {
    if (!init || init->cbSize != sizeof(RAPIINIT)) return static_cast<CeResult>(0x80070057u);  // E_INVALIDARG
    if (Config().link == LinkBehaviour::Refused) return kFailed;
    if (!linkEvent) linkEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (Config().link == LinkBehaviour::Up) SetEvent(linkEvent);
    init->heRapiInit = linkEvent;
    init->hrRapiInit = 0;
    return 0;
}

CeBool WINAPI CeGetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX* status, CeBool) {
    if (!status || !linkEvent) return 0;
    *status = {};
    status->ACLineStatus = 1;
    status->BatteryFlag = Config().batteryPercent == 255 ? 255 : 1;
    status->BatteryLifePercent = Config().batteryPercent;
    status->BackupBatteryFlag = 255;
    status->BackupBatteryLifePercent = 255;
    return 1;
}

CeHandle WINAPI CeCreateFile(const char16_t* name, uint32_t access, uint32_t share, void*, uint32_t disposition,
                             uint32_t attributes, CeHandle) {
    CreateDirectoryA((Config().stateFolder + "\\handset").c_str(), nullptr);
    RecordEvent("create " + Narrow(name));
    return CreateFileA(HandsetFile(Narrow(name)).c_str(), access, share, nullptr, disposition, attributes, nullptr);
}

CeBool WINAPI CeWriteFile(CeHandle file, const void* data, uint32_t size, uint32_t* written, void*) {
    DWORD done = 0;
    const BOOL wrote = WriteFile(file, data, size, &done, nullptr);
    if (written) *written = done;
    RecordEvent("write " + std::to_string(done) + " bytes");
    return wrote;
}

CeBool WINAPI CeCloseHandle(CeHandle handle) { return CloseHandle(handle); }

CeBool WINAPI CeCreateProcess(const char16_t* program, const char16_t* commandLine, void*, void*, CeBool, uint32_t flags,
                              void*, char16_t*, void*, CeProcessInformation* information) {
    char head[64];
    std::snprintf(head, sizeof head, " flags %x%s:", flags, information ? " info" : "");
    RecordEvent("start " + Narrow(program) + head + CodeUnits(commandLine));
    // The handset resolves "\download" and "\download.exe" alike; only a copied agent runs.
    const std::string name = Narrow(program);
    if ((name != "\\download" && name != "\\download.exe") || !AgentPresent()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (information) *information = {reinterpret_cast<CeHandle>(0x1000), reinterpret_cast<CeHandle>(0x1004), 0x4000, 0x4004};
    RunAgent(commandLine ? std::u16string(commandLine) : std::u16string());
    return 1;
}

CeResult WINAPI CeRegOpenKeyEx(CeKey key, const char16_t* subkey, uint32_t, uint32_t, CeKey* result) {
    if (key != CeLocalMachine() || (subkey && *subkey) || !result) return ERROR_FILE_NOT_FOUND;
    *result = key;
    return 0;
}

CeResult WINAPI CeRegQueryValueEx(CeKey key, const char16_t* name, uint32_t*, uint32_t* type, uint8_t* data,
                                  uint32_t* size) {
    if (key != CeLocalMachine() || Narrow(name) != "test" || !versionStored) return ERROR_FILE_NOT_FOUND;
    if (!size) return ERROR_INVALID_PARAMETER;
    const uint32_t version = Config().hardwareVersion;
    if (type) *type = REG_BINARY;
    if (data && *size < sizeof version) {
        *size = sizeof version;
        return ERROR_MORE_DATA;
    }
    if (data) std::memcpy(data, &version, sizeof version);
    *size = sizeof version;
    return 0;
}

CeResult WINAPI CeRegCloseKey(CeKey key) { return key == CeLocalMachine() ? 0 : ERROR_INVALID_HANDLE; }

}  // extern "C"
