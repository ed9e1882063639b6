// Device scan, interface path and port search on Windows, through SetupAPI.
#include "transport/port_discovery.h"

#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "session/process_values.h"
#include "session/session_state.h"
#include "transport/device_descriptions.h"
#include "transport/interface_path.h"
#include "transport/port_search.h"

namespace {

// {25DBCE51-6C8F-4A72-8A6D-B54C2B4FC835}: the download device's setup class and interface class.
const GUID kDownloadInterfaceClass = {0x25DBCE51, 0x6C8F, 0x4A72, {0x8A, 0x6D, 0xB5, 0x4C, 0x2B, 0x4F, 0xC8, 0x35}};

constexpr DWORD kDescriptionSize = 300;
constexpr DWORD kInstanceIdSize = 200;

// The size field of the detail record is the record's fixed part, which differs per
// architecture: 5 on 32-bit Windows (packed), 8 on 64-bit. A wrong one fails every call.
#ifdef _WIN64
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8);
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5);
#endif

class DeviceSet {
public:
    explicit DeviceSet(HDEVINFO set) : set_(set) {}
    ~DeviceSet() {
        if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceSet(const DeviceSet&) = delete;
    DeviceSet& operator=(const DeviceSet&) = delete;
    bool Valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO Get() const { return set_; }

private:
    HDEVINFO set_;
};

std::string InterfaceDevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interface) {
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &interface, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return {};
    std::vector<char> record(size, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &interface, detail, size, nullptr, nullptr)) return {};
    return detail->DevicePath;
}

// The interface of the download class whose path belongs to this instance identifier.
std::string InterfacePathOf(const std::string& instanceId) {
    DeviceSet interfaces(SetupDiGetClassDevsA(&kDownloadInterfaceClass, nullptr, nullptr,
                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!interfaces.Valid()) return {};
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interface{};
        interface.cbSize = sizeof interface;
        if (!SetupDiEnumDeviceInterfaces(interfaces.Get(), nullptr, &kDownloadInterfaceClass, index, &interface))
            return {};
        const std::string path = InterfaceDevicePath(interfaces.Get(), interface);
        if (InterfacePathMatchesInstance(path, instanceId)) return InterfacePathToOpen(path);
    }
}

}  // namespace

void ScanDevices(SessionState& session) {
    DeviceSet devices(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (devices.Valid()) {
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!SetupDiEnumDeviceInfo(devices.Get(), index, &device)) break;
            // One byte more than the description may fill keeps it terminated.
            char description[kDescriptionSize + 1] = {};
            SetupDiGetDeviceRegistryPropertyA(devices.Get(), &device, SPDRP_DEVICEDESC, nullptr,
                                              reinterpret_cast<BYTE*>(description), kDescriptionSize, nullptr);
            if (ApplyDeviceDescription(session, description)) break;
        }
    }
    NoteDevicePresence(session);
}

std::string FindInterfacePath() {
    DeviceSet devices(SetupDiGetClassDevsA(&kDownloadInterfaceClass, nullptr, nullptr, DIGCF_PRESENT));
    if (!devices.Valid()) return {};
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(devices.Get(), index, &device)) return {};
        char instanceId[kInstanceIdSize] = {};
        if (!SetupDiGetDeviceInstanceIdA(devices.Get(), &device, instanceId, sizeof instanceId, nullptr)) continue;
        std::string path = InterfacePathOf(instanceId);
        if (!path.empty()) return path;
    }
}

PortSearch DownloadPortSearch() {
    PortSearch search;
    if (Environment == 1) {
        search.portName = [](int) { return FindInterfacePath(); };
        search.traceAttempts = false;
    } else {
        search.portName = SerialDownloadPortName;
    }
    return search;
}

int OpenDownloadPort() { return SearchDownloadPort(DownloadPortSearch()); }

void AddDiscoverySteps(StepOperations& steps) {
    steps.openDownloadPort = OpenDownloadPort;
    steps.scanDevices = ScanDevices;
}
