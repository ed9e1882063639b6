#include <windows.h>

#include <new>

#include "session/thread_start.h"

namespace {
CRITICAL_SECTION& Native(unsigned char* storage) { return *std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage)); }
}  // namespace

ThreadLock::ThreadLock() {
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof native_ && alignof(CRITICAL_SECTION) <= 16);
    // InitializeCriticalSection, not the Ex form: the Ex form is not on Windows XP.
    InitializeCriticalSection(new (native_) CRITICAL_SECTION);
}

ThreadLock::~ThreadLock() { DeleteCriticalSection(&Native(native_)); }

void ThreadLock::Lock() { EnterCriticalSection(&Native(native_)); }

void ThreadLock::Unlock() { LeaveCriticalSection(&Native(native_)); }
