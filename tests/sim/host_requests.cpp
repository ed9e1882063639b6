#include "tests/sim/host_requests.h"

#include <algorithm>
#include <string>

const Bytes kGo = {0x05, 0x00, 0xA0, 0x00, 0x00};

Bytes RamWrite(uint32_t address, const Bytes& data) {
    Bytes request = {0x0F, static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                     static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                     static_cast<uint8_t>(data.size() >> 8), static_cast<uint8_t>(data.size())};
    request.insert(request.end(), data.begin(), data.end());
    return request;
}

Bytes ProgrammerPacket(const Bytes& image, uint32_t index) {
    const size_t begin = static_cast<size_t>(index) * 4096;
    const size_t end = std::min(image.size(), begin + 4096);
    return RamWrite(0x00A00000 + index * 4096, Bytes(image.begin() + static_cast<long>(begin),
                                                      image.begin() + static_cast<long>(end)));
}

Bytes Hello() {
    Bytes request = {0x01};
    const std::string magic = "QCOM fast download protocol host";
    request.insert(request.end(), magic.begin(), magic.end());
    request.insert(request.end(), {0x03, 0x02, 0x01});
    return request;
}

Bytes StreamWrite(uint32_t address, const Bytes& data) {
    Bytes request = {0x07, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                     static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 24)};
    request.insert(request.end(), data.begin(), data.end());
    return request;
}

Bytes StreamAck(uint32_t address) {
    return {0x08, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16),
            static_cast<uint8_t>(address >> 24)};
}
