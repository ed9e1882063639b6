#include "tests/streaming/streaming_fixture.h"

#include "package/package_header.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/trace_log.h"
#include "transport/port_io.h"

void StreamingFixture::SetUp() {
    session.window = &window;
    currentSession = &session;
    mainWindow = &window;
    accessMode = kAccessNormal;
    Environment = 0;
    runSettings.partitionOverride = 0;
    ApplyDefaultRunSettings();
    LongTransferWait = 0;
    InstallPackage(SmallPackage());
    Trace().Open();
}

void StreamingFixture::TearDown() {
    Trace().Close();
    currentSession = nullptr;
    mainWindow = nullptr;
    accessMode = kAccessLocked;
    Environment = 0;
}

TestPackage StreamingFixture::SmallPackage() {
    // Partition 464 and 40-byte headers as shipped; bodies small, FLASH.bin two chunks and a byte.
    return TestPackage::WithSizes({309, 464, 2708, 5834, 40, 1986, 40, 5406, 40, 19689, 2 * 798720 + 1, 655});
}

void StreamingFixture::InstallPackage(TestPackage package) {
    package.LayOut();
    InstallProgramFile(package.Bytes());
    DecodePackageDirectory(EncodePackageHeader(package.header));
}

std::vector<std::vector<uint8_t>> StreamingFixture::SentContents() const {
    std::vector<std::vector<uint8_t>> contents;
    for (const std::vector<uint8_t>& frame : port.Frames()) {
        if (frame.empty()) continue;
        // Undo the framing: drop the flags, unescape, drop the CRC.
        std::vector<uint8_t> body;
        for (size_t i = 1; i + 1 < frame.size(); ++i) {
            if (frame[i] == 0x7D && i + 2 < frame.size()) body.push_back(frame[++i] ^ 0x20);
            else body.push_back(frame[i]);
        }
        if (body.size() >= 2) body.resize(body.size() - 2);
        contents.push_back(body);
    }
    return contents;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int value : values) bytes.push_back(static_cast<uint8_t>(value));
    return bytes;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> head, const std::string& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
