// The handset as the desktop's device walk sees it: while it runs Windows Mobile its device
// key (Config().mobileDevice) stands under Enum; once it restarts into download mode that key
// goes and the download device ("Microsoft USB Sync") comes, of the ports class on Windows XP
// and of the WinUSB class with its device interface on Vista and 7.
#pragma once

// Instance id of the download device on either road.
constexpr char kDownloadDeviceInstance[] = "USB\\VID_05C6&PID_3197\\5&ABC&0&2";

// Swaps the Windows Mobile device for the download device in the registry.
void EnterDownloadMode();
