// Libraries bound at run time come from the system folder only. Veltrane.exe runs elevated,
// often from a downloads folder: a DLL put beside it or into the current folder must never
// run with its rights. Every library the programs load after start-up goes through here:
// - LoadSystemLibrary: one library by full path from the system folder (rapi.dll, which
//   ActiveSync and Device Center install there, and winusb.dll);
// - the delay-load helper's hook (in the .cpp): DLLs that the programs import but that are
//   not known DLLs on Windows XP (SETUPAPI, WS2_32, COMCTL32) are delay-imported
//   (platform/CMakeLists.txt) and loaded by the helper through it, again by full path;
// - StartWithSafeDllSearch: takes the current folder out of the search for whatever the
//   system loads by name later. It must be called first thing in WinMain or main: the call
//   is also what links the hook into the program.
// GDI+ is imported statically and bound through the manifest's dependency on the
// Microsoft.Windows.GdiPlus assembly (resources/veltrane.manifest), which the loader
// resolves before it looks into any folder. tools/check_pe_imports.py keeps the rest of the
// static imports to known DLLs.
#pragma once

#include <windows.h>

// `name` (a bare file name such as "rapi.dll") from the system folder; its own imports are
// looked up from that folder first. On 64-bit Windows a 32-bit program is sent to the
// 32-bit system folder by the system itself. Null with the thread's error code set when
// the library is missing there or the name has a folder part.
HMODULE LoadSystemLibrary(const char* name);

// SetDllDirectoryA(""), bound by name: Windows XP before SP1 lacks it and keeps its order.
void StartWithSafeDllSearch();
