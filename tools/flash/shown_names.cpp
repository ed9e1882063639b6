#include "tools/flash/shown_names.h"

#include <algorithm>
#include <cctype>

namespace {

// "usb#vid_05c6&pid_3197#5&abc&0&2#{25dbce51-...}" -> "5&abc&0&2"; anything else as it is.
std::string InstancePart(const std::string& name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t first = lower.find('#');
    const std::size_t last = lower.rfind("#{");
    if (lower.rfind("usb#vid_", 0) != 0 || first == std::string::npos || last == std::string::npos) return name;
    const std::size_t instance = lower.find('#', first + 1);
    if (instance == std::string::npos || instance >= last) return name;
    return name.substr(instance + 1, last - instance - 1);
}

std::size_t CommonHead(const std::vector<std::string>& names) {
    std::size_t length = names[0].size();
    for (const std::string& name : names) {
        std::size_t same = 0;
        while (same < length && same < name.size() && name[same] == names[0][same]) ++same;
        length = same;
    }
    return length;
}

std::size_t CommonTail(const std::vector<std::string>& names, std::size_t head) {
    std::size_t length = names[0].size() - head;
    for (const std::string& name : names) {
        std::size_t same = 0;
        while (same < length && same < name.size() - head &&
               name[name.size() - 1 - same] == names[0][names[0].size() - 1 - same])
            ++same;
        length = same;
    }
    return length;
}

}  // namespace

std::vector<std::string> ShownNames(const std::vector<std::string>& names) {
    std::vector<std::string> shown;
    for (const std::string& name : names) shown.push_back(InstancePart(name));
    if (shown.size() < 2) return shown;
    const std::size_t head = CommonHead(shown);
    const std::size_t tail = CommonTail(shown, head);
    // Only a part that is long enough to matter goes (a shared "ttyUSB" stays), and never all of a name.
    constexpr std::size_t kWorthCutting = 8;
    const std::size_t cutHead = head >= kWorthCutting ? head : 0;
    const std::size_t cutTail = tail >= kWorthCutting ? tail : 0;
    if (cutHead == 0 && cutTail == 0) return shown;
    for (const std::string& name : shown)
        if (name.size() <= cutHead + cutTail) return shown;
    for (std::string& name : shown) name = name.substr(cutHead, name.size() - cutHead - cutTail);
    return shown;
}

std::string FitName(const std::string& name, std::size_t width) {
    if (name.size() <= width) return name;
    if (width <= 2) return name.substr(name.size() - width);
    return ".." + name.substr(name.size() - (width - 2));
}
