#include "tools/pack/package_json.h"

#include <cstdio>
#include <functional>
#include <set>

#include "package/image_slots.h"

namespace {
// A family code is one byte; bytes that are not plain printable ASCII travel as \u00XX.
std::string Quoted(uint8_t byte) {
    char text[16];
    if (byte == '"' || byte == '\\')
        std::snprintf(text, sizeof text, "\"\\%c\"", byte);
    else if (byte >= 0x20 && byte < 0x7f)
        std::snprintf(text, sizeof text, "\"%c\"", byte);
    else
        std::snprintf(text, sizeof text, "\"\\u%04x\"", byte);
    return text;
}

struct JsonError {
    std::string message;
};

// Reads our one shape of JSON token by token; every failure names the line it is on.
class Cursor {
public:
    explicit Cursor(const std::string& text) : text_(text) {}

    [[noreturn]] void Fail(const std::string& message) const {
        throw JsonError{"line " + std::to_string(line_) + ": " + message};
    }

    bool Take(char c) {
        SkipBlanks();
        if (position_ < text_.size() && text_[position_] == c) {
            ++position_;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c)) Fail(std::string("expected '") + c + "'");
    }
    void End() {
        SkipBlanks();
        if (position_ != text_.size()) Fail("text after the closing brace");
    }

    // Plain characters, \" \\ and \u00XX only: the writer produces nothing else.
    std::string String() {
        Expect('"');
        std::string value;
        while (position_ < text_.size() && text_[position_] != '"') {
            const unsigned char c = static_cast<unsigned char>(text_[position_++]);
            if (c < 0x20) Fail("control character in a string");
            if (c != '\\') {
                value += static_cast<char>(c);
                continue;
            }
            const char escaped = Next();
            if (escaped == '"' || escaped == '\\') {
                value += escaped;
            } else if (escaped == 'u') {
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) code = code * 16 + HexDigit(Next());
                if (code > 0xFF) Fail("\\u escape above 00ff");
                value += static_cast<char>(code);
            } else {
                Fail("unknown escape in a string");
            }
        }
        if (position_ == text_.size()) Fail("string not closed");
        ++position_;
        return value;
    }

    uint64_t Number(uint64_t largest) {
        SkipBlanks();
        const std::size_t start = position_;
        uint64_t value = 0;
        while (position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9') {
            value = value * 10 + static_cast<uint64_t>(text_[position_++] - '0');
            if (value > largest) Fail("number above " + std::to_string(largest));
        }
        if (position_ == start) Fail("expected a whole number");
        if (text_[start] == '0' && position_ - start > 1) Fail("number with a leading zero");
        return value;
    }

    // Walks an object's members, refusing a member named twice; each call reads one value.
    void Object(const std::function<void(const std::string& name)>& member) {
        Expect('{');
        std::set<std::string> seen;
        if (Take('}')) return;
        do {
            const std::string name = String();
            if (!seen.insert(name).second) Fail("\"" + name + "\" given twice");
            Expect(':');
            member(name);
        } while (Take(','));
        Expect('}');
    }

    void Array(const std::function<void()>& item) {
        Expect('[');
        if (Take(']')) return;
        do item();
        while (Take(','));
        Expect(']');
    }

private:
    void SkipBlanks() {
        while (position_ < text_.size()) {
            const char c = text_[position_];
            if (c == '\n') ++line_;
            else if (c != ' ' && c != '\t' && c != '\r') return;
            ++position_;
        }
    }
    char Next() {
        if (position_ == text_.size()) Fail("string not closed");
        return text_[position_++];
    }
    unsigned HexDigit(char c) const {
        if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
        Fail("bad \\u escape");
    }

    const std::string& text_;
    std::size_t position_ = 0;
    int line_ = 1;
};

bool IsDigest(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

ImageRecord ReadImage(Cursor& cursor) {
    ImageRecord image;
    std::string name;
    std::set<std::string> given;
    cursor.Object([&](const std::string& member) {
        given.insert(member);
        if (member == "slot") image.slot = static_cast<uint32_t>(cursor.Number(kSlotCount - 1));
        else if (member == "name") name = cursor.String();
        else if (member == "size") image.size = static_cast<uint32_t>(cursor.Number(0xFFFFFFFFu));
        else if (member == "sha256") image.sha256 = cursor.String();
        else cursor.Fail("unknown image field \"" + member + "\"");
    });
    if (given.size() != 4) cursor.Fail("an image needs slot, name, size and sha256");
    if (name != kSlotFileNames[image.slot])
        cursor.Fail("slot " + std::to_string(image.slot) + " is " + kSlotFileNames[image.slot] + ", not \"" + name + "\"");
    if (!IsDigest(image.sha256)) cursor.Fail("sha256 must be 64 lowercase hexadecimal digits");
    return image;
}
}  // namespace

std::string PackageJsonText(const PackageRecord& record) {
    std::string text = "{\n  \"family_code\": " + Quoted(record.familyCode) + ",\n" +
                       "  \"identification_word\": " + std::to_string(record.identificationWord) + ",\n" +
                       "  \"check_byte\": " + std::to_string(record.checkByte) + ",\n" + "  \"images\": [";
    for (std::size_t i = 0; i < record.images.size(); ++i) {
        const ImageRecord& image = record.images[i];
        text += std::string(i == 0 ? "\n" : ",\n") + "    {\"slot\": " + std::to_string(image.slot) + ", \"name\": \"" +
                kSlotFileNames[image.slot] + "\", \"size\": " + std::to_string(image.size) + ", \"sha256\": \"" +
                image.sha256 + "\"}";
    }
    text += record.images.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return text;
}

bool ParsePackageJson(const std::string& text, PackageRecord& record, std::string& problem) {
    Cursor cursor(text);
    try {
        std::set<std::string> given;
        cursor.Object([&](const std::string& member) {
            given.insert(member);
            if (member == "family_code") {
                const std::string family = cursor.String();
                if (family.size() != 1) cursor.Fail("family_code must be one character");
                record.familyCode = static_cast<uint8_t>(family[0]);
            } else if (member == "identification_word") {
                record.identificationWord = static_cast<uint32_t>(cursor.Number(0xFFFFFFFFu));
            } else if (member == "check_byte") {
                record.checkByte = static_cast<uint8_t>(cursor.Number(0xFF));
            } else if (member == "images") {
                record.images.clear();
                cursor.Array([&] {
                    const ImageRecord image = ReadImage(cursor);
                    if (!record.images.empty() && image.slot <= record.images.back().slot)
                        cursor.Fail("images must be listed in slot order, each slot once");
                    record.images.push_back(image);
                });
            } else {
                cursor.Fail("unknown field \"" + member + "\"");
            }
        });
        cursor.End();
        if (given.size() != 4) cursor.Fail("needs family_code, identification_word, check_byte and images");
    } catch (const JsonError& error) {
        problem = error.message;
        return false;
    }
    return true;
}
