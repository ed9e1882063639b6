// veltrane-pack: building, listing, verifying and extracting packages, its refusals and exit statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <fstream>
#include <sstream>

#include "package/image_slots.h"
#include "package/package_header.h"
#include "package/package_marker.h"
#include "package/package_image.h"
#include "session/process_values.h"
#include "tests/package/package_builder.h"
#include "tests/support/temp_directory.h"
#include "tools/pack/pack_commands.h"
#include "tools/digest/sha256.h"

namespace fs = std::filesystem;

namespace {

struct ToolResult {
    int status;
    std::string out;
    std::string err;
};

ToolResult RunTool(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunPackTool(arguments, out, err);
    return {status, out.str(), err.str()};
}

std::size_t LineCount(const std::string& text) {
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

class PackToolTest : public ::testing::Test {
protected:
    // Writes the images of the given sizes into "images/"; a negative size leaves the slot's file out.
    void WriteImages(const std::vector<int>& sizes) {
        fs::create_directory("images");
        for (uint32_t slot = 0; slot < sizes.size(); ++slot) {
            if (sizes[slot] < 0) continue;
            images[slot] = PatternBytes(static_cast<std::size_t>(sizes[slot]), slot + 100);
            WriteWholeFile(fs::path("images") / kSlotFileNames[slot], images[slot]);
        }
    }

    ToolResult Create(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments = {"create", "--images", "images", "--family", "C", "--id", "47", "--out", "out.exe"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return RunTool(arguments);
    }
    ToolResult CreateWithId(const std::string& id) {
        return RunTool({"create", "--images", "images", "--family", "C", "--id", id, "--out", "out.exe"});
    }

    // Nothing but the inputs is left in the folder: no output, no temporary file.
    static void ExpectNoOutput() {
        for (const auto& entry : fs::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "images" || name == "in.exe") << "left behind: " << name;
        }
    }

    std::string Image(uint32_t slot) {
        currentImageIndex = slot;
        const auto buffer = OpenPackageImage(kStreamChunkSize, kSlotFileNames[slot]);
        return PayloadText(*buffer);
    }

    TempDirectory directory;
    std::string images[kSlotCount];
};

TEST_F(PackToolTest, CreateAppendsAPackageThatReadsBack) {
    WriteImages({30, 464, 0, 58, 40, -1, 40, 7, 40, 1000, 2000, -1});
    // An executable whose tail ends in a prefix of the marker.
    const std::string executable = "MZ" + std::string(1000, '\x7f') + MarkerBytes().substr(0, 3);
    WriteWholeFile("in.exe", executable);

    const ToolResult created = Create({"--exe", "in.exe"});
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.err, "");
    const std::string written = ReadWholeFile("out.exe");
    EXPECT_EQ(written.substr(0, executable.size()), executable);
    EXPECT_EQ(written.substr(executable.size(), kMarkerLength), MarkerBytes());

    HeaderBlock block;
    ASSERT_EQ(ReadPackageHeader("out.exe", block), HeaderRead::kRead);
    const PackageHeader header = DecodePackageHeader(block);
    EXPECT_EQ(header.checkByte, 14);
    EXPECT_EQ(header.familyCode, 'C');
    EXPECT_EQ(header.identificationWord, 47u);
    EXPECT_EQ(header.fixedHeaderLength, 16);
    EXPECT_EQ(header.totalHeaderLength, 172u);
    uint32_t offset = 172;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        const DirectoryEntry& entry = header.directory[slot];
        EXPECT_EQ(entry.id, slot + 1);
        EXPECT_EQ(entry.offset, offset) << "slot " << slot;
        EXPECT_EQ(entry.presence, slot == 5 || slot == 11 ? 0u : 1u) << "slot " << slot;
        EXPECT_EQ(entry.size, images[slot].size());
        offset += entry.size;
    }
    // The last image ends exactly at the end of the file.
    EXPECT_EQ(written.size(), executable.size() + kMarkerLength + offset);

    SetExecutableFileName("out.exe");
    DecodePackageDirectory(block);
    EXPECT_EQ(Image(kSlotPartition), images[kSlotPartition]);
    EXPECT_EQ(Image(kSlotFlashBin), images[kSlotFlashBin]);
    EXPECT_EQ(RunTool({"verify", "out.exe"}).status, 0);
}

