// The WinUSB calls of the WinUSB-mode port, bound from the system folder's winusb.dll on first
// use so the program starts where WinUSB is missing (Windows XP). Tests install a scripted table.
#pragma once

#include <windows.h>
#include <winusb.h>

struct WinUsbApi {
    decltype(&WinUsb_Initialize) Initialize;
    decltype(&WinUsb_Free) Free;
    decltype(&WinUsb_QueryInterfaceSettings) QueryInterfaceSettings;
    decltype(&WinUsb_QueryPipe) QueryPipe;
    decltype(&WinUsb_SetPipePolicy) SetPipePolicy;
    decltype(&WinUsb_ReadPipe) ReadPipe;
    decltype(&WinUsb_WritePipe) WritePipe;
    decltype(&WinUsb_GetOverlappedResult) GetOverlappedResult;
    decltype(&WinUsb_AbortPipe) AbortPipe;
    decltype(&WinUsb_FlushPipe) FlushPipe;
    decltype(&WinUsb_ResetPipe) ResetPipe;
};

// The installed table, else winusb.dll's (loaded once); null with the thread's error code
// set when the library or one of its calls cannot be found.
const WinUsbApi* BoundWinUsb();

// Installs a table for the whole process (nullptr returns to winusb.dll). For tests.
void InstallWinUsbApi(const WinUsbApi* api);
