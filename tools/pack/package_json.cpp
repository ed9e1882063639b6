#include "tools/pack/package_json.h"

#include <algorithm>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "package/image_slots.h"

namespace {

using Json = nlohmann::ordered_json;

struct JsonError {
    std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw JsonError{message}; }

// A family code is one byte, carried as the character U+00XX (escaped beyond ASCII).
std::string FamilyText(uint8_t byte) {
    const Json text = byte < 0x80 ? std::string(1, static_cast<char>(byte))
                                  : std::string{static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))};
    return text.dump(-1, ' ', true);
}

uint8_t FamilyByte(const std::string& text) {
    if (text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80) return static_cast<uint8_t>(text[0]);
    const auto lead = static_cast<unsigned char>(text.size() == 2 ? text[0] : 0);
    if (lead == 0xC2 || lead == 0xC3) return static_cast<uint8_t>(((lead & 0x03) << 6) | (text[1] & 0x3F));
    Fail("family_code must be one character, U+0000 to U+00FF");
}

// A whole number no larger than `largest`: no fraction, sign or exponent.
uint64_t Whole(const Json& value, const char* what, uint64_t largest) {
    if (!value.is_number_unsigned()) Fail(std::string(what) + " must be a whole number");
    const uint64_t number = value.get<uint64_t>();
    if (number > largest) Fail(std::string(what) + " above " + std::to_string(largest));
    return number;
}

std::string Text(const Json& value, const char* what) {
    if (!value.is_string()) Fail(std::string(what) + " must be a string");
    return value.get<std::string>();
}

bool IsDigest(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

ImageRecord ReadImage(const Json& item, std::size_t index) {
    const std::string where = "image " + std::to_string(index + 1) + ": ";
    if (!item.is_object()) Fail(where + "not an object");
    for (const auto& [member, value] : item.items())
        if (member != "slot" && member != "name" && member != "size" && member != "sha256")
            Fail(where + "unknown image field \"" + member + "\"");
    if (item.size() != 4) Fail(where + "an image needs slot, name, size and sha256");
    ImageRecord image;
    image.slot = static_cast<uint32_t>(Whole(item["slot"], "slot", kSlotCount - 1));
    image.size = static_cast<uint32_t>(Whole(item["size"], "size", 0xFFFFFFFFu));
    image.sha256 = Text(item["sha256"], "sha256");
    const std::string name = Text(item["name"], "name");
    if (name != kSlotFileNames[image.slot])
        Fail(where + "slot " + std::to_string(image.slot) + " is " + kSlotFileNames[image.slot] + ", not \"" + name + "\"");
    if (!IsDigest(image.sha256)) Fail(where + "sha256 must be 64 lowercase hexadecimal digits");
    return image;
}

// The document, refusing a member named twice in one object (the library keeps the last).
Json ParseRefusingTwice(const std::string& text) {
    std::vector<std::set<std::string>> open;
    std::string twice;
    const Json::parser_callback_t watch = [&](int, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start) open.emplace_back();
        else if (event == Json::parse_event_t::object_end && !open.empty()) open.pop_back();
        else if (event == Json::parse_event_t::key && !open.empty() && !open.back().insert(parsed.get<std::string>()).second &&
                 twice.empty())
            twice = parsed.get<std::string>();
        return true;
    };
    Json document;
    try {
        document = Json::parse(text, watch);
    } catch (const Json::parse_error& error) {
        const std::size_t upTo = std::min<std::size_t>(error.byte, text.size());
        const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(upTo ? upTo - 1 : 0), '\n');
        std::string reason = error.what();
        const std::size_t colon = reason.find(": ", reason.find("parse error"));
        Fail("line " + std::to_string(line) + ": " + (colon == std::string::npos ? reason : reason.substr(colon + 2)));
    }
    if (!twice.empty()) Fail("\"" + twice + "\" given twice");
    return document;
}

}  // namespace

std::string PackageJsonText(const PackageRecord& record) {
    // One line per image, as extract has always written it; each value written by the library.
    std::string text = "{\n  \"family_code\": " + FamilyText(record.familyCode) + ",\n" +
                       "  \"identification_word\": " + Json(record.identificationWord).dump() + ",\n" +
                       "  \"check_byte\": " + Json(record.checkByte).dump() + ",\n" + "  \"images\": [";
    for (std::size_t i = 0; i < record.images.size(); ++i) {
        const ImageRecord& image = record.images[i];
        Json line;
        line["slot"] = image.slot;
        line["name"] = kSlotFileNames[image.slot];
        line["size"] = image.size;
        line["sha256"] = image.sha256;
        std::string member = line.dump(-1, ' ', true);
        // {"slot":1,"name":...} spaced as {"slot": 1, "name": ...}
        std::string spaced;
        bool inString = false;
        for (std::size_t at = 0; at < member.size(); ++at) {
            const char c = member[at];
            spaced += c;
            if (c == '"' && (at == 0 || member[at - 1] != '\\')) inString = !inString;
            if (!inString && (c == ':' || c == ',')) spaced += ' ';
        }
        text += std::string(i == 0 ? "\n" : ",\n") + "    " + spaced;
    }
    text += record.images.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return text;
}

bool ParsePackageJson(const std::string& text, PackageRecord& record, std::string& problem) {
    try {
        const Json document = ParseRefusingTwice(text);
        if (!document.is_object()) Fail("not an object");
        for (const auto& [member, value] : document.items())
            if (member != "family_code" && member != "identification_word" && member != "check_byte" && member != "images")
                Fail("unknown field \"" + member + "\"");
        if (document.size() != 4) Fail("needs family_code, identification_word, check_byte and images");
        record.familyCode = FamilyByte(Text(document["family_code"], "family_code"));
        record.identificationWord = static_cast<uint32_t>(Whole(document["identification_word"], "identification_word", 0xFFFFFFFFu));
        record.checkByte = static_cast<uint8_t>(Whole(document["check_byte"], "check_byte", 0xFF));
        const Json& images = document["images"];
        if (!images.is_array()) Fail("images must be a list");
        record.images.clear();
        for (std::size_t i = 0; i < images.size(); ++i) {
            const ImageRecord image = ReadImage(images[i], i);
            if (!record.images.empty() && image.slot <= record.images.back().slot)
                Fail("images must be listed in slot order, each slot once");
            record.images.push_back(image);
        }
    } catch (const JsonError& error) {
        problem = error.message;
        return false;
    }
    return true;
}
