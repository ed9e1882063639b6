#pragma once

#include <string>

// The process's current directory, for messages that name where a file was expected.
std::string CurrentDirectoryText();
