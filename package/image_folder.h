// The image folder that the user chooses in service mode.
#pragma once

#include <functional>
#include <string>

struct SessionState;

// The system's folder chooser: shows it owned by `owner`, starting at `start`. True with
// the chosen path (no trailing backslash needed) when a folder was chosen; false when cancelled.
using FolderChooser = std::function<bool(void* owner, const std::string& start, std::string& chosen)>;

// Starts the chooser at the folder remembered in "dir.txt" (or the root of drive C). When a
// folder is chosen, stores it with one trailing backslash as the session's image folder,
// remembers it in "dir.txt" and returns 1; returns 0 when the user cancelled, changing nothing.
int ChooseImageFolderWith(const FolderChooser& chooser, void* owner, SessionState& session);

// The same with the system's chooser ("Choose a Folder"). Windows only; on the window thread.
int ChooseImageFolder(void* owner, SessionState& session);
