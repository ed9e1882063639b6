#include "session/worker_thread.h"

namespace {
ThreadHandle keptWorker;
}

void KeepWorkerThread(ThreadHandle worker) {
    DetachThread(keptWorker);
    keptWorker = worker;
}

void WaitForWorkerThread() { JoinThread(keptWorker); }
