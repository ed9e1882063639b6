#include <gtest/gtest.h>

#include "session/thread_start.h"

namespace {
struct Counted {
    ThreadLock lock;
    long count = 0;  // a plain word: only the lock keeps the increments whole
};

unsigned CountUnderTheLock(void* argument) {
    auto& counted = *static_cast<Counted*>(argument);
    for (int round = 0; round < 100000; ++round) {
        ScopedThreadLock hold(counted.lock);
        long seen = counted.count;
        if (round % 1000 == 0) YieldThread();  // invite the other thread in while the lock is held
        counted.count = seen + 1;
    }
    return 0;
}
}  // namespace

TEST(ThreadLock, KeepsOutEveryOtherThreadWhileHeld) {
    Counted counted;
    ThreadHandle threads[] = {StartThread(CountUnderTheLock, &counted, 0, kThreadPriorityLowest),
                              StartThread(CountUnderTheLock, &counted, 0, kThreadPriorityNormal)};
    for (ThreadHandle& thread : threads) {
        ASSERT_TRUE(thread);
        JoinThread(thread);
    }
    EXPECT_EQ(counted.count, 200000);
}
