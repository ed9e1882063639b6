// The simulator's command line and request log lines.
#include <gtest/gtest.h>

#include <vector>

#include "sim/request_log.h"
#include "sim/sim_options.h"

namespace {
bool Parse(std::vector<const char*> arguments, SimOptions& options, std::string& error) {
    arguments.insert(arguments.begin(), "handset-sim");
    SimRequest request = SimRequest::kRun;
    return ParseSimOptions(static_cast<int>(arguments.size()), arguments.data(), options, request, error);
}
}  // namespace

TEST(SimOptions, FaultListsAndSwitches) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--link", "/tmp/port", "--drop-reply", "3,7,3", "--garble-reply", "12", "--delay-ms", "40",
                       "--silent-hello", "--vanish-after", "2", "--partition-status1"},
                      options, error))
        << error;
    EXPECT_EQ(options.link, "/tmp/port");
    EXPECT_EQ(options.dropReply, (std::set<uint32_t>{3, 7}));
    EXPECT_EQ(options.garbleReply, (std::set<uint32_t>{12}));
    EXPECT_EQ(options.delayMs, 40u);
    EXPECT_TRUE(options.silentHello);
    EXPECT_TRUE(options.partitionStatus1);
    EXPECT_EQ(options.vanishAfter, 2u);
}

TEST(SimOptions, RefusesBadCommandLines) {
    std::string error;
    SimOptions a, b, c, d, e;
    EXPECT_FALSE(Parse({"--drop-reply", "1"}, a, error));
    EXPECT_EQ(error, "--link is required");
    EXPECT_FALSE(Parse({"--link", "x", "--drop-reply", "1,,2"}, b, error));
    EXPECT_FALSE(Parse({"--link", "x", "--corrupt-reply", "0"}, c, error)) << "requests count from 1";
    EXPECT_FALSE(Parse({"--link", "x", "--delay-ms"}, d, error));
    EXPECT_FALSE(Parse({"--link", "x", "--fast"}, e, error));
}

TEST(RequestLog, WholeContentUpToTheLimitThenPrefixAndDigest) {
    EXPECT_EQ(RequestLogLine(4, RequestVerdict::kGood, {0x0F, 0x00, 0xA0}), "4 ok 3 0f00a0");
    EXPECT_EQ(RequestLogLine(5, RequestVerdict::kBadCrc, {}), "5 bad-crc 0 ");
    Bytes large(9000, 0xAB);
    std::string line = RequestLogLine(6, RequestVerdict::kGood, large);
    EXPECT_EQ(line.substr(0, 12), "6 ok 9000 ab");
    EXPECT_EQ(line.size(), std::string("6 ok 9000 ").size() + 64 + 3 + 7 + 64);
}
