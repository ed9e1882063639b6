// Thread seam: a run starts its threads here with the stack size and priority it needs
// (Win32 CreateThread on Windows, pthreads elsewhere). GCC's win32 thread model has no
// std::thread or std::mutex. The run itself shares only single-word values between threads;
// ThreadLock is for the displays that keep more than a word for several threads.
#pragma once

#include <cstddef>

using ThreadProc = unsigned (*)(void* argument);

// Windows priority levels; on Linux they are recorded but not applied (raising priority
// needs privileges a flasher should not ask for).
constexpr int kThreadPriorityLowest = -2;
constexpr int kThreadPriorityNormal = 0;
constexpr int kThreadPriorityTimeCritical = 15;

struct ThreadHandle {
    void* native = nullptr;
    explicit operator bool() const { return native != nullptr; }
};

// Starts proc(argument) at once on a new thread with the given stack reservation (0: the
// platform default) and priority. Returns an empty handle when the thread cannot start.
ThreadHandle StartThread(ThreadProc proc, void* argument, std::size_t stackBytes,
                         int priority = kThreadPriorityNormal);

// Returns false when the platform refuses the level.
bool SetThreadPriorityLevel(ThreadHandle thread, int priority);

// Waits for the thread to end and releases the handle.
void JoinThread(ThreadHandle& thread);

// Releases the handle; the thread runs on by itself.
void DetachThread(ThreadHandle& thread);

// Gives up the rest of the time slice.
void YieldThread();

// A lock whose waiters sleep, so that a low-priority holder (the progress monitor) gets the
// processor back from a time-critical waiter (the worker on Windows XP). CRITICAL_SECTION
// on Windows (SRW locks are not on XP), pthread_mutex elsewhere.
class ThreadLock {
public:
    ThreadLock();
    ~ThreadLock();
    ThreadLock(const ThreadLock&) = delete;
    ThreadLock& operator=(const ThreadLock&) = delete;

    void Lock();
    void Unlock();

private:
    alignas(16) unsigned char native_[64];  // the platform's lock, built in place
};

// Holds the lock for its own lifetime.
class ScopedThreadLock {
public:
    explicit ScopedThreadLock(ThreadLock& lock) : lock_(lock) { lock_.Lock(); }
    ~ScopedThreadLock() { lock_.Unlock(); }
    ScopedThreadLock(const ScopedThreadLock&) = delete;
    ScopedThreadLock& operator=(const ScopedThreadLock&) = delete;

private:
    ThreadLock& lock_;
};
