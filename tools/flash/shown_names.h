// How the handsets are named in the live table, which must fit the terminal: a WinUSB
// interface path shows its instance part (every one shares "usb#vid_05c6&pid_3197#" and the
// interface GUID), and of several names only what tells them apart is kept (the common head
// and tail go, such as a /dev/serial/by-id name's maker and "-if00-port0").
#pragma once

#include <cstddef>
#include <string>
#include <vector>

std::vector<std::string> ShownNames(const std::vector<std::string>& names);

// `name` cut to at most `width` characters, keeping its end behind "..".
std::string FitName(const std::string& name, std::size_t width);
