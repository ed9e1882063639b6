#include "package/image_folder.h"

#include <windows.h>
#include <shlobj.h>

namespace {
int CALLBACK SelectStartFolder(HWND chooser, UINT message, LPARAM /*parameter*/, LPARAM start) {
    if (message == BFFM_INITIALIZED) SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, start);
    return 0;
}

bool ShowSystemChooser(void* owner, const std::string& start, std::string& chosen) {
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = static_cast<HWND>(owner);
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = "Choose a Folder";
    info.ulFlags = 0;
    info.lpfn = SelectStartFolder;
    info.lParam = reinterpret_cast<LPARAM>(start.c_str());
    LPITEMIDLIST result = SHBrowseForFolderA(&info);
    if (!result) return false;

    char path[MAX_PATH] = {};
    const bool converted = SHGetPathFromIDListA(result, path) != FALSE;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(result);
        allocator->Release();
    }
    // An item without a file-system path (a printer, the network) gives no folder to use.
    if (!converted) return false;
    chosen = path;
    return true;
}
}  // namespace

int ChooseImageFolder(void* owner, SessionState& session) {
    return ChooseImageFolderWith(ShowSystemChooser, owner, session);
}
