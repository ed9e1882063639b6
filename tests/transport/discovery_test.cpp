// Port discovery's portable rules: what a device description sets, which interface path
// belongs to a device, and the download port search.
#include <gtest/gtest.h>

#include <string>

#include "session/session_state.h"
#include "session/trace_log.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"
#include "tests/transport/scripted_port.h"
#include "transport/device_descriptions.h"
#include "transport/interface_path.h"
#include "transport/port_search.h"

TEST(DeviceDescriptions, EachPatternSetsItsFlagsNameAndLabelAndTheFlagsPersist) {
    RecordingWindow window;
    SessionState session;
    session.window = &window;

    EXPECT_FALSE(ApplyDeviceDescription(session, "USB Root Hub"));
    EXPECT_EQ(session.devicePresent, 0u);

    ASSERT_TRUE(ApplyDeviceDescription(session, "Windows Mobile-based Device"));
    EXPECT_EQ(session.wmdcDeviceSeen, 1u);
    ASSERT_TRUE(ApplyDeviceDescription(session, "Qualcomm Diagnostics Interface 6000 (COM7)"));
    EXPECT_STREQ(session.portName, "COM7");
    EXPECT_EQ(window.GetControlText(1001), "Qualcomm Diagnostics Interface 6000 (COM7)");
    EXPECT_EQ(session.wmdcDeviceSeen, 1u);  // a Qualcomm port leaves the other flags as they were

    // The download port after Windows Mobile: the sync flag replaces the Windows Mobile one.
    ASSERT_TRUE(ApplyDeviceDescription(session, "Microsoft USB Sync"));
    EXPECT_EQ(session.syncPortSeen, 1u);
    EXPECT_EQ(session.wmdcDeviceSeen, 0u);
    EXPECT_EQ(session.qualcommPortSeen, 1u);
    EXPECT_EQ(window.GetControlText(1001), "Microsoft USB Sync (wceusbsh00)");

    ASSERT_TRUE(ApplyDeviceDescription(session, "Microsoft Windows Mobile Remote Adapter #2"));
    EXPECT_EQ(session.syncPortSeen, 0u);
    EXPECT_STREQ(session.portName, "");
    EXPECT_EQ(window.GetControlText(1001), "Microsoft Windows Mobile Remote Adapter");
    NoteDevicePresence(session);
    EXPECT_EQ(session.devicePresent, 2u);

    // Case matters; and a name without ')' runs to the end, at most 99 characters.
    EXPECT_FALSE(ApplyDeviceDescription(session, "microsoft usb sync"));
    ASSERT_TRUE(ApplyDeviceDescription(session, ("Qualcomm WinMobile Diagnostics 3200 (" + std::string(150, 'X')).c_str()));
    EXPECT_EQ(std::string(session.portName), std::string(99, 'X'));
}

TEST(InterfacePath, BelongsToTheInstanceWhoseVendorProductAndSerialItNames) {
    const std::string path = "\\\\?\\usb#vid_05c6&pid_3197#5&abc&0&2#{25dbce51-6c8f-4a72-8a6d-b54c2b4fc835}";
    EXPECT_TRUE(InterfacePathMatchesInstance(path, "USB\\VID_05C6&PID_3197\\5&ABC&0&2"));
    EXPECT_FALSE(InterfacePathMatchesInstance(path, "USB\\VID_05C6&PID_3197\\5&ABC&0&3"));
    EXPECT_FALSE(InterfacePathMatchesInstance("\\\\?\\usb#vid_05c6&pid_3197", "USB\\vid_05c6&pid_3197\\"));
    EXPECT_EQ(InterfacePathToOpen(path), path);
    EXPECT_EQ(InterfacePathToOpen("usb#x#y"), "\\\\?\\usb#x#y");
}

class PortSearchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Trace().Open()); }
    void TearDown() override { Trace().Close(); }
    static std::string TraceText() { return ReadWholeFile("trace.txt"); }

    TempDirectory directory;
    ScopedVirtualClock time;
    ScriptedPort port;
};

TEST_F(PortSearchTest, TheTwelfthSerialNameOpensOnTheTwelfthAttempt) {
    for (int i = 0; i < 11; ++i) port.QueueOpenResult(2);
    PortSearch search{.portName = SerialDownloadPortName};
    EXPECT_EQ(SearchDownloadPort(search), 1);
    const std::string trace = TraceText();
    EXPECT_NE(trace.find("Open port \\\\.\\wceusbsh001 status 2\n"), std::string::npos);
    EXPECT_NE(trace.find("Open port \\\\.\\wceusbsh011 status 2\nOpen port \\\\.\\wceusbsh012 status 0\n"),
              std::string::npos);
    EXPECT_EQ(time.clock.SleptMs(), 11u * 100u);
    EXPECT_EQ(SerialDownloadPortName(99), "\\\\.\\wceusbsh099");
    EXPECT_EQ(SerialDownloadPortName(100), "\\\\.\\wceusbsh001");  // the names wrap
}

TEST_F(PortSearchTest, TheThreeHundredAndFirstAttemptEndsTheSearchEvenWhenItOpened) {
    for (int i = 0; i < 300; ++i) port.QueueOpenResult(-1);
    PortSearch search{.portName = [](int) { return std::string("\\\\?\\usb#vid#serial#{class}"); },
                      .traceAttempts = false};
    int attempts = 0;
    search.observe = [&attempts](int, const std::string&, int) { ++attempts; };
    EXPECT_EQ(SearchDownloadPort(search), 0);
    EXPECT_EQ(attempts, 301);
    EXPECT_EQ(TraceText(), "Can't Connected Port.\n");
    EXPECT_FALSE(port.IsOpen());  // the attempt that opened it is closed again
}
