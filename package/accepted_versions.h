// The handset versions that the package's image family accepts: an ordered list of version
// bytes and the index range first..last (inclusive) of the entries to consult. The Next
// check fills it from the header's family code; the handset switch reads it. Both run on
// the window thread.
#pragma once

#include <array>
#include <cstdint>

constexpr uint32_t kMaxAcceptedVersions = 8;

struct AcceptedVersionList {
    std::array<uint8_t, kMaxAcceptedVersions> versions{};
    uint32_t count = 0;  // entries held; 0 until a known family code was read
    uint32_t first = 0;
    uint32_t last = 0;
};

// Process-wide; empty with range 0..0 at start.
extern AcceptedVersionList acceptedVersions;

// Fills the process-wide list and range for the family code (first 0, last count - 1).
// A code outside the table leaves list and range as they were and returns false.
bool FillAcceptedVersions(uint8_t familyCode);

// Whether the version byte is among the entries first..last. Indexes at or past the
// list's count are never consulted, so an empty list accepts nothing.
bool VersionAccepted(const AcceptedVersionList& list, uint8_t version);
