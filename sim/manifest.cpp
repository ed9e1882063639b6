#include "sim/manifest.h"

#include <cstdio>

namespace {
std::string Entry(uint64_t bytes, const std::string& sha256) {
    return "{\"bytes\":" + std::to_string(bytes) + ",\"sha256\":\"" + sha256 + "\"";
}
}  // namespace

std::string ManifestJson(const HandsetModel& handset, bool reset) {
    const Bytes& ram = handset.Ram();
    std::string json = "{\"programmer\":" + Entry(ram.size(), Sha256Hex(ram.data(), ram.size())) + "}";
    json += ",\"partition\":";
    if (const auto& table = handset.PartitionTable()) {
        json += Entry(table->size(), Sha256Hex(table->data(), table->size())) +
                ",\"override\":" + std::to_string(handset.PartitionOverride()) +
                ",\"accepted\":" + (handset.PartitionAcknowledged() ? "true" : "false") + "}";
    } else {
        json += "null";
    }
    json += ",\"images\":{";
    bool first = true;
    for (const auto& [name, image] : handset.Images()) {
        if (!first) json += ",";
        first = false;
        json += "\"" + name + "\":" + Entry(image.bytes, image.hash.HexDigest()) +
                ",\"closed\":" + (image.closed ? "true" : "false") + "}";
    }
    json += "},\"reset\":";
    json += reset ? "true" : "false";
    json += "}\n";
    return json;
}

bool WriteManifest(const std::string& path, const HandsetModel& handset, bool reset) {
    if (path.empty()) return true;
    std::string json = ManifestJson(handset, reset);
    std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (!file) return false;
    bool good = std::fwrite(json.data(), 1, json.size(), file) == json.size();
    good = std::fclose(file) == 0 && good;
    return good && std::rename(temporary.c_str(), path.c_str()) == 0;
}
