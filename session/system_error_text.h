// The system's own words for an error code: errno on POSIX, the last-error code on Windows.
#pragma once

#include <string>

// "No such file or directory" for ENOENT; -1 (a closed port or an expired wait) has a text of
// its own, and a code the system does not know comes back as "error N".
std::string SystemErrorText(int status);