TEST_F(PackToolTest, BarePackageStartsWithTheMarker) {
    WriteImages({10, 20});
    ASSERT_EQ(Create().status, 0);
    EXPECT_EQ(ReadWholeFile("out.exe").substr(0, kMarkerLength), MarkerBytes());
}

TEST_F(PackToolTest, ListShowsHeaderAndEverySlot) {
    WriteImages({3, 464, -1});
    ASSERT_EQ(Create().status, 0);
    const ToolResult listed = RunTool({"list", "out.exe"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("family code: C (0x43)"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("identification word: 47"), std::string::npos);
    EXPECT_NE(listed.out.find("check byte: 14"), std::string::npos);
    std::istringstream lines(listed.out);
    std::string line;
    bool sawPartition = false;
    bool sawAbsentQcsbl = false;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string slot, name, present, id, offset, size, digest;
        fields >> slot >> name >> present >> id >> offset >> size >> digest;
        if (name == "partition.mbn") {
            sawPartition = true;
            EXPECT_EQ(present + " " + id + " " + offset + " " + size, "yes 2 175 464");
            EXPECT_EQ(digest, Sha256Hex(images[1].data(), images[1].size()));
        }
        if (name == "qcsblhd_cfgdata.mbn") {
            sawAbsentQcsbl = true;
            EXPECT_EQ(present + " " + digest, "no -");
        }
    }
    EXPECT_TRUE(sawPartition && sawAbsentQcsbl) << listed.out;
    EXPECT_EQ(LineCount(listed.out), 6 + kSlotCount);
}

TEST_F(PackToolTest, RefusesAnExecutableThatAlreadyCarriesAPackage) {
    WriteImages({10, 20});
    WriteWholeFile("in.exe", "MZ" + MarkerBytes() + "old package");
    const ToolResult result = Create({"--exe", "in.exe"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("already carries a package (marker at offset 2)"), std::string::npos) << result.err;
    EXPECT_EQ(LineCount(result.err), 1u);
    ExpectNoOutput();
}

TEST_F(PackToolTest, FailedCreateKeepsTheEarlierOutput) {
    WriteImages({10, 20});
    WriteWholeFile("out.exe", "earlier output");
    EXPECT_EQ(Create({"--exe", "missing.exe"}).status, 1);
    EXPECT_EQ(ReadWholeFile("out.exe"), "earlier output");
}

TEST_F(PackToolTest, RefusesAPackageBeyondFourGibibytes) {
    WriteImages({10, 20});
    // Sparse files: the sizes count, no data is written.
    for (const char* name : {"amss.mbn", "FLASH.bin"}) {
        { std::ofstream(fs::path("images") / name, std::ios::binary); }
        fs::resize_file(fs::path("images") / name, 0x80000000ull);
    }
    const ToolResult result = Create();
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("4 GiB"), std::string::npos) << result.err;
    ExpectNoOutput();
}

TEST_F(PackToolTest, BadInputIsOneLineAndStatusOne) {
    EXPECT_EQ(Create().status, 1);  // no image folder
    fs::create_directory("images");
    const ToolResult empty = Create();
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("no slot file found"), std::string::npos);
    fs::create_directory(fs::path("images") / "amss.mbn");
    const ToolResult folder = Create();
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("is not a regular file"), std::string::npos) << folder.err;
    EXPECT_EQ(LineCount(folder.err), 1u);
    ExpectNoOutput();
}

