// The checks that the program file and its package suit the run.
#pragma once

#include <string>

// Run-start check on the worker thread: 1 when the program file exists (directory search).
// Otherwise puts "NO File: <program file>" into the status text, shows the first checking
// line as failed (its failure box shows that text), writes it to the trace, closes the trace
// and returns 0.
int CheckProgramFile();

// Run-start check on the worker thread, after CheckProgramFile: reads the package header,
// fills the directory of the run and the identification word, and appends a word for each
// selected slot whose presence byte is not 1 ("NO HEX ", "NO partition ", ...). 1 when
// every selected image is present; 0 otherwise, and 0 with the list unchanged when the
// program file is gone or cannot be opened. A file without package counts every slot absent.
int CheckImageSet(std::string& missingImageList);

// Next-button check on the window thread, normal mode: 0 usable (always 0 in service mode,
// where nothing is read), 1 program file not found, -1 it cannot be opened. Publishes the
// identification word and the family's accepted-version list. A package check byte other
// than 14 shows "Wrong Image-w" (owned by the main window, application name as title) and
// ends the process with status 1; it never returns then.
int CheckPackageAtNext();

// The Next handler's status texts for the results 1 and -1.
constexpr const char* kLackFileText = "Lack File: NPRG7200A.hex";
constexpr const char* kCannotOpenFileText = "Can't Open File: NPRG7200A.hex";
