#include "sim/rapi_standin/handset_devices.h"

#include <windows.h>

#include <string>

#include "sim/rapi_standin/standin_config.h"

namespace {

constexpr char kEnum[] = "System\\CurrentControlSet\\Enum\\";
constexpr char kDeviceClasses[] = "System\\CurrentControlSet\\Control\\DeviceClasses\\";
constexpr char kPortsClass[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
constexpr char kWinUsbClass[] = "{25DBCE51-6C8F-4A72-8A6D-B54C2B4FC835}";
constexpr char kWinUsbClassLower[] = "{25dbce51-6c8f-4a72-8a6d-b54c2b4fc835}";
constexpr char kDownloadDescription[] = "Microsoft USB Sync";

bool SetValue(const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr))
        return false;
    const bool set = RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return set;
}

bool SetText(const std::string& key, const char* name, const std::string& text) {
    return SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string WithHashes(std::string text) {
    for (char& c : text) c = c == '\\' ? '#' : c;
    return text;
}

bool OnVistaOrSeven() { return LOBYTE(LOWORD(GetVersion())) >= 6; }

bool AddDownloadDevice() {
    const std::string device = std::string(kEnum) + kDownloadDeviceInstance;
    const char hardwareId[] = "USB\0";  // REG_MULTI_SZ: "USB", then the list's end
    const bool winUsb = OnVistaOrSeven();
    bool added = SetText(device, "DeviceDesc", kDownloadDescription) &&
                 SetText(device, "ClassGUID", winUsb ? kWinUsbClass : kPortsClass) &&
                 SetValue(device, "HardwareID", REG_MULTI_SZ, hardwareId, sizeof hardwareId);
    if (!winUsb || !added) return added;
    const std::string reference = "##?#" + WithHashes(kDownloadDeviceInstance) + "#" + kWinUsbClassLower;
    const std::string interfaceKey = std::string(kDeviceClasses) + kWinUsbClassLower + "\\" + reference;
    const DWORD linked = 1;
    return SetText(interfaceKey, "DeviceInstance", kDownloadDeviceInstance) &&
           SetText(interfaceKey + "\\#", "SymbolicLink",
                   "\\\\?\\" + WithHashes(kDownloadDeviceInstance) + "#" + kWinUsbClassLower) &&
           SetValue(interfaceKey + "\\#\\Control", "Linked", REG_DWORD, &linked, sizeof linked);
}

}  // namespace

void EnterDownloadMode() {
    const std::string mobile = std::string(kEnum) + Config().mobileDevice;
    const LSTATUS removed = RegDeleteTreeA(HKEY_LOCAL_MACHINE, mobile.c_str());
    const bool added = AddDownloadDevice();
    RecordEvent(std::string("devices: Windows Mobile device ") + (removed == ERROR_SUCCESS ? "removed" : "not found") +
                ", download device " + (added ? (OnVistaOrSeven() ? "added with its interface" : "added") : "not added"));
}
