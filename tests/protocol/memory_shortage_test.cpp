// Commands that cannot get their memory give up as failing steps instead of ending the
// process from inside the allocator. Each case runs in a child process whose address
// space is capped just above what it already uses, and reports through its exit code.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "protocol/command_exchange.h"
#include "protocol/packet_buffer.h"
#include "protocol/programmer_loader.h"
#include "protocol/streaming_commands.h"
#include "session/trace_log.h"
#include "tests/support/temp_directory.h"

namespace {

size_t AddressSpaceInUse() {
    size_t pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%zu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    return pages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Runs `body` in a child with `headroom` bytes of address space left; its return value
// becomes the exit code (a crash in the allocator shows as a signal, never as 0).
int InChildWithHeadroom(size_t headroom, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + headroom;
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(90);
        try {
            _exit(body());
        } catch (...) {
            _exit(91);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

}  // namespace

// The transfer buffers are taken on the first command; this binary runs no command
// before these tests, so the children start without them.
TEST(MemoryShortage, CommandsGiveUpAndSayWhy) {
    TempDirectory directory;
    ASSERT_TRUE(Trace().Open());
    EXPECT_EQ(InChildWithHeadroom(1 << 20,
                                  [] {
                                      if (SendHello() != 0) return 1;
                                      if (SendGo() != 0) return 2;
                                      if (SendProgrammer() != 0) return 3;
                                      return 0;
                                  }),
              0);
    Trace().Close();
    const std::string trace = ReadWholeFile("trace.txt");
    EXPECT_NE(trace.find("prepare memory allocation =============\nNot enough memory\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("memory allocation =============\nNot enough memory\n=============="), std::string::npos);
    EXPECT_NE(trace.find("Memory allocation=============\nNot enough memory\n"), std::string::npos);
}

TEST(MemoryShortage, ALongReplyIsTracedWholeWithoutRoomToGatherIt) {
    TempDirectory directory;
    ASSERT_TRUE(Trace().Open());
    const std::vector<uint8_t> reply(8 << 20, 0x5A);
    EXPECT_EQ(InChildWithHeadroom(1 << 20,
                                  [&reply] {
                                      TraceLineWithBytes("Can't Recv  -1 recv num: 0 Data:\n", reply.data(), reply.size());
                                      return 0;
                                  }),
              0);
    Trace().Close();
    EXPECT_TRUE(ReadWholeFile("trace.txt") ==
                "Can't Recv  -1 recv num: 0 Data:\n" + std::string(reply.begin(), reply.end()) + "\r");
}
