#include "sim/rapi_standin/standin_config.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

// The folder that holds this DLL.
std::string OwnFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnFolder), &self);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(self, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string Variable(const char* name) {
    char value[1024] = {};
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? value : "";
}

void Apply(StandInConfig& config, const std::string& key, const std::string& value) {
    if (key == "battery") config.batteryPercent = static_cast<uint8_t>(std::strtoul(value.c_str(), nullptr, 0));
    if (key == "version") config.hardwareVersion = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 0));
    if (key == "link") config.link = value == "refused" ? LinkBehaviour::Refused
                                     : value == "never"  ? LinkBehaviour::NeverUp
                                                         : LinkBehaviour::Up;
    if (key == "download") config.leavesWindowsMobile = value != "stay";
    if (key == "mobile_device") config.mobileDevice = value;
}

StandInConfig Load() {
    StandInConfig config;
    config.stateFolder = Variable("VELTRANE_RAPI_STATE");
    if (config.stateFolder.empty()) config.stateFolder = OwnFolder();
    std::ifstream file(config.stateFolder + "\\rapi.ini");
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto equals = line.find('=');
        if (equals != std::string::npos && line[0] != '#') Apply(config, line.substr(0, equals), line.substr(equals + 1));
    }
    for (const char* key : {"battery", "version", "link", "download", "mobile_device"}) {
        std::string name = "VELTRANE_RAPI_";
        for (const char* c = key; *c; ++c) name += static_cast<char>(*c >= 'a' && *c <= 'z' ? *c - 'a' + 'A' : *c);
        const std::string value = Variable(name.c_str());
        if (!value.empty()) Apply(config, key, value);
    }
    return config;
}

}  // namespace

const StandInConfig& Config() {
    static const StandInConfig config = Load();
    return config;
}

void RecordEvent(const std::string& line) {
    std::ofstream events(Config().stateFolder + "\\events.txt", std::ios::app | std::ios::binary);
    events << line << '\n';
}
