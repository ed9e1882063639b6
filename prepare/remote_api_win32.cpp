// rapi.dll bound at run time, from the system folder where ActiveSync and Device Center
// install it. Without it there the handset switch reports that the link cannot be made, as
// for a refused link.
#include "prepare/remote_api.h"

#include <windows.h>

#include "platform/system_library_win32.h"

namespace {

template <typename Function>
bool Bind(HMODULE library, const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

bool WaitForSignal(CeHandle event, uint32_t milliseconds) {
    return WaitForSingleObject(static_cast<HANDLE>(event), milliseconds) == WAIT_OBJECT_0;
}

bool BindAll(RemoteApi& api) {
    HMODULE library = LoadSystemLibrary("rapi.dll");
    if (!library) return false;
    bool complete = Bind(library, "CeRapiUninit", api.CeRapiUninit);
    complete = Bind(library, "CeRapiInitEx", api.CeRapiInitEx) && complete;
    complete = Bind(library, "CeGetSystemPowerStatusEx", api.CeGetSystemPowerStatusEx) && complete;
    complete = Bind(library, "CeCreateFile", api.CeCreateFile) && complete;
    complete = Bind(library, "CeWriteFile", api.CeWriteFile) && complete;
    complete = Bind(library, "CeCloseHandle", api.CeCloseHandle) && complete;
    complete = Bind(library, "CeCreateProcess", api.CeCreateProcess) && complete;
    complete = Bind(library, "CeRegOpenKeyEx", api.CeRegOpenKeyEx) && complete;
    complete = Bind(library, "CeRegQueryValueEx", api.CeRegQueryValueEx) && complete;
    complete = Bind(library, "CeRegCloseKey", api.CeRegCloseKey) && complete;
    api.WaitForLink = WaitForSignal;
    return complete;
}

}  // namespace

// Bound once, on the window thread (the only caller).
const RemoteApi* PlatformRemoteApi() {
    static RemoteApi api{};
    static const bool complete = BindAll(api);
    return complete ? &api : nullptr;
}

std::u16string AnsiToUtf16(const char* text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return {};
    std::u16string wide(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t*>(wide.data()), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}
