// Ends the process through the runtime's normal exit: registered clean-up runs and open
// files are flushed and closed. Process-wide objects that live threads still use are
// never destroyed by that clean-up (they are allocated once and left), so a window thread
// or progress monitor still running at exit cannot touch freed memory.
#pragma once

[[noreturn]] void ExitProcessNormally(int status);
