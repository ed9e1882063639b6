#include "session/thread_start.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#endif

#ifdef _WIN32

namespace {
struct StartRecord {
    ThreadProc proc;
    void* argument;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
    StartRecord record = *static_cast<StartRecord*>(parameter);
    delete static_cast<StartRecord*>(parameter);
    return record.proc(record.argument);
}
}  // namespace

ThreadHandle StartThread(ThreadProc proc, void* argument, std::size_t stackBytes, int priority) {
    auto* record = new StartRecord{proc, argument};
    // Created suspended so that the priority holds from the first instruction.
    HANDLE handle = CreateThread(nullptr, stackBytes, ThreadEntry, record,
                                 CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!handle) {
        delete record;
        return {};
    }
    if (priority != kThreadPriorityNormal) SetThreadPriority(handle, priority);
    ResumeThread(handle);
    return ThreadHandle{handle};
}

bool SetThreadPriorityLevel(ThreadHandle thread, int priority) {
    return thread && SetThreadPriority(static_cast<HANDLE>(thread.native), priority) != 0;
}

void JoinThread(ThreadHandle& thread) {
    if (!thread) return;
    WaitForSingleObject(static_cast<HANDLE>(thread.native), INFINITE);
    CloseHandle(static_cast<HANDLE>(thread.native));
    thread.native = nullptr;
}

void DetachThread(ThreadHandle& thread) {
    if (!thread) return;
    CloseHandle(static_cast<HANDLE>(thread.native));
    thread.native = nullptr;
}

void YieldThread() { SwitchToThread(); }

#else

namespace {
struct StartRecord {
    ThreadProc proc;
    void* argument;
};

void* ThreadEntry(void* parameter) {
    StartRecord record = *static_cast<StartRecord*>(parameter);
    delete static_cast<StartRecord*>(parameter);
    record.proc(record.argument);
    return nullptr;
}
}  // namespace

ThreadHandle StartThread(ThreadProc proc, void* argument, std::size_t stackBytes, int /*priority*/) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackBytes >= static_cast<std::size_t>(PTHREAD_STACK_MIN)) pthread_attr_setstacksize(&attributes, stackBytes);
    auto* record = new StartRecord{proc, argument};
    auto* thread = new pthread_t;
    int result = pthread_create(thread, &attributes, ThreadEntry, record);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        delete record;
        delete thread;
        return {};
    }
    return ThreadHandle{thread};
}

bool SetThreadPriorityLevel(ThreadHandle thread, int priority) {
    // Only the Windows levels exist; anything else is refused as Windows refuses it.
    return thread && ((priority >= -2 && priority <= 2) || priority == 15 || priority == -15);
}

void JoinThread(ThreadHandle& thread) {
    if (!thread) return;
    auto* handle = static_cast<pthread_t*>(thread.native);
    pthread_join(*handle, nullptr);
    delete handle;
    thread.native = nullptr;
}

void DetachThread(ThreadHandle& thread) {
    if (!thread) return;
    auto* handle = static_cast<pthread_t*>(thread.native);
    pthread_detach(*handle);
    delete handle;
    thread.native = nullptr;
}

void YieldThread() { sched_yield(); }

#endif
