// The sixteen-byte marker in front of the firmware package, and the scan that finds it.
//
// The program never holds the marker as one contiguous byte sequence in its code or data:
// the package is found at the first occurrence of the marker in the program file, so a
// copy inside the program would be taken for the package. PackageMarker() builds it at
// run time, and every built program is checked for the sequence after linking.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::size_t kMarkerLength = 16;
using Marker = std::array<uint8_t, kMarkerLength>;

// Built on each call from its rule (byte pair n holds n and n * 16, n = 1..8).
Marker PackageMarker();

// Finds the first occurrence of the marker in a byte stream fed in pieces. A partial match
// that breaks does not hide a marker starting at the breaking byte: since no two marker
// bytes are equal, that byte can only begin a new match, so it is compared with the
// marker's first byte again.
class MarkerMatcher {
public:
    static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

    MarkerMatcher();

    // Scans the next piece of the stream. Returns the index within this piece of the byte
    // just after the marker, or kNotFound (the match state carries over to the next piece).
    std::size_t Feed(const uint8_t* data, std::size_t length);

    std::size_t Matched() const { return matched_; }

private:
    Marker marker_;
    std::size_t matched_ = 0;
};
