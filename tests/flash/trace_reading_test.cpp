#include "tools/flash/trace_reading.h"

#include <gtest/gtest.h>

#include "session/image_targets.h"

namespace {

// A trace as the run writes it, up to the point wanted.
struct TraceBuilder {
    std::string text = "Initial Mode : Download\n[PACKETSIZE798720 FLASH_PACKETSIZE798720 Environment0]\n"
                       "==============close application 3 times =============\n"
                       "==============Open Port =======================\nOpen port /dev/x status 0\n";

    TraceBuilder& Programmer() {
        text += "==============Start Send HEX=====================\n==============Start Send HEX=====================\n"
                "OK HEX\nOK HEX\n==============start Go =============\nOK GO\nOK GO\nSleep 5 sec\n"
                "Open port /dev/x status 0\n";
        return *this;
    }
    TraceBuilder& Handshake() {
        Programmer();
        text += "==============start Initial Targ =============\n=============prepare send =============\n"
                "OK InitTagOK InitTag==============start secrete  =============\nOK Secret\nOK Secret\n"
                "total time: 5 sec\n==============start partition =============\n==============send =============\n"
                "OK Partition\nOK Partition\ntotal time: 5 sec\n";
        return *this;
    }
    TraceBuilder& Open(const ImageTargetInfo& info) {
        text += std::string(info.openHeading) + info.openSend + info.openSuccess[0] + info.openSuccess[1];
        return *this;
    }
    TraceBuilder& Write(const ImageTargetInfo& info) {
        text += std::string(info.writeHeading) + "total packet1 ,  sended 0 th , packet size  798720 rate 1\n" +
                info.writeSuccess;
        return *this;
    }
    TraceBuilder& Whole(const ImageTargetInfo& info) {
        Open(info).Write(info);
        text += std::string(info.closeHeading) + info.closeSend + info.closeSuccess + "total time: 9 sec\n";
        return *this;
    }
    TraceBuilder& Every() {
        Handshake();
        for (const ImageTargetInfo& info : kImageTargets) Whole(info);
        return *this;
    }
    TraceBuilder& Ends(const std::string& last) {
        text += last;
        return *this;
    }
};

TraceReading Read(const std::string& text) {
    TraceReading reading;
    std::string error;
    EXPECT_TRUE(ReadTrace(text, reading, error)) << error;
    return reading;
}

const ImageTargetInfo& kFlashBin = TargetInfo(ImageTarget::FlashBin);
const ImageTargetInfo& kAmss = TargetInfo(ImageTarget::Amss);

TEST(TraceReading, OneTextAtTwoStepsIsToldApartByTheHeadings) {
    TraceBuilder beforeFlash;
    beforeFlash.Handshake();
    for (const ImageTargetInfo& info : kImageTargets)
        if (info.target < ImageTarget::FlashBin) beforeFlash.Whole(info);

    TraceReading open = Read(TraceBuilder(beforeFlash).Ends(std::string(kFlashBin.openHeading) + "Can't Open Flash.bin").text);
    TraceReading close = Read(TraceBuilder(beforeFlash).Open(kFlashBin).Write(kFlashBin)
                                  .Ends(std::string(kFlashBin.closeHeading) + "Can't Open Flash.bin").text);
    EXPECT_EQ(open.step->word, "flash-bin-open");
    EXPECT_EQ(close.step->word, "flash-bin-close");
    EXPECT_EQ(open.written, close.written);  // FLASH.bin is whole only with its close
    EXPECT_EQ(open.written.back(), "appsboot.mbn");

    // The port searched at the start and again after GO.
    EXPECT_EQ(Read(TraceBuilder().Ends("Can't Connected Port.\n").text).step->word, "port");
    TraceReading again = Read(TraceBuilder().Programmer().Ends("Can't Connected Port.\n").text);
    EXPECT_EQ(again.step->word, "reconnect");
    EXPECT_EQ(again.acknowledged, (std::vector<std::string>{"programmer", "GO"}));
    EXPECT_EQ(again.holds, HandsetHolds::kNothingWritten);
}

TEST(TraceReading, WhatTheHandsetAcknowledgedAndHolds) {
    // A header that travels in its image's open is whole with that open; its image is not.
    TraceBuilder amss;
    amss.Handshake();
    for (const ImageTargetInfo& info : kImageTargets)
        if (info.target < ImageTarget::Amss) amss.Whole(info);
    TraceReading write = Read(amss.Open(kAmss).Ends(std::string(kAmss.writeHeading) + "Can't Send or Received\nCan't Send AMSS").text);
    EXPECT_EQ(write.outcome, std::string(kTraceFailed));
    EXPECT_EQ(write.written, (std::vector<std::string>{"partition.mbn", "qcsblhd_cfgdata.mbn", "qcsbl.mbn",
                                                         "oemsblhd.mbn", "oemsbl.mbn", "amsshd.mbn"}));
    EXPECT_EQ(write.holds, HandsetHolds::kPartlyWritten);
    EXPECT_EQ(write.unplug, Unplugging::kKeepPowered);  // the boot chain is whole only after APPSBOOT

    TraceReading reset = Read(TraceBuilder().Every().Ends("Reset Fail").text);
    EXPECT_EQ(reset.step->word, "reset");
    EXPECT_EQ(reset.holds, HandsetHolds::kEverythingWritten);
    EXPECT_EQ(reset.written.size(), 11u);
    EXPECT_EQ(Read(TraceBuilder().Every().Ends("Finish").text).outcome, std::string(kTraceOk));

    // A trace that just stops: the step it stopped in, no failure text.
    TraceReading stopped = Read(TraceBuilder().Handshake().Open(kImageTargets[0]).text);
    EXPECT_EQ(stopped.outcome, std::string(kTraceIncomplete));
    EXPECT_EQ(stopped.step->word, "qcsbl-header-open");
    EXPECT_TRUE(stopped.failure.empty());
    EXPECT_EQ(stopped.unplug, Unplugging::kWhenEnded);
}

TEST(TraceReading, TextsTheStepsWriteBeforeTheirFailure) {
    // The table refused for want of images: its "Can't Load" lines follow the reply's bytes
    // on the same line, after a carriage return.
    const std::string refused = TraceBuilder().Programmer().text +
                                "==============start partition =============\n==============send =============\n"
                                "Error code not match: Send 0 ,Rev. 0 Send byte 5 receive 4:\n\x0e\x1c\x01\rCan't Load "
                                "cefs_modem.mbn\nCan't Send Partition";
    EXPECT_EQ(Read(refused).holds, HandsetHolds::kNothingWritten);
    const std::string unanswered = TraceBuilder().Programmer().text +
                                   "==============start partition =============\nCan't Send or Received\nCan't Send Partition";
    EXPECT_EQ(Read(unanswered).holds, HandsetHolds::kUnknown);

    TraceReading missing = Read("Initial Mode : Download\nNO FLASH.bin NO cefs ");
    EXPECT_EQ(missing.step->word, "checks");
    EXPECT_EQ(missing.failure, "NO FLASH.bin NO cefs ");
    EXPECT_EQ(Read("Initial Mode : Download\nNO memory for FLASH.bin ").outcome, std::string(kTraceFailed));
    // Letter case counts: CEFS's open and close texts differ only in it.
    EXPECT_FALSE(MatchesEndingText("Can't Open CEFS", "Can't Open Cefs"));
    EXPECT_TRUE(MatchesEndingText("Can't Transfer from WinMobile to Download mode [CustLanguage 2f]",
                                  "Can't Transfer from WinMobile to Download mode [CustLanguage %x]"));

    TraceReading shown;
    ASSERT_TRUE(ReadShownText("Not correct version on Mobile Phone.   rev: 3 1 2 ", shown));
    EXPECT_EQ(shown.step->word, "switch");
    EXPECT_EQ(shown.holds, HandsetHolds::kWindowsMobile);

    TraceReading none;
    std::string error;
    EXPECT_FALSE(ReadTrace("", none, error));
    EXPECT_FALSE(ReadTrace("\x89PNG\r\n", none, error));
    EXPECT_NE(error.find("Initial Mode"), std::string::npos);
}

// Every failure text of the run driver's image steps has its row at its own step.
TEST(RunEndings, EveryImageStepHasItsRows) {
    for (const ImageTargetInfo& info : kImageTargets) {
        const std::string word = TargetStepWord(info.target);
        const std::pair<const char*, const char*> steps[] = {
            {kOpenSuffix, info.openFailure}, {kWriteSuffix, info.writeFailure}, {kCloseSuffix, info.closeFailure}};
        for (const auto& [suffix, text] : steps) {
            int rows = 0;
            for (const RunEnding& ending : RunEndings()) rows += ending.step == word + suffix && ending.text == text;
            EXPECT_EQ(rows, 1) << word << suffix;
            EXPECT_NE(FindRunStep(word + suffix), nullptr);
        }
    }
    for (const RunEnding& ending : RunEndings()) EXPECT_NE(FindRunStep(ending.step), nullptr) << ending.step;
}

}  // namespace
