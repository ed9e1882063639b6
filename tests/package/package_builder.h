// Builds program files with packages for the tests: an executable part, the marker, the
// header block and the images, with a directory that tests may then bend out of shape.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/package_header.h"
#include "protocol/packet_buffer.h"

// The shipped image sizes by slot.
extern const uint32_t kShippedSizes[kSlotCount];

// The marker as a byte string (built at run time, like the program does).
std::string MarkerBytes();

// Deterministic bytes that differ from slot to slot and from position to position.
std::string PatternBytes(std::size_t size, uint32_t seed);

struct TestPackage {
    std::string executable = std::string(4096, '\0');  // what precedes the marker
    PackageHeader header;
    std::vector<std::optional<std::string>> images = std::vector<std::optional<std::string>>(kSlotCount);

    // Twelve present images of the given sizes, family 'C', id 47.
    static TestPackage WithSizes(const std::vector<uint32_t>& sizes);

    // Lays the present images out back to back from offset 172 in slot order, as a
    // package builder does; absent slots get presence 0 and size 0.
    void LayOut();
    // Executable + marker + header block + images (LayOut is not called here, so a
    // test can alter the directory after laying it out).
    std::string Bytes() const;
};

// Writes the bytes as the program file in the current directory and names it process-wide.
void InstallProgramFile(const std::string& bytes, const char* name = "Veltrane.exe");

// A loaded payload as its frames carry it: every chunk in turn, read from its source where
// it is not held in memory. Stops short at the first chunk that cannot be had.
std::string PayloadText(PacketBuffer& buffer);