TEST_F(PackToolTest, UsageErrorsAreStatusTwo) {
    const std::vector<std::vector<std::string>> misuses = {
        {},
        {"pack"},
        {"list"},
        {"verify", "a", "b"},
        {"create", "--images", "images", "--family", "C", "--id", "47"},
        {"create", "--images", "images", "--family", "CC", "--id", "47", "--out", "o"},
        {"create", "--images", "images", "--family", "C", "--id", "forty", "--out", "o"},
        {"create", "--images", "images", "--family", "C", "--id", "4294967296", "--out", "o"},
        {"create", "--images", "images", "--family", "C", "--id", "47", "--out"},
        {"create", "--images", "images", "--family", "C", "--id", "47", "--out", "o", "--colour", "red"},
        {"create", "--from", "x", "--id", "47", "--out", "o"},
        {"create", "--from", "x", "--images", "images", "--out", "o"},
        {"extract", "out.exe"},
        {"extract", "out.exe", "x", "--forse"},
    };
    for (const auto& arguments : misuses) {
        const ToolResult result = RunTool(arguments);
        EXPECT_EQ(result.status, 2) << (arguments.empty() ? "(nothing)" : arguments.back());
        EXPECT_EQ(result.err.rfind("veltrane-pack: ", 0), 0u);
    }
    EXPECT_EQ(RunTool({"--help"}).status, 0);
}

TEST_F(PackToolTest, IdIsDecimalUnlessItStartsWithHexPrefix) {
    WriteImages({10, 20});
    const std::vector<std::pair<std::string, uint32_t>> accepted = {
        {"047", 47}, {"08", 8}, {"0x2F", 0x2F}, {"0X2f", 0x2F}, {"4294967295", 0xFFFFFFFFu}, {"0xffffffff", 0xFFFFFFFFu}};
    for (const auto& [text, word] : accepted) {
        const ToolResult result = CreateWithId(text);
        ASSERT_EQ(result.status, 0) << text << ": " << result.err;
        HeaderBlock block;
        ASSERT_EQ(ReadPackageHeader("out.exe", block), HeaderRead::kRead);
        EXPECT_EQ(DecodePackageHeader(block).identificationWord, word) << text;
    }
    for (const std::string text : {"0x", "2F", "0x-1", "0x+1", " 47", "0x 2F", "47 ", "0x100000000", "1e3", "0b1"}) {
        EXPECT_EQ(CreateWithId(text).status, 2) << text;
    }
    EXPECT_NE(RunTool({"--help"}).out.find("0x"), std::string::npos);
}

TEST_F(PackToolTest, WarnsOfAnIdWhoseHighNibbleEndsTheAgentsLine) {
    WriteImages({10, 20});
    // Only the low byte travels to the agent; below 0x10 its high nibble is 0.
    const std::vector<std::pair<std::string, bool>> cases = {
        {"0x10F", true}, {"0", true}, {"15", true}, {"0x110", false}, {"16", false}, {"0xFFFFFF10", false}};
    for (const auto& [text, warns] : cases) {
        const ToolResult result = CreateWithId(text);
        EXPECT_EQ(result.status, 0) << text;
        EXPECT_EQ(result.err.rfind("veltrane-pack: warning: ", 0) == 0, warns) << text << ": " << result.err;
        EXPECT_EQ(result.err.find("cannot switch a handset from Windows Mobile") != std::string::npos, warns);
        EXPECT_TRUE(fs::exists("out.exe")) << text;
        fs::remove("out.exe");
    }
}

