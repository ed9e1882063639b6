// The Service Control Manager behind the service stop's seam.
#include "prepare/service_manager.h"

#include <windows.h>

// One dependent's record: 36 bytes in the 32-bit program, 48 in the 64-bit one.
static_assert(sizeof(ENUM_SERVICE_STATUSA) == (sizeof(void*) == 8 ? 48 : 36));

namespace {

uint32_t Failed() { return GetLastError(); }

ServiceState StateOf(const SERVICE_STATUS& status) { return {status.dwCurrentState, status.dwWaitHint}; }

class ServiceControlManager final : public ServiceManager {
public:
    uint32_t OpenManager(ServiceHandle& manager) override {
        manager = OpenSCManagerA(nullptr, "ServicesActive", kManagerAllAccess);
        return manager ? 0 : Failed();
    }

    uint32_t OpenServiceNamed(ServiceHandle manager, const std::string& name, uint32_t access,
                         ServiceHandle& service) override {
        service = OpenServiceA(static_cast<SC_HANDLE>(manager), name.c_str(), access);
        return service ? 0 : Failed();
    }

    uint32_t QueryStatus(ServiceHandle service, ServiceState& state) override {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(static_cast<SC_HANDLE>(service), &status)) return Failed();
        state = StateOf(status);
        return 0;
    }

    uint32_t Stop(ServiceHandle service, ServiceState& state) override {
        SERVICE_STATUS status{};
        if (!ControlService(static_cast<SC_HANDLE>(service), SERVICE_CONTROL_STOP, &status)) return Failed();
        state = StateOf(status);
        return 0;
    }

    // First with no buffer: success there means no active dependent. Then with a zeroed
    // buffer from the process heap of the size that first call asked for.
    uint32_t ActiveDependents(ServiceHandle service, std::vector<std::string>& names) override {
        names.clear();
        DWORD needed = 0;
        DWORD count = 0;
        auto handle = static_cast<SC_HANDLE>(service);
        if (EnumDependentServicesA(handle, SERVICE_ACTIVE, nullptr, 0, &needed, &count)) return 0;
        void* buffer = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed);
        if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
        auto* records = static_cast<ENUM_SERVICE_STATUSA*>(buffer);
        uint32_t error = 0;
        if (EnumDependentServicesA(handle, SERVICE_ACTIVE, records, needed, &needed, &count)) {
            for (DWORD index = 0; index < count; ++index) names.emplace_back(records[index].lpServiceName);
        } else {
            error = Failed();
        }
        HeapFree(GetProcessHeap(), 0, buffer);
        return error;
    }

    void Close(ServiceHandle handle) override { CloseServiceHandle(static_cast<SC_HANDLE>(handle)); }
};

}  // namespace

ServiceManager& PlatformServiceManager() {
    static auto* manager = new ServiceControlManager;  // never destroyed: the worker may use it at exit
    return *manager;
}
