// Where each handset of a several-handset run keeps its record: a folder under the runs
// folder named after its port's last path component (ttyUSB0, wceusbsh001).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The folder names, in the order of the ports: the last path component with anything a
// folder name cannot hold replaced by '_'; a name taken already gets "-2", "-3", ...
std::vector<std::string> RunFolderNames(const std::vector<std::string>& ports);

// The first port named twice (the same device by another spelling counts: a symlink to
// it, another letter case on Windows), or empty.
std::string PortNamedTwice(const std::vector<std::string>& ports);

// Creates runs/name (and runs) and removes a trace left there by an earlier run, which the
// run would truncate anyway, so that a child that dies before writing one is not read as
// having ended with the old one. Returns the folder's absolute path, or empty with `error`.
std::string PrepareRunFolder(const std::string& runs, const std::string& name, std::string& error);

// The file's whole text, or empty when it cannot be read.
std::string ReadWholeText(const std::string& path);

// A path's UTF-8 text as a std::filesystem path, and back (on Windows a std::string given to
// std::filesystem is read in the C locale, not as UTF-8).
std::filesystem::path PathOfText(const std::string& text);
std::string TextOfPath(const std::filesystem::path& path);

// The path from the current folder, for a child that runs in another.
std::string AbsolutePath(const std::string& path);
