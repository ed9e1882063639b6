// The host's own port and exchanges against handset-sim over a real pseudo-terminal, with
// faults injected: what the handset logs must be exactly the frames the host means to send.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "protocol/command_exchange.h"
#include "protocol/intel_hex.h"
#include "protocol/programmer_loader.h"
#include "protocol/programmer_resource.h"
#include "session/trace_log.h"
#include "sim/request_log.h"
#include "tools/digest/sha256.h"
#include "tests/sim/host_requests.h"
#include "tests/sim/sim_process.h"
#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"
#include "transport/port_io.h"

namespace {

Bytes ProgrammerImage() {
    std::span<const uint8_t> text = ProgrammerHexText();
    Bytes image(text.begin(), text.end());
    image.resize(ConvertIntelHex(image.data(), static_cast<uint32_t>(image.size())));
    return image;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

int Exchange(const Bytes& request, const Bytes& expected) {
    PacketBuffer buffer(0);
    return ExchangeCommand(buffer, request, expected, "OK\n");
}

class HandsetSimTest : public ::testing::Test {
protected:
    void SetUp() override { WriteTrace(0); }
    void TearDown() override {
        ClosePort();
        WriteTrace(2);
    }
    std::string Path(const char* name) const { return (directory.Path() / name).string(); }
    // After GO the handset enumerates again; the host waits, as the run does, then reopens.
    void ReopenAfterGo() {
        ClosePort();
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        ASSERT_EQ(OpenPort(Path("port").c_str()), 0);
    }

    TempDirectory directory;
    ScopedVirtualClock time;  // pauses between attempts take no real time
    SimProcess sim;
};

}  // namespace

TEST_F(HandsetSimTest, ProgrammerStageWithLostAndSpoiledRepliesLogsExactlyTheFrames) {
    // Request 3 loses its reply, 5 has a wrong CRC (accepted), 7 and 30 a wrong leading byte.
    ASSERT_TRUE(sim.Start({"--link", Path("port"), "--log", Path("log"), "--manifest", Path("manifest.json"),
                           "--programmer", VELTRANE_PROGRAMMER_HEX_FILE, "--drop-reply", "3", "--corrupt-reply",
                           "5", "--garble-reply", "7,30"}));
    ASSERT_EQ(OpenPort(Path("port").c_str()), 0);
    ASSERT_EQ(SendProgrammer(), 1);
    ASSERT_EQ(SendGo(), 1);

    ReopenAfterGo();
    EXPECT_EQ(Exchange(Hello(), {0x02}), 1);
    EXPECT_EQ(Exchange({0x0B}, {0x0C}), 1);
    EXPECT_EQ(sim.Wait(5000), 0);

    // What the handset saw: every packet once, again after each lost or spoiled reply.
    const Bytes image = ProgrammerImage();
    std::vector<Bytes> expected;
    for (uint32_t packet = 0; packet < 28; ++packet) {
        expected.push_back(ProgrammerPacket(image, packet));
        uint32_t number = static_cast<uint32_t>(expected.size());
        if (number == 3 || number == 7 || number == 30) expected.push_back(ProgrammerPacket(image, packet));
    }
    expected.push_back({0x05, 0x00, 0xA0, 0x00, 0x00});
    expected.push_back(Hello());
    expected.push_back({0x0B});
    auto lines = Lines(ReadWholeFile(Path("log")));
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines[i], RequestLogLine(static_cast<uint32_t>(i + 1), RequestVerdict::kGood, expected[i])) << i;

    EXPECT_EQ(ReadWholeFile(Path("manifest.json")),
              "{\"programmer\":{\"bytes\":110648,\"sha256\":\"" + Sha256Hex(image.data(), image.size()) +
                  "\"},\"partition\":null,\"images\":{},\"reset\":true}\n");
    WriteTrace(2);
    std::string trace = ReadWholeFile("trace.txt");
    EXPECT_NE(trace.find("Can't Recv  -1 recv num: 0 Data:\n\r"), std::string::npos);
    EXPECT_NE(trace.find("Error code not match: Send 0 ,Rev. 0 Send byte "), std::string::npos);
    EXPECT_TRUE(trace.ends_with("OK HEX\nOK HEX\n==============start Go =============\n"
                                "==============start Go =============\n==============memory allocation =============\n"
                                "==============Send Command =============\nOK GO\nOK GO\nOK\nOK\nOK\nOK\n"));
}

