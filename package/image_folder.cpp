#include "package/image_folder.h"

#include "package/image_folder_memory.h"
#include "session/session_state.h"

int ChooseImageFolderWith(const FolderChooser& chooser, void* owner, SessionState& session) {
    const std::string start = ReadRememberedFolder();
    std::string chosen;
    if (!chooser(owner, start, chosen)) return 0;
    // A drive root comes back as "C:\": it already ends in the separator.
    if (chosen.empty() || chosen.back() != '\\') chosen += '\\';
    session.imageFolder = chosen;
    WriteRememberedFolder(chosen);
    return 1;
}
