#include "prepare/service_stop.h"

#include <algorithm>

#include "session/clock.h"

namespace {

// A handle that the manager closes when it goes out of scope, if it was opened.
class ScopedServiceHandle {
public:
    explicit ScopedServiceHandle(ServiceManager& manager) : manager_(manager) {}
    ~ScopedServiceHandle() {
        if (handle) manager_.Close(handle);
    }
    ScopedServiceHandle(const ScopedServiceHandle&) = delete;
    ScopedServiceHandle& operator=(const ScopedServiceHandle&) = delete;

    ServiceHandle handle = nullptr;

private:
    ServiceManager& manager_;
};

int Code(uint32_t error) { return static_cast<int>(error); }

// A service's wait hint, cut to what is left before the deadline.
void SleepWaitHint(uint32_t waitHintMs, uint64_t deadlineMs) {
    const uint64_t now = MonotonicMs();
    const uint64_t left = deadlineMs > now ? deadlineMs - now : 0;
    SleepMs(static_cast<uint32_t>(std::min<uint64_t>(waitHintMs, left)));
}

// Each active dependent, in the order listed: the stop control, its wait hint, one query.
int StopDependents(ServiceManager& manager, ServiceHandle database, ServiceHandle service, uint64_t deadlineMs) {
    std::vector<std::string> dependents;
    if (uint32_t error = manager.ActiveDependents(service, dependents)) return Code(error);
    for (const std::string& name : dependents) {
        ScopedServiceHandle dependent(manager);
        ServiceState state;
        if (uint32_t error = manager.OpenServiceNamed(database, name, kServiceStopAndQuery, dependent.handle)) return Code(error);
        if (uint32_t error = manager.Stop(dependent.handle, state)) return Code(error);
        SleepWaitHint(state.waitHintMs, deadlineMs);
        if (uint32_t error = manager.QueryStatus(dependent.handle, state)) return Code(error);
        if (state.currentState != kServiceStopped) return kDependentStillRuns;
    }
    return kServiceStoppedNow;
}

}  // namespace

int StopServiceWithDependents(ServiceManager& manager, const std::string& name, uint64_t deadlineMs) {
    ScopedServiceHandle database(manager);
    ScopedServiceHandle service(manager);
    if (uint32_t error = manager.OpenManager(database.handle)) return Code(error);
    if (uint32_t error = manager.OpenServiceNamed(database.handle, name, kServiceAllAccess, service.handle)) return Code(error);

    // A service on its way down gets its wait hint, then is asked once more; the last ask counts.
    ServiceState state;
    uint32_t error = manager.QueryStatus(service.handle, state);
    if (state.currentState != kServiceStopped) {
        SleepWaitHint(state.waitHintMs, deadlineMs);
        error = manager.QueryStatus(service.handle, state);
    }
    if (error) return Code(error);
    if (state.currentState == kServiceStopped) return kServiceStoppedNow;

    int dependents = StopDependents(manager, database.handle, service.handle, deadlineMs);
    if (dependents != kServiceStoppedNow) return dependents;

    if (uint32_t stopError = manager.Stop(service.handle, state)) return Code(stopError);
    return state.currentState == kServiceStopped ? kServiceStoppedNow : kServiceStopAccepted;
}

int StopServiceWithDependents(const std::string& name) {
    return StopServiceWithDependents(CurrentServiceManager(), name);
}
