// Matching a WinUSB device interface path with the instance identifier of its device:
// \\?\usb#vid_05c6&pid_3197#5&abc&0&2#{...} belongs to USB\VID_05C6&PID_3197\5&ABC&0&2.
#pragma once

#include <string>

// Whether the path's second and third '#'-separated pieces, as "USB\<second>\<third>",
// equal the instance identifier, letter case ignored. A path of fewer than three pieces
// matches nothing.
bool InterfacePathMatchesInstance(const std::string& path, const std::string& instanceId);

// The path as it is opened: unchanged when it begins with a backslash, else with the
// device namespace prefix \\?\ in front.
std::string InterfacePathToOpen(const std::string& path);
