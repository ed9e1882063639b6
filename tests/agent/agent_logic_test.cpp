// The agent's command-line contract, run against a scripted COREDLL.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_ce.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string kVersion = "ioctl 0x01012F44";
const std::string kVersionFallback = "ioctl 0x01012F3C";
const std::string kSetMode = "ioctl 0x01012F48";
const std::string kRestart = "ioctl 0x01012F50";

void run(FakeCe &ce, const std::vector<agent_wchar> &line)
{
    const agent_ce_api api = ce.api();
    agent_run(&api, line.data());
}

// --- "3": hardware version into HKEY_LOCAL_MACHINE\test -------------------------------

TEST(agent_version, FourBytesFromFirstControlAreStoredWithoutFallback)
{
    FakeCe ce;
    ce.io_replies[AGENT_IOCTL_VERSION] = {{0x07, 0x01, 0x02, 0x03}, 4, 1};
    run(ce, command_line({u'3'}));

    EXPECT_THAT(ce.events, ElementsAre(kVersion, "open", "set", "close"));
    ASSERT_EQ(ce.io_calls.size(), 1u);
    const auto &call = ce.io_calls[0];
    EXPECT_FALSE(call.in_present);
    EXPECT_TRUE(call.in.empty());
    EXPECT_TRUE(call.out_present);
    EXPECT_EQ(call.out_size, 4u);
    EXPECT_TRUE(call.returned_present);
    ASSERT_EQ(ce.set_calls.size(), 1u);
    EXPECT_THAT(ce.set_calls[0].data, ElementsAre(0x07, 0x01, 0x02, 0x03));
}

TEST(agent_version, FewerThanFourBytesAsksTheFallbackControl)
{
    FakeCe ce;
    // The first handler writes part of a value: the fallback's answer must replace it.
    ce.io_replies[AGENT_IOCTL_VERSION] = {{0xAA, 0xBB}, 2, 1};
    ce.io_replies[AGENT_IOCTL_VERSION_FALLBACK] = {{0x05, 0x00, 0x00, 0x00}, 4, 1};
    run(ce, command_line({u'3'}));

    EXPECT_THAT(ce.events, ElementsAre(kVersion, kVersionFallback, "open", "set", "close"));
    ASSERT_EQ(ce.io_calls.size(), 2u);
    EXPECT_EQ(ce.io_calls[1].out_size, 4u);
    EXPECT_TRUE(ce.io_calls[1].out_present);
    EXPECT_TRUE(ce.io_calls[1].returned_present);
    ASSERT_EQ(ce.set_calls.size(), 1u);
    EXPECT_THAT(ce.set_calls[0].data, ElementsAre(0x05, 0x00, 0x00, 0x00));
}

TEST(agent_version, FallbackDependsOnReportedCountNotOnTheResult)
{
    {
        FakeCe ce;  // unknown code: FALSE and nothing reported
        ce.io_replies[AGENT_IOCTL_VERSION_FALLBACK] = {{0x09, 0, 0, 0}, 4, 1};
        run(ce, command_line({u'3'}));
        EXPECT_THAT(ce.events, ElementsAre(kVersion, kVersionFallback, "open", "set", "close"));
        ASSERT_EQ(ce.set_calls.size(), 1u);
        EXPECT_THAT(ce.set_calls[0].data, ElementsAre(0x09, 0, 0, 0));
    }
    {
        FakeCe ce;  // FALSE, but four bytes reported: no second question
        ce.io_replies[AGENT_IOCTL_VERSION] = {{0x04, 0, 0, 0}, 4, 0};
        run(ce, command_line({u'3'}));
        EXPECT_THAT(ce.events, ElementsAre(kVersion, "open", "set", "close"));
        ASSERT_EQ(ce.set_calls.size(), 1u);
        EXPECT_THAT(ce.set_calls[0].data, ElementsAre(0x04, 0, 0, 0));
    }
}

TEST(agent_version, NeitherControlAnsweringStoresZeroes)
{
    FakeCe ce;
    run(ce, command_line({u'3'}));

    EXPECT_THAT(ce.events, ElementsAre(kVersion, kVersionFallback, "open", "set", "close"));
    ASSERT_EQ(ce.set_calls.size(), 1u);
    EXPECT_THAT(ce.set_calls[0].data, ElementsAre(0, 0, 0, 0));
}

