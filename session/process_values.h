// Process-wide values of a run. Each is one word, written by one thread and read by
// others without locks; a reader may see a value one update old, which only delays a display.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstddef>

class WindowSeam;
struct SessionState;

// 0: Windows XP (ActiveSync, serial-style port); 1: Windows Vista or 7 (WMDC, WinUSB port).
extern std::atomic<int> Environment;

// 2 at load (locked); 0 unlocked by the access password; 9 service mode; anything else locked.
constexpr int kAccessLocked = 2;
constexpr int kAccessNormal = 0;
constexpr int kAccessService = 9;
extern std::atomic<int> accessMode;
inline bool InServiceMode() { return accessMode.load(std::memory_order_relaxed) == kAccessService; }

// How the run started: 0 a download port was present, 1 switched from Windows Mobile, other unknown.
extern std::atomic<int> initialMode;

// 1 on Windows 7 (the window's timer then ticks every 1000 ms instead of 700 ms).
extern std::atomic<int> windows7Flag;

// The program file that carries the firmware package, "%s.exe" of the module name, no directory.
// Set once at start-up, before any thread starts. A plain array: nothing to destroy at exit
// while other threads may still read it.
constexpr std::size_t kExecutableFileNameSize = 4096;
extern char executableFileName[kExecutableFileNameSize];
void SetExecutableFileName(const char* name);

// Where to open the program file: its full path when the program learned it (UTF-8 on
// Windows, so that a folder the ANSI code page cannot name still opens, and whatever the
// current directory is), else the name above in the current directory. Set once at start-up.
void SetPackageFilePath(const char* path);
const char* PackageFilePath();

// The wizard window (or whatever front end shows the run); published at its initialisation.
extern std::atomic<WindowSeam*> mainWindow;

// The window's session record, published by the watch thread (or the console front end).
extern std::atomic<SessionState*> currentSession;

// The package slot the next image load reads: 0 programmer .. 11 CEFS.
extern std::atomic<uint32_t> currentImageIndex;

// The package's image identification word (header bytes 8..11); its low byte travels to the
// handset agent and it names the handset in the "stays in Windows Mobile" refusal.
extern std::atomic<uint32_t> imageIdentificationWord;

// Last percentage computed by the progress monitor (0..100).
extern std::atomic<uint32_t> progressPercent;

// Fixed packet sizes: images travel in 798,720-byte chunks, the programmer in 4,096-byte packets.
constexpr uint32_t kImagePacketSize = 798720;
constexpr uint32_t kProgrammerPacketSize = 4096;
