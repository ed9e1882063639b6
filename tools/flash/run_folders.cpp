#include "tools/flash/run_folders.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "session/trace_log.h"

namespace fs = std::filesystem;

// Paths are UTF-8 text inside the program. A std::string given to std::filesystem is read
// in the C locale on Windows (while path::string() gives UTF-8), so text goes through char8_t.
fs::path PathOfText(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string TextOfPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

namespace {

std::string LastComponent(const std::string& port) {
    std::string trimmed = port;
    while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
    size_t slash = trimmed.find_last_of("/\\");
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

// Letters, digits and a few marks that every file system takes; the rest (':' of a Windows
// device, '?', '*', control bytes) become '_'. "." and ".." would name no folder of its own.
std::string FolderName(const std::string& port) {
    std::string name = LastComponent(port);
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (!std::isalnum(byte) && std::string("._-#&{}+=").find(c) == std::string::npos) c = '_';
    }
    if (name.empty() || name == "." || name == "..") name = "handset";
    return name;
}

std::string Folded(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string PortIdentity(const std::string& port) {
#ifdef _WIN32
    // Windows names are case-blind and take either slash.
    std::string identity = Folded(port);
    std::replace(identity.begin(), identity.end(), '/', '\\');
    return identity;
#else
    std::error_code failure;
    fs::path resolved = fs::canonical(port, failure);
    return failure ? fs::absolute(port, failure).lexically_normal().string() : resolved.string();
#endif
}

}  // namespace

std::vector<std::string> RunFolderNames(const std::vector<std::string>& ports) {
    std::vector<std::string> names;
    std::set<std::string> taken;  // folded: a case-blind file system holds one of AB and ab
    for (const std::string& port : ports) {
        const std::string base = FolderName(port);
        std::string name = base;
        for (int suffix = 2; taken.count(Folded(name)); ++suffix) name = base + "-" + std::to_string(suffix);
        taken.insert(Folded(name));
        names.push_back(name);
    }
    return names;
}

std::string PortNamedTwice(const std::vector<std::string>& ports) {
    std::set<std::string> seen;
    for (const std::string& port : ports)
        if (!seen.insert(PortIdentity(port)).second) return port;
    return {};
}

std::string PrepareRunFolder(const std::string& runs, const std::string& name, std::string& error) {
    std::error_code failure;
    const fs::path folder = fs::absolute(PathOfText(runs) / PathOfText(name), failure);
    if (!failure) fs::create_directories(folder, failure);
    if (!failure) fs::remove(folder / kTraceFileName, failure);
    if (failure) {
        error = "can't prepare " + TextOfPath(PathOfText(runs) / PathOfText(name)) + ": " + failure.message();
        return {};
    }
    return TextOfPath(folder);
}

std::string ReadWholeText(const std::string& path) {
    std::ifstream file(PathOfText(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string AbsolutePath(const std::string& path) {
    std::error_code failure;
    fs::path absolute = fs::absolute(PathOfText(path), failure);
    return failure ? path : TextOfPath(absolute);
}
