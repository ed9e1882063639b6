#include <pthread.h>

#include <new>

#include "session/thread_start.h"

namespace {
pthread_mutex_t& Native(unsigned char* storage) { return *std::launder(reinterpret_cast<pthread_mutex_t*>(storage)); }
}  // namespace

ThreadLock::ThreadLock() {
    static_assert(sizeof(pthread_mutex_t) <= sizeof native_ && alignof(pthread_mutex_t) <= 16);
    pthread_mutex_init(new (native_) pthread_mutex_t, nullptr);
}

ThreadLock::~ThreadLock() { pthread_mutex_destroy(&Native(native_)); }

void ThreadLock::Lock() { pthread_mutex_lock(&Native(native_)); }

void ThreadLock::Unlock() { pthread_mutex_unlock(&Native(native_)); }
