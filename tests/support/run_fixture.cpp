#include "tests/support/run_fixture.h"

#include <fstream>
#include <sstream>

#include "session/message_box.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_driver.h"

void RunFixture::SetUp() {
    session.window = &window;
    currentSession = &session;
    mainWindow = &window;
    Environment = 0;
    accessMode = kAccessNormal;
    initialMode = 0;
    imageIdentificationWord = 47;
    currentImageIndex = 0;
    SetMessageBoxHandler([this](const char* text, const char* caption, void*) {
        std::string entry = std::string(caption ? caption : "(title)") + "|" + Escaped(text);
        boxes.push_back(entry);
        std::ofstream("boxes.txt", std::ios::app) << entry << '\n';
    });
    steps.Install();
}

void RunFixture::TearDown() {
    SetMessageBoxHandler(nullptr);
    InstallStepOperations(StepOperations{});
    currentSession = nullptr;
    mainWindow = nullptr;
    accessMode = kAccessLocked;
}

void RunFixture::UseSettings(const std::string& aIni) {
    WriteWholeFile("a.ini", aIni);
    ReadRunSettings();
}

void RunFixture::RunWorker() {
    RunSession();
}

std::vector<std::string> RunFixture::BoxesFromFile() {
    std::vector<std::string> lines;
    std::ifstream file("boxes.txt");
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

std::string Golden(const std::string& relative) {
    std::string path = std::string(VELTRANE_TESTS_DIR) + "/" + relative;
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.good()) << "missing golden file " << path;
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string RunFixture::Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\n') escaped += "\\n";
        else if (c == '\r') escaped += "\\r";
        else escaped += c;
    }
    return escaped;
}
