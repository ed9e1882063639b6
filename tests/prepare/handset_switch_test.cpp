// The switch into download mode against a scripted handset: what is asked of it and in which
// order, the command line's raw code units, and refusals that the stand-in under Wine cannot
// show (an empty accepted list, an unreadable version). Battery, family and link refusals
// run under Wine against the stand-in rapi.dll.
#include <gtest/gtest.h>

#include <algorithm>

#include "prepare/handset_switch.h"
#include "prepare/own_resource.h"
#include "tests/prepare/fake_remote_api.h"

namespace {

AcceptedVersionList Family(uint8_t code) {
    const AcceptedVersionList saved = acceptedVersions;
    acceptedVersions = {};
    FillAcceptedVersions(code);
    const AcceptedVersionList list = acceptedVersions;
    acceptedVersions = saved;
    return list;
}

}  // namespace

TEST(HandsetSwitch, AsksTheHandsetInOrderAndStartsTheAgentWithRawNibbles) {
    struct Case {
        uint32_t word;
        char16_t high;
        char16_t low;
    };
    // A zero high nibble still sits at the third place, the low one at the fifth.
    for (const Case& c : {Case{0x12345613, 1, 3}, Case{0x05, 0, 5}}) {
        std::u16string commandLine = u"2 h l";
        commandLine[2] = c.high;
        commandLine[4] = c.low;
        ScopedFakeHandset fake;
        EXPECT_TRUE(RunHandsetSwitch(Family('A'), c.word).switched);
        std::string initSize = "init size ";
        initSize += std::to_string(sizeof(RAPIINIT));
        std::string write = "write ";
        write += std::to_string(OwnResource(kAgentResourceType, "#3123").size());
        EXPECT_EQ(fake.handset.calls, (std::vector<std::string>{
                                          "uninit", initSize, "wait 5000",
                                          "power update 1", "create download.exe 40000000 3 2 80",
                                          write, "close file", "start \\download 10 info",
                                          "sleep 500", "open HKLM", "query test 4", "close key",
                                          "start \\download.exe 10", "sleep 1000"}));
        EXPECT_EQ(fake.handset.commandLines, (std::vector<std::u16string>{u"3", commandLine}));
    }
}

TEST(HandsetSwitch, RefusalsEndBeforeTheDownloadModeStartAndCloseTheKey) {
    struct Case {
        const char* what;
        void (*script)(FakeHandset&);
        uint8_t family;
        std::string message;
    };
    const std::string refused = "Not correct version on Mobile Phone.   rev: ";
    const Case cases[] = {
        {"link refused", [](FakeHandset& h) { h.initResult = -1; }, 'A', "Can't init link"},
        {"link never up", [](FakeHandset& h) { h.linkUp = false; }, 'A', "Can't make a link"},
        {"battery 54", [](FakeHandset& h) { h.batteryPercent = 54; }, 'A', "Not enough battery volume."},
        {"power status unanswered", [](FakeHandset& h) { h.powerAnswers = false; }, 'A', "Not enough battery volume."},
        {"version unreadable", [](FakeHandset& h) { h.versionStored = false; }, 'C', refused + "0 43 46 47 4b 4a 4c 4d 4e "},
        // Service mode and unknown families leave the list empty: nothing is listed or accepted,
        // not even the 0 of a handset whose agent never ran.
        {"empty list", [](FakeHandset&) {}, 0, refused + "42 "},
        {"empty list, version unreadable", [](FakeHandset& h) { h.versionStored = false; }, 0, refused + "0 "},
    };
    for (const Case& c : cases) {
        ScopedFakeHandset fake;
        c.script(fake.handset);
        const HandsetSwitchOutcome outcome = RunHandsetSwitch(Family(c.family), 0x13);
        EXPECT_FALSE(outcome.switched) << c.what;
        EXPECT_EQ(outcome.message, c.message) << c.what;
        const auto& calls = fake.handset.calls;
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "start \\download.exe 10"), 0) << c.what;
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "open HKLM"), std::count(calls.begin(), calls.end(), "close key"))
            << c.what;
    }
}

TEST(HandsetSwitch, WithoutTheRemoteApiTheLinkCannotBeInitialised) {
    if (BoundRemoteApi()) GTEST_SKIP() << "this desktop has a Remote API";
    EXPECT_EQ(RunHandsetSwitch(Family('A'), 0x13).message, "Can't init link");
}
