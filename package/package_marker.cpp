#include "package/package_marker.h"

#include <cstring>

namespace {
// Read through a volatile at every build of the marker, so the optimiser cannot fold the
// marker into a constant that would land in the program image.
volatile uint8_t markerStep = 1;
}  // namespace

Marker PackageMarker() {
    Marker marker{};
    for (std::size_t pair = 0; pair < kMarkerLength / 2; ++pair) {
        const auto value = static_cast<uint8_t>(markerStep * (pair + 1));
        marker[2 * pair] = value;
        marker[2 * pair + 1] = static_cast<uint8_t>(value << 4);
    }
    return marker;
}

MarkerMatcher::MarkerMatcher() : marker_(PackageMarker()) {}

std::size_t MarkerMatcher::Feed(const uint8_t* data, std::size_t length) {
    std::size_t i = 0;
    while (i < length) {
        if (matched_ == 0) {
            // Most of an executable holds no marker byte at all: skip to the next candidate.
            const void* hit = std::memchr(data + i, marker_[0], length - i);
            if (!hit) return kNotFound;
            i = static_cast<std::size_t>(static_cast<const uint8_t*>(hit) - data) + 1;
            matched_ = 1;
            continue;
        }
        if (data[i] == marker_[matched_]) {
            ++i;
            if (++matched_ == kMarkerLength) {
                matched_ = 0;
                return i;
            }
        } else {
            matched_ = 0;  // data[i] is looked at again as a possible first byte
        }
    }
    return kNotFound;
}
