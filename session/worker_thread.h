// The worker thread of the current run, kept so that tests and the console flasher can
// wait for it; the window never does.
#pragma once

#include "session/thread_start.h"

void KeepWorkerThread(ThreadHandle worker);
void WaitForWorkerThread();
