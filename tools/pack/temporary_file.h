// Files written under a name of their own beside the target and renamed into place when
// whole, so that an interrupted write never leaves a half file under the target's name.
#pragma once

#include <filesystem>
#include <vector>

// A fresh name in the target's folder (the same file system, so the rename is one step).
std::filesystem::path TemporaryBeside(const std::filesystem::path& target);

// Removes the temporary files it holds when it goes, unless they were put in place.
class TemporaryFiles {
public:
    TemporaryFiles() = default;
    ~TemporaryFiles();
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;

    // A new temporary name for the target, removed later unless PutInPlace moved it.
    std::filesystem::path Add(const std::filesystem::path& target);
    // Renames every temporary file onto its target, in the order they were added; throws
    // std::filesystem::filesystem_error when one cannot be (the rest are then removed).
    void PutInPlace();

private:
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> files_;  // temporary, target
};
