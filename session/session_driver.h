// The run driver: the only place that knows the order of a flashing run.
#pragma once

#include <cstddef>
#include <string>

#include "session/step_operations.h"

struct SessionState;

// Stack reservations of the run's threads.
constexpr std::size_t kWatchThreadStack = 104857600;   // 100 MiB
constexpr std::size_t kWorkerThreadStack = 157286400;  // 150 MiB
constexpr std::size_t kFlashBinMonitorStack = 102400;

// The watch thread: polls the devices once a second until the download port shows up,
// then starts the worker; refuses a handset that stays in Windows Mobile past 60 polls.
unsigned WaitForDownloadPort(void* session);

// Reads the run settings and starts the worker thread.
void StartSession();

// The worker: the whole run from the trace file to the reset. Returns 0 when it returns.
unsigned RunSession(void* unused = nullptr);

// The run from stage A on (after the program-file and image-set checks); shared by the
// worker and the console flasher. Ends the process on the first failing step.
void RunFromStageA(SessionState& session, int64_t startTime);

// Formats the label for a kind (0..8) and step number n and sends it to the window.
void ShowStepLabel(int kind, int stepNumber);

// The label text of a kind for step number n, as the current mode shows it ("" for an unknown kind).
std::string StepLabelText(int kind, int stepNumber);

// The progress monitor of one transfer: turns the counters into the progress bar's position.
unsigned MonitorProgress(void* session);

// Ends the run: stops the elapsed-time display, shows an "Error" box when boxSwitch is 1,
// and ends the process with status 1.
[[noreturn]] void EndRunWithError(const std::string& text, int boxSwitch);

// One tick of the window's timer (every 1000 ms on Windows 7, else 700 ms): the percentage
// and elapsed time during a run, "NO con" when no handset port is known.
void OnWindowTimer(SessionState& session);

// The window timer's period for this Windows version.
unsigned WindowTimerPeriodMs();
