// The commands of veltrane-pack. Each writes its report to `out`, one-line errors to `err`,
// and returns the exit status: 0 done (or sound), 1 bad input, 2 usage error.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

constexpr int kExitDone = 0;
constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

struct CreateOptions {
    std::string imagesFolder;  // the slot files, found by their names (and package.json for --from)
    uint8_t familyCode = 0;
    uint32_t identificationWord = 0;
    std::string executable;  // empty: a bare package
    std::string output;
};

// Builds the package (check byte 14, ids slot + 1, offsets from 172), appends it to the
// executable if one is given, checks that the result reads back to the same images, and
// only then puts it in place of `output` (written to a temporary file beside it first).
int CreatePackage(const CreateOptions& options, std::ostream& out, std::ostream& err);

// Fills in the family code and identification word from the images folder's package.json,
// after checking that the folder holds exactly the images it lists, by size and SHA-256.
int TakeFolderDescription(CreateOptions& options, std::ostream& err);

// Prints the header and every slot: name, presence, id, offset, size and SHA-256.
int ListPackage(const std::string& path, std::ostream& out, std::ostream& err);

// Re-reads every present image; reports entries outside the file or short. 0 only when sound.
int VerifyPackage(const std::string& path, std::ostream& out, std::ostream& err);

// Writes every present image under its slot's name into folder (created if missing) and
// package.json beside them. Refuses, writing nothing, a package that verify finds outside
// the file or malformed, and any name already taken in folder unless force is set.
int ExtractPackage(const std::string& path, const std::string& folder, bool force, std::ostream& out,
                   std::ostream& err);

// The command line without the program name.
int RunPackTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
