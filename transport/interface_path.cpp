#include "transport/interface_path.h"

#include <cctype>
#include <vector>

namespace {

std::vector<std::string> SplitAtHash(const std::string& path) {
    std::vector<std::string> pieces(1);
    for (char c : path) {
        if (c == '#')
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

}  // namespace

bool InterfacePathMatchesInstance(const std::string& path, const std::string& instanceId) {
    const std::vector<std::string> pieces = SplitAtHash(path);
    if (pieces.size() < 3) return false;
    return EqualIgnoringCase("USB\\" + pieces[1] + "\\" + pieces[2], instanceId);
}

std::string InterfacePathToOpen(const std::string& path) {
    if (!path.empty() && path[0] == '\\') return path;
    return "\\\\?\\" + path;
}
