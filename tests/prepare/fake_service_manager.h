// A Service Control Manager that follows a script per service, logs every call and keeps the
// handles it handed out until they are closed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "prepare/service_manager.h"

constexpr uint32_t kRunning = 4;      // SERVICE_RUNNING
constexpr uint32_t kStopPending = 3;  // SERVICE_STOP_PENDING

struct ScriptedService {
    // Answers in turn, the last one again and again; a non-zero error fails that call.
    struct Answer {
        ServiceState state;
        uint32_t error = 0;
    };
    std::vector<Answer> queries{{{kRunning, 0}}};
    std::vector<Answer> stops{{{kServiceStopped, 0}}};
    std::vector<std::string> dependents;
    uint32_t dependentsError = 0;
};

class FakeServiceManager final : public ServiceManager {
public:
    uint32_t OpenManager(ServiceHandle& manager) override;
    uint32_t OpenServiceNamed(ServiceHandle manager, const std::string& name, uint32_t access, ServiceHandle& service) override;
    uint32_t QueryStatus(ServiceHandle service, ServiceState& state) override { return Answer(service, "query ", state); }
    uint32_t Stop(ServiceHandle service, ServiceState& state) override { return Answer(service, "stop ", state); }
    uint32_t ActiveDependents(ServiceHandle service, std::vector<std::string>& names) override;
    void Close(ServiceHandle handle) override;

    std::map<std::string, ScriptedService> services;  // a name not here does not exist (1060)
    uint32_t managerError = 0;
    std::vector<std::string> calls;  // "open WcesComm f01ff", "query WcesComm", "stop Dep", "close Dep", ...
    std::map<ServiceHandle, std::string> open;  // handles not closed yet ("manager" for the database)

private:
    uint32_t Answer(ServiceHandle service, const std::string& call, ServiceState& state);
    std::map<std::string, size_t> used_;  // answers used per call and service
    uintptr_t nextHandle_ = 0x100;
};
