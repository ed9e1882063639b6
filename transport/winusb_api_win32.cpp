#include "transport/winusb_api_win32.h"

#include "platform/system_library_win32.h"

namespace {

const WinUsbApi* installed = nullptr;

template <typename Function>
bool Bind(HMODULE library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

// Loaded once, by the download worker (the only caller); kept for the life of the process.
const WinUsbApi* LoadWinUsb() {
    static WinUsbApi api;
    static bool bound = false;
    static DWORD failure = 0;
    if (bound) return &api;
    if (failure) {
        SetLastError(failure);
        return nullptr;
    }
    HMODULE library = LoadSystemLibrary("winusb.dll");
    bool complete = library != nullptr;
    complete = complete && Bind(library, "WinUsb_Initialize", api.Initialize);
    complete = complete && Bind(library, "WinUsb_Free", api.Free);
    complete = complete && Bind(library, "WinUsb_QueryInterfaceSettings", api.QueryInterfaceSettings);
    complete = complete && Bind(library, "WinUsb_QueryPipe", api.QueryPipe);
    complete = complete && Bind(library, "WinUsb_SetPipePolicy", api.SetPipePolicy);
    complete = complete && Bind(library, "WinUsb_ReadPipe", api.ReadPipe);
    complete = complete && Bind(library, "WinUsb_WritePipe", api.WritePipe);
    complete = complete && Bind(library, "WinUsb_GetOverlappedResult", api.GetOverlappedResult);
    complete = complete && Bind(library, "WinUsb_AbortPipe", api.AbortPipe);
    complete = complete && Bind(library, "WinUsb_FlushPipe", api.FlushPipe);
    complete = complete && Bind(library, "WinUsb_ResetPipe", api.ResetPipe);
    if (!complete) {
        failure = GetLastError() ? GetLastError() : ERROR_PROC_NOT_FOUND;
        SetLastError(failure);
        return nullptr;
    }
    bound = true;
    return &api;
}

}  // namespace

const WinUsbApi* BoundWinUsb() { return installed ? installed : LoadWinUsb(); }

void InstallWinUsbApi(const WinUsbApi* api) { installed = api; }