TEST_F(HandsetSimTest, ImageChunksSurviveAWrongAcknowledgementAndEveryByteValuePasses) {
    ASSERT_TRUE(sim.Start({"--link", Path("port"), "--log", Path("log"), "--manifest", Path("manifest.json"),
                           "--wrong-address", "5"}));
    // The terminal end is raw before the host sets anything.
    int plain = ::open(Path("port").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(plain, 0);
    termios settings{};
    ASSERT_EQ(tcgetattr(plain, &settings), 0);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(settings.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    ::close(plain);

    ASSERT_EQ(OpenPort(Path("port").c_str()), 0);
    ASSERT_EQ(Exchange({0x05, 0x00, 0xA0, 0x00, 0x00}, {0x02}), 1);  // nothing loaded: GO starts it all the same
    ReopenAfterGo();
    ASSERT_EQ(Exchange(Hello(), {0x02}), 1);

    // The body: every byte value, several times over, in three chunks.
    PacketBuffer body(1000);
    uint8_t* bodyBytes = body.AllocatePayload(2500);
    for (uint32_t i = 0; i < 2500; ++i) bodyBytes[i] = static_cast<uint8_t>(i * 7);
    body.SetPayloadLength(2500);
    const Bytes header = {0xDE, 0x7E, 0xAD};
    Bytes open = {0x1B, 0x05};
    open.insert(open.end(), header.begin(), header.end());
    ASSERT_EQ(Exchange(open, {0x1C, 0x00}), 1);
    int failures = 0;
    ExchangeOptions options;
    options.failureCount = &failures;
    for (uint32_t chunk = 0; chunk < body.chunkCount; ++chunk) {
        const uint32_t address = chunk * 1000;
        const uint8_t request[5] = {0x07, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), 0, 0};
        const uint8_t ack[5] = {0x08, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), 0, 0};
        body.ClearTransferBuffers();
        body.BuildFrame(request, 5, chunk);
        ASSERT_EQ(RunAttempts(body, ack, options), 1) << chunk;
    }
    EXPECT_EQ(failures, 1);  // request 5, chunk 1, acknowledged as chunk 0
    ASSERT_EQ(Exchange({0x15}, {0x16}), 1);
    ASSERT_EQ(Exchange({0x0B}, {0x0C}), 1);
    EXPECT_EQ(sim.Wait(5000), 0);

    std::string manifest = ReadWholeFile(Path("manifest.json"));
    EXPECT_NE(manifest.find("\"amss\":{\"bytes\":2500,\"sha256\":\"" + Sha256Hex(body.payload, 2500) +
                            "\",\"closed\":true}"),
              std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("\"amss_header\":{\"bytes\":3,\"sha256\":\"" + Sha256Hex(header.data(), 3) +
                            "\",\"closed\":true}"),
              std::string::npos)
        << manifest;
    auto lines = Lines(ReadWholeFile(Path("log")));
    ASSERT_EQ(lines.size(), 9u);  // GO, hello, open, chunk 0, chunk 1 twice, chunk 2, close, reset
    EXPECT_EQ(lines[4].substr(0, 16), "5 ok 1005 07e803");
    EXPECT_EQ(lines[5].substr(0, 16), "6 ok 1005 07e803");
}

TEST_F(HandsetSimTest, VanishingHandsetEndsTheExchangeAndLeavesItsRecord) {
    ASSERT_TRUE(sim.Start({"--link", Path("port"), "--manifest", Path("manifest.json"), "--vanish-after", "1"}));
    ASSERT_EQ(OpenPort(Path("port").c_str()), 0);
    ASSERT_EQ(Exchange({0x05, 0x00, 0xA0, 0x00, 0x00}, {0x02}), 1);
    ReopenAfterGo();
    ASSERT_EQ(Exchange({0x1B, 0x0C}, {0x1C, 0x00}), 1);
    ASSERT_EQ(Exchange({0x07, 0, 0, 0, 0, 0x11}, {0x08, 0, 0, 0, 0}), 1);
    EXPECT_EQ(sim.Wait(5000), 0);
    EXPECT_EQ(Exchange({0x07, 1, 0, 0, 0, 0x22}, {0x08, 1, 0, 0, 0}), 0);
    EXPECT_EQ(ReadWholeFile(Path("manifest.json")),
              "{\"programmer\":{\"bytes\":0,\"sha256\":\"" + Sha256Hex("", 0) +
                  "\"},\"partition\":null,\"images\":{\"flash_bin\":{\"bytes\":1,\"sha256\":\"" + Sha256Hex("\x11", 1) +
                  "\",\"closed\":false}},\"reset\":false}\n");
}

TEST_F(HandsetSimTest, SilentHelloAndTerminationWriteTheManifest) {
    ASSERT_TRUE(sim.Start({"--link", Path("port"), "--manifest", Path("manifest.json"), "--silent-hello",
                           "--delay-ms", "20"}));
    ASSERT_EQ(OpenPort(Path("port").c_str()), 0);
    ASSERT_EQ(Exchange({0x05, 0x00, 0xA0, 0x00, 0x00}, {0x02}), 1);
    ReopenAfterGo();
    ASSERT_EQ(Exchange({0x17, 0x01}, {0x18}), 1);
    // One unanswered hello is a read that expires (the exchange's whole budget would take
    // 31 of them); the plain attempt shows it.
    PacketBuffer buffer(0);
    Bytes hello = Hello();
    buffer.BuildFrame(hello.data(), static_cast<uint32_t>(hello.size()), 0);
    const uint8_t expected[1] = {0x02};
    EXPECT_EQ(RunAttempt(buffer, expected, {}).result, AttemptResult::kTransportFailure);
    sim.Terminate();
    EXPECT_EQ(sim.Wait(5000), 0);
    EXPECT_NE(ReadWholeFile(Path("manifest.json")).find("\"reset\":false"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Path("port"))));
}
