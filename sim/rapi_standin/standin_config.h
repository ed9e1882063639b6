// What the stand-in handset is like: read once from rapi.ini in the state folder, each value
// overridden by its VELTRANE_RAPI_* environment variable.
#pragma once

#include <cstdint>
#include <string>

enum class LinkBehaviour { Up, Refused, NeverUp };

struct StandInConfig {
    std::string stateFolder;  // where rapi.ini is read and the records are written (no trailing '\')
    uint8_t batteryPercent = 100;
    uint32_t hardwareVersion = 0x43;  // the agent's 4 bytes; the host reads the first one
    LinkBehaviour link = LinkBehaviour::Up;
    bool leavesWindowsMobile = true;  // false: the agent's "2" changes nothing
    std::string mobileDevice = "USB\\VID_0BB4&PID_00CE\\WM0001";  // its key under Enum
};

const StandInConfig& Config();

// Appends one line to events.txt in the state folder.
void RecordEvent(const std::string& line);
