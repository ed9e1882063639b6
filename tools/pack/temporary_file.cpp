#include "tools/pack/temporary_file.h"

#include <cstdio>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

fs::path TemporaryBeside(const fs::path& target) {
    static std::random_device seed;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".partial-%08x", static_cast<unsigned>(seed()));
    return folder / (target.filename().string() + suffix);
}

TemporaryFiles::~TemporaryFiles() {
    for (const auto& file : files_) {
        std::error_code ignored;
        fs::remove(file.first, ignored);
    }
}

fs::path TemporaryFiles::Add(const fs::path& target) {
    files_.emplace_back(TemporaryBeside(target), target);
    return files_.back().first;
}

void TemporaryFiles::PutInPlace() {
    while (!files_.empty()) {
        fs::rename(files_.front().first, files_.front().second);
        files_.erase(files_.begin());
    }
}