TEST_F(PackToolTest, VerifyNamesEveryUnsoundPart) {
    TestPackage package = TestPackage::WithSizes({10, 20, 30, 40});
    package.header.directory[1].offset = 0xFFFFFF00u;
    package.header.checkByte = 13;
    const std::string bytes = package.Bytes();
    WriteWholeFile("bent.exe", bytes.substr(0, bytes.size() - 1));  // also cuts slot 3
    const ToolResult result = RunTool({"verify", "bent.exe"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("check byte 13, expected 14"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("slot 1 partition.mbn (offset 4294967040, size 20): outside the file"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("slot 3 qcsbl.mbn"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("slot 2 "), std::string::npos) << result.out;
    EXPECT_EQ(LineCount(result.err), 1u);

    WriteWholeFile("whole.exe", TestPackage::WithSizes({10, 20, 30, 40}).Bytes());
    EXPECT_EQ(RunTool({"verify", "whole.exe"}).status, 0);
}

TEST_F(PackToolTest, FilesWithoutPackageAreBadInput) {
    WriteWholeFile("plain.exe", std::string(1000, '\x01'));
    for (const char* command : {"list", "verify"}) {
        const ToolResult result = RunTool({command, "plain.exe"});
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_NE(result.err.find("carries no package"), std::string::npos) << result.err;
        EXPECT_EQ(RunTool({command, "absent.exe"}).status, 1) << command;
    }
}

// Every file under the current folder with its content: what a refusal must leave as it was.
std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator("."))
        files[entry.path().generic_string()] = entry.is_regular_file() ? ReadWholeFile(entry.path()) : "(folder)";
    return files;
}

void Rewrite(const fs::path& path, const std::string& from, const std::string& to) {
    std::string text = ReadWholeFile(path);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    WriteWholeFile(path, text.replace(at, from.size(), to));
}

std::string In(const char* folder, const char* name) { return (fs::path(folder) / name).string(); }

// Each case starts from out.exe extracted into x/, spoils something, and must be refused
// with its one-line reason, writing nothing.
TEST_F(PackToolTest, ExtractAndCreateFromRefuseWritingNothing) {
    const std::vector<std::string> extract = {"extract", "out.exe", "y"};
    const std::vector<std::string> from = {"create", "--from", "x", "--out", "again.exe"};
    const std::string json = In("x", "package.json");
    const auto cut = [] {
        TestPackage package = TestPackage::WithSizes({10, 20, 30, 40});
        package.header.directory[1].offset = 0xFFFFFF00u;
        const std::string bytes = package.Bytes();
        WriteWholeFile("out.exe", bytes.substr(0, bytes.size() - 1));
    };
    struct Refusal {
        std::function<void()> spoil;
        std::vector<std::string> arguments;
        std::string reason;
    };
    const std::vector<Refusal> refusals = {
        {[] { fs::create_directory("y"); WriteWholeFile(In("y", "partition.mbn"), "old"); }, extract,
         In("y", "partition.mbn") + " already exists; --force overwrites it"},
        {[] { fs::create_directory("y"); WriteWholeFile(In("y", "package.json"), "{}"); }, extract,
         In("y", "package.json") + " already exists"},
        {[] { fs::create_directory("y"); WriteWholeFile(In("y", "FLASH.bin"), "old"); }, extract,
         In("y", "FLASH.bin") + " is an image this package lacks; --force removes it"},
        {[] { fs::create_directory("y"); fs::create_directory(In("y", "amss.mbn")); }, extract,
         In("y", "amss.mbn") + " is a folder"},
        {cut, extract, "out.exe is not sound: 2 problem(s)"},
        {[] { WriteWholeFile("out.exe", std::string(1000, '\x01')); }, extract, "out.exe carries no package"},
        {[&] { fs::remove(json); }, from, json + " not found"},
        {[&] { Rewrite(json, "14,", "14,,"); }, from, json + ": line 4: syntax error"},
        {[&] { Rewrite(json, "47", "047"); }, from, json + ": line 3: syntax error"},  // a leading zero is no JSON
        {[&] { Rewrite(json, "\"check_byte\"", "\"checkbyte\""); }, from, "unknown field \"checkbyte\""},
        {[&] { Rewrite(json, "\"slot\": 3,", "\"slot\": 3, \"slot\": 3,"); }, from, "\"slot\" given twice"},
        {[&] { Rewrite(json, "\"C\"", "\"CC\""); }, from, "family_code must be one character"},
        {[&] { Rewrite(json, "\"size\": 464, ", ""); }, from, ": image 2: an image needs slot, name, size and sha256"},
        {[&] { Rewrite(json, "\"partition.mbn\"", "\"qcsbl.mbn\""); }, from, "slot 1 is partition.mbn, not \"qcsbl.mbn\""},
        {[&] { Rewrite(json, "\"slot\": 3", "\"slot\": 1, \"x\": 1"); }, from, "unknown image field \"x\""},
        {[&] { Rewrite(json, "\"slot\": 3, \"name\": \"qcsbl.mbn\"", "\"slot\": 1, \"name\": \"partition.mbn\""); },
         from, "images must be listed in slot order, each slot once"},
        {[&] { Rewrite(json, "\"sha256\": \"", "\"sha256\": \"A"); }, from, "sha256 must be 64 lowercase"},
        {[&] { Rewrite(json, "\n}\n", "\n}\n}"); }, from, "expected end of input"},
        {[&] { Rewrite(json, "\"check_byte\": 14", "\"check_byte\": 13"); }, from, json + ": check byte 13; packages are built with 14"},
        {[] { WriteWholeFile(In("x", "partition.mbn"), std::string(465, 'p')); }, from,
         In("x", "partition.mbn") + " has 465 bytes; " + In("x", "package.json") + " gives 464"},
        {[] { WriteWholeFile(In("x", "partition.mbn"), std::string(464, 'p')); }, from,
         In("x", "partition.mbn") + " differs from its SHA-256 in " + In("x", "package.json")},
        {[] { fs::remove(In("x", "qcsbl.mbn")); }, from, In("x", "qcsbl.mbn") + " is missing; it is listed in"},
        {[] { WriteWholeFile(In("x", "FLASH.bin"), "new"); }, from, In("x", "FLASH.bin") + " is not listed in"},
    };
    for (const Refusal& refusal : refusals) {
        TempDirectory caseDirectory;
        WriteImages({30, 464, -1, 58});
        ASSERT_EQ(Create().status, 0);
        ASSERT_EQ(RunTool({"extract", "out.exe", "x"}).status, 0);
        refusal.spoil();
        const auto before = Snapshot();
        const ToolResult result = RunTool(refusal.arguments);
        EXPECT_EQ(result.status, 1) << refusal.reason;
        EXPECT_NE(result.err.find(refusal.reason), std::string::npos) << result.err;
        EXPECT_EQ(LineCount(result.err), 1u) << result.err;
        EXPECT_EQ(Snapshot(), before) << refusal.reason;
    }

    // A package that points outside its file is refused with verify's words, and with list's
    // when there is no package at all.
    cut();
    const ToolResult verify = RunTool({"verify", "out.exe"});
    EXPECT_NE(verify.out.find("outside the file"), std::string::npos);
    EXPECT_EQ(RunTool(extract).out, verify.out);
    WriteWholeFile("plain.exe", "MZ");
    EXPECT_EQ(RunTool({"extract", "plain.exe", "y"}).err, RunTool({"list", "plain.exe"}).err);
}

TEST_F(PackToolTest, ExtractForceOverwritesAndRemovesImagesThePackageLacks) {
    WriteImages({30, 464, -1, 58});
    ASSERT_EQ(Create().status, 0);
    fs::create_directory("x");
    for (const char* name : {"partition.mbn", "FLASH.bin", "package.json"}) WriteWholeFile(In("x", name), "old");
    const ToolResult result = RunTool({"extract", "out.exe", "x", "--force"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator("x")) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"NPRG7200A.hex", "partition.mbn", "qcsbl.mbn", "package.json"}));
    EXPECT_EQ(ReadWholeFile(In("x", "partition.mbn")), images[kSlotPartition]);
    EXPECT_NE(ReadWholeFile(In("x", "package.json")), "old");
}

// Whatever built it: ids of its own, a presence byte of 2 for an absent slot, two entries
// sharing their bytes, and a check byte the program refuses (a warning, not a refusal).
TEST_F(PackToolTest, ExtractTakesAPackageLaidOutByAnotherBuilder) {
    TestPackage package = TestPackage::WithSizes({10, 20, 30});
    package.header.checkByte = 13;
    for (DirectoryEntry& entry : package.header.directory) entry.id = 0xEE;
    package.header.directory[5] = package.header.directory[1];
    package.header.directory[6].presence = 2;
    WriteWholeFile("other.exe", package.Bytes());
    const ToolResult result = RunTool({"extract", "other.exe", "x"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "veltrane-pack: warning: check byte 13, expected 14: the program refuses the package\n");
    EXPECT_EQ(ReadWholeFile(In("x", "oemsbl.mbn")), *package.images[1]);
    EXPECT_EQ(ReadWholeFile(In("x", "qcsblhd_cfgdata.mbn")), *package.images[2]);
    EXPECT_FALSE(fs::exists(In("x", "appsboothd.mbn")));
    EXPECT_NE(ReadWholeFile(In("x", "package.json")).find("\"check_byte\": 13"), std::string::npos);
}

}  // namespace