TEST(agent_version, ValueIsBinaryTestDirectlyUnderLocalMachine)
{
    FakeCe ce;
    ce.io_replies[AGENT_IOCTL_VERSION] = {{0x02, 0, 0, 0}, 4, 1};
    run(ce, command_line({u'3'}));

    ASSERT_EQ(ce.open_calls.size(), 1u);
    EXPECT_EQ(ce.open_calls[0].key, AGENT_HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(ce.open_calls[0].subkey_present);
    EXPECT_EQ(ce.open_calls[0].options, 0u);

    ASSERT_EQ(ce.set_calls.size(), 1u);
    const auto &set = ce.set_calls[0];
    EXPECT_EQ(set.key, ce.opened_key);
    EXPECT_EQ(set.name, u"test");
    EXPECT_EQ(set.reserved, 0u);
    EXPECT_EQ(set.type, 3u);  // REG_BINARY
    EXPECT_EQ(set.data.size(), 4u);

    EXPECT_THAT(ce.close_calls, ElementsAre(ce.opened_key));
}

TEST(agent_version, UnopenableRootKeyWritesAndClosesNothing)
{
    FakeCe ce;
    ce.io_replies[AGENT_IOCTL_VERSION] = {{0x02, 0, 0, 0}, 4, 1};
    ce.open_result = 5;  // ERROR_ACCESS_DENIED
    run(ce, command_line({u'3'}));

    EXPECT_THAT(ce.events, ElementsAre(kVersion, "open"));
}

TEST(agent_version, OnlyTheFirstCharacterChoosesTheAction)
{
    FakeCe ce;
    ce.io_replies[AGENT_IOCTL_VERSION] = {{0x02, 0, 0, 0}, 4, 1};
    run(ce, command_line({u'3', u' ', u'1'}));

    EXPECT_THAT(ce.events, ElementsAre(kVersion, "open", "set", "close"));
}

// --- "2": download mode from the raw nibbles at indexes 2 and 4 ----------------------

TEST(agent_switch, LowByte0x13PassesHighNibbleFirstToBothControlsInOrder)
{
    FakeCe ce;
    run(ce, command_line({u'2', u' ', 1, u' ', 3}));

    EXPECT_THAT(ce.events, ElementsAre(kSetMode, kRestart));
    ASSERT_EQ(ce.io_calls.size(), 2u);
    for (const auto &call : ce.io_calls) {
        EXPECT_TRUE(call.in_present);
        EXPECT_THAT(call.in, ElementsAre(0x01, 0x03));
        EXPECT_FALSE(call.out_present);
        EXPECT_EQ(call.out_size, 0u);
    }
}

TEST(agent_switch, ANibbleAtIndexFourMayBeTheTerminator)
{
    FakeCe ce;
    // Low byte 0x10: the low nibble 0 is the line's terminator, still inside the line.
    run(ce, command_line({u'2', u' ', 1, u' ', 0}));

    EXPECT_THAT(ce.events, ElementsAre(kSetMode, kRestart));
    ASSERT_EQ(ce.io_calls.size(), 2u);
    EXPECT_THAT(ce.io_calls[0].in, ElementsAre(0x01, 0x00));
    EXPECT_THAT(ce.io_calls[1].in, ElementsAre(0x01, 0x00));
}

TEST(agent_switch, ALineEndingBeforeIndexFourSwitchesNothing)
{
    // The kernel copies the line up to its terminator; what lies behind it is whatever
    // the buffer held, here 0xAB and 0xCD, and must never reach the controls.
    const std::vector<std::vector<agent_wchar>> lines = {
        command_line({u'2'}),                          // bare "2"
        command_line({u'2', u' ', 0, 0xAB, 0xCD}),     // high nibble 0 (low byte 0x05)
        command_line({u'2', u' ', 7, 0, 0xCD}),        // cut after the high nibble
        command_line({u'2', 0, 0xAB, 0xCD, 0xEF}),     // cut after the command
    };
    for (const auto &line : lines) {
        FakeCe ce;
        run(ce, line);
        EXPECT_THAT(ce.events, IsEmpty()) << "units before the terminator: "
                                          << std::char_traits<agent_wchar>::length(line.data());
    }
}

TEST(agent_switch, CharactersAreTakenAsRawValuesNotParsedAsDigits)
{
    FakeCe ce;
    run(ce, command_line({u'2', u' ', 0x0F, u' ', u'3'}));

    ASSERT_EQ(ce.io_calls.size(), 2u);
    EXPECT_THAT(ce.io_calls[0].in, ElementsAre(0x0F, 0x33));
}

// --- "1": message box ----------------------------------------------------------------

TEST(agent_message, ShowsOkOneCaptionedC)
{
    FakeCe ce;
    run(ce, command_line({u'1'}));

    EXPECT_THAT(ce.events, ElementsAre("box"));
    ASSERT_EQ(ce.box_calls.size(), 1u);
    EXPECT_EQ(ce.box_calls[0].owner, nullptr);
    EXPECT_EQ(ce.box_calls[0].text, u"ok 1");
    EXPECT_EQ(ce.box_calls[0].caption, u"c");
    EXPECT_EQ(ce.box_calls[0].type, 0u);  // MB_OK
}

// --- anything else -------------------------------------------------------------------

TEST(agent_ignored, UnknownEmptyAndMissingCommandLinesDoNothing)
{
    const std::vector<std::vector<agent_wchar>> lines = {
        command_line({u'4'}), command_line({u'0'}), command_line({u'x'}),
        command_line({u' ', u'3'}), command_line({static_cast<agent_wchar>(u'3' + 0x100)}), command_line({})};
    for (const auto &line : lines) {
        FakeCe ce;
        run(ce, line);
        EXPECT_THAT(ce.events, IsEmpty()) << "first unit " << line[0];
    }

    FakeCe ce;
    const agent_ce_api api = ce.api();
    agent_run(&api, nullptr);
    EXPECT_THAT(ce.events, IsEmpty());
}

}  // namespace
