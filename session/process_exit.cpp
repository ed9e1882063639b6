#include "session/process_exit.h"

#include <cstdlib>

[[noreturn]] void ExitProcessNormally(int status) { std::exit(status); }
