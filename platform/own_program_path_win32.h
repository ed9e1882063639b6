// The running program's own file, as a full path in UTF-8: learned in wide characters, so a
// folder the ANSI code page cannot name (where GetModuleFileNameA puts '?') still opens.
#pragma once

#include <string>

// Empty when the system cannot say.
std::string OwnProgramPath();
