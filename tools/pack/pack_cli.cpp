#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "tools/pack/pack_commands.h"
#include "veltrane_version.h"

namespace {
constexpr const char* kUsage =
    "usage: veltrane-pack create --images DIR --family C --id N [--exe IN.exe] --out OUT\n"
    "       veltrane-pack create --from DIR [--exe IN.exe] --out OUT\n"
    "       veltrane-pack list FILE\n"
    "       veltrane-pack verify FILE\n"
    "       veltrane-pack extract FILE DIR [--force]\n"
    "       veltrane-pack --version\n"
    "--id is decimal (a leading 0 changes nothing), or hexadecimal after 0x: 47 or 0x2F\n";

// What --help adds to the usage lines.
constexpr const char* kCommands =
    "\n"
    "Builds, lists, verifies and extracts the firmware package that Veltrane.exe and\n"
    "veltrane-flash carry appended to their program file.\n"
    "  create           append a package of the images in DIR (from a folder of image files\n"
    "                   with --family and --id, or from one that extract wrote, which holds\n"
    "                   package.json) to IN.exe, or to nothing, and write it to OUT\n"
    "  list             the package's header and every image slot\n"
    "  verify           check every part of the package; the exit status is 0 only when\n"
    "                   all of it is sound\n"
    "  extract          write the images and package.json into DIR (--force: over what is\n"
    "                   there)\n"
    "  --version        print the program's version and end\n";

int UsageError(std::ostream& err, const std::string& message) {
    err << "veltrane-pack: " << message << "\n" << kUsage;
    return kExitUsage;
}

// Decimal digits, or hexadecimal ones after 0x / 0X; nothing else (no sign, no blanks).
bool ParseWord(const std::string& text, uint32_t& value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const auto isDigit = [hex](unsigned char c) { return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0; };
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit)) return false;
    errno = 0;
    const unsigned long long parsed = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno != 0 || parsed > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

// The agent gets the low byte's nibbles as raw characters of its command line; a high
// nibble of 0 is a terminator there, so the line ends before the agent can switch.
void WarnIfAgentCannotSwitch(uint32_t identificationWord, std::ostream& err) {
    const unsigned lowByte = identificationWord & 0xFFu;
    if (lowByte >= 0x10) return;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", lowByte);
    err << "veltrane-pack: warning: the identification word's low byte " << hex
        << " is below 0x10; its high nibble 0 ends the agent's command line early, so this package "
           "cannot switch a handset from Windows Mobile into download mode\n";
}

int RunCreate(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    CreateOptions options;
    bool haveFamily = false;
    bool haveId = false;
    bool fromDescription = false;
    for (std::size_t i = 1; i < arguments.size(); i += 2) {
        const std::string& option = arguments[i];
        if (i + 1 >= arguments.size()) return UsageError(err, option + " needs a value");
        const std::string& value = arguments[i + 1];
        if (option == "--images" || option == "--from") {
            if (!options.imagesFolder.empty()) return UsageError(err, "create takes --images or --from, once");
            options.imagesFolder = value;
            fromDescription = option == "--from";
        } else if (option == "--family") {
            if (value.size() != 1) return UsageError(err, "--family takes one character, e.g. C");
            options.familyCode = static_cast<uint8_t>(value[0]);
            haveFamily = true;
        } else if (option == "--id") {
            if (!ParseWord(value, options.identificationWord))
                return UsageError(err, "--id takes a number from 0 to 4294967295 (decimal, or hexadecimal after 0x)");
            haveId = true;
        } else if (option == "--exe") {
            options.executable = value;
        } else if (option == "--out") {
            options.output = value;
        } else {
            return UsageError(err, "unknown option " + option);
        }
    }
    if (options.imagesFolder.empty()) return UsageError(err, "create needs --images or --from");
    if (fromDescription && (haveFamily || haveId))
        return UsageError(err, "--from takes the family code and id from package.json: no --family or --id");
    if (!fromDescription && !haveFamily) return UsageError(err, "create needs --family");
    if (!fromDescription && !haveId) return UsageError(err, "create needs --id");
    if (options.output.empty()) return UsageError(err, "create needs --out");
    if (fromDescription) {
        if (const int status = TakeFolderDescription(options, err); status != kExitDone) return status;
    }
    const int status = CreatePackage(options, out, err);
    if (status == kExitDone) WarnIfAgentCannotSwitch(options.identificationWord, err);
    return status;
}

int RunExtract(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    bool force = false;
    std::vector<std::string> names;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--force") force = true;
        else if (arguments[i].rfind("--", 0) == 0) return UsageError(err, "unknown option " + arguments[i]);
        else names.push_back(arguments[i]);
    }
    if (names.size() != 2) return UsageError(err, "extract takes a file and a folder");
    return ExtractPackage(names[0], names[1], force, out, err);
}
}  // namespace

int RunPackTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) return UsageError(err, "no command given");
    const std::string& command = arguments[0];
    if (command == "create") return RunCreate(arguments, out, err);
    if (command == "extract") return RunExtract(arguments, out, err);
    if (command == "list" || command == "verify") {
        if (arguments.size() != 2) return UsageError(err, command + " takes one file");
        return command == "list" ? ListPackage(arguments[1], out, err) : VerifyPackage(arguments[1], out, err);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage << kCommands;
        return kExitDone;
    }
    if (command == "--version") {
        out << "veltrane-pack " VELTRANE_VERSION "\n";
        return kExitDone;
    }
    return UsageError(err, "unknown command " + command);
}
