// Service Control Manager seam: the few calls the service stop makes, each returning 0 or
// the Windows error code of the call that failed. Windows reaches the real manager; tests
// install a scripted one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using ServiceHandle = void*;

constexpr uint32_t kManagerAllAccess = 0xF003F;        // SC_MANAGER_ALL_ACCESS
constexpr uint32_t kServiceAllAccess = 0xF01FF;        // SERVICE_ALL_ACCESS
constexpr uint32_t kServiceStopAndQuery = 0x24;        // SERVICE_STOP | SERVICE_QUERY_STATUS
constexpr uint32_t kServiceStopped = 1;                // SERVICE_STOPPED
constexpr uint32_t kErrorServiceDoesNotExist = 1060;   // ERROR_SERVICE_DOES_NOT_EXIST
constexpr uint32_t kErrorServiceNotActive = 1062;      // ERROR_SERVICE_NOT_ACTIVE

// The two fields of SERVICE_STATUS that the stop looks at.
struct ServiceState {
    uint32_t currentState = 0;
    uint32_t waitHintMs = 0;
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // The local machine's "ServicesActive" database with kManagerAllAccess.
    virtual uint32_t OpenManager(ServiceHandle& manager) = 0;
    virtual uint32_t OpenServiceNamed(ServiceHandle manager, const std::string& name, uint32_t access,
                                 ServiceHandle& service) = 0;
    virtual uint32_t QueryStatus(ServiceHandle service, ServiceState& state) = 0;
    // SERVICE_CONTROL_STOP; on success `state` is the status returned with the control.
    virtual uint32_t Stop(ServiceHandle service, ServiceState& state) = 0;
    // The names of the service's active dependents, in the order the manager lists them
    // (empty when the first ask, with no buffer, succeeds).
    virtual uint32_t ActiveDependents(ServiceHandle service, std::vector<std::string>& names) = 0;
    virtual void Close(ServiceHandle handle) = 0;
};

// Windows: the Service Control Manager. Elsewhere: a manager without services (every
// service open fails with kErrorServiceDoesNotExist).
ServiceManager& PlatformServiceManager();

ServiceManager& CurrentServiceManager();
// nullptr restores the platform's. Install before threads start.
void SetServiceManager(ServiceManager* manager);
