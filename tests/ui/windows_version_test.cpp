#include <gtest/gtest.h>

#include "session/process_values.h"
#include "ui/windows_version.h"

TEST(WindowsVersionGate, XpVistaAndSevenAreAcceptedWithTheirEnvironment) {
    EXPECT_TRUE(ApplyWindowsVersion(5, 1));
    EXPECT_EQ(Environment, 0);
    EXPECT_EQ(windows7Flag, 0);
    EXPECT_TRUE(ApplyWindowsVersion(6, 0));
    EXPECT_EQ(Environment, 1);
    EXPECT_EQ(windows7Flag, 0);
    EXPECT_TRUE(ApplyWindowsVersion(6, 1));
    EXPECT_EQ(Environment, 1);
    EXPECT_EQ(windows7Flag, 1);
}

TEST(WindowsVersionGate, OtherVersionsAreRefused) {
    // 5.2 is Windows XP x64 and Server 2003; 6.2 and later are Windows 8 on.
    for (auto [major, minor] : {std::pair{5u, 0u}, {5u, 2u}, {6u, 2u}, {6u, 3u}, {10u, 0u}, {4u, 10u}})
        EXPECT_FALSE(ApplyWindowsVersion(major, minor)) << major << "." << minor;
}
