// package.json: what `extract` writes beside the images and `create --from` builds from.
//
//   {
//     "family_code": "C",
//     "identification_word": 47,
//     "check_byte": 14,
//     "images": [
//       {"slot": 1, "name": "partition.mbn", "size": 464, "sha256": "<64 lowercase hex digits>"},
//       ...
//     ]
//   }
//
// Fields in that order, images in slot order, one line each; text beyond ASCII escaped, the
// family code byte as the character U+00XX. The reader (nlohmann-json, the programs' one JSON
// library) takes only this shape (in any member order): no other fields, no fractions, signs
// or exponents, no duplicate members, and each image's name must be its slot's name in our
// own table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ImageRecord {
    uint32_t slot = 0;  // the name is the slot's, from kSlotFileNames
    uint32_t size = 0;
    std::string sha256;  // lowercase hex
};

struct PackageRecord {
    uint8_t familyCode = 0;
    uint32_t identificationWord = 0;
    uint8_t checkByte = 0;
    std::vector<ImageRecord> images;  // the present slots, in slot order
};

std::string PackageJsonText(const PackageRecord& record);

// False with a one-line problem when the text is not such a description ("line N: ..." when
// it is not JSON at all).
bool ParsePackageJson(const std::string& text, PackageRecord& record, std::string& problem);
