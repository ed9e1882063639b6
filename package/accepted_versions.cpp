#include "package/accepted_versions.h"

AcceptedVersionList acceptedVersions;

namespace {
struct FamilyVersions {
    uint8_t familyCode;
    uint32_t count;
    std::array<uint8_t, kMaxAcceptedVersions> versions;
};

// Family '4' accepts handset version '6', not '4'.
const FamilyVersions kFamilies[] = {
    {'A', 2, {'A', 'B'}},
    {'C', 8, {'C', 'F', 'G', 'K', 'J', 'L', 'M', 'N'}},
    {'2', 1, {'2'}},
    {'3', 1, {'3'}},
    {'4', 1, {'6'}},
    {'5', 6, {'7', '9', '?', '8', ':', ';'}},
    {'Q', 3, {'R', 'S', 'T'}},
};
}  // namespace

bool FillAcceptedVersions(uint8_t familyCode) {
    for (const FamilyVersions& family : kFamilies) {
        if (family.familyCode != familyCode) continue;
        acceptedVersions.versions = family.versions;
        acceptedVersions.count = family.count;
        acceptedVersions.first = 0;
        acceptedVersions.last = family.count - 1;
        return true;
    }
    return false;
}

bool VersionAccepted(const AcceptedVersionList& list, uint8_t version) {
    for (uint32_t index = list.first; index <= list.last && index < list.count; ++index) {
        if (list.versions[index] == version) return true;
    }
    return false;
}
