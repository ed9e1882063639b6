#include "tests/prepare/fake_service_manager.h"

#include <algorithm>
#include <cstdio>

constexpr uint32_t kInvalidHandle = 6;  // ERROR_INVALID_HANDLE

uint32_t FakeServiceManager::OpenManager(ServiceHandle& manager) {
    calls.push_back("manager");
    if (managerError) return managerError;
    manager = reinterpret_cast<ServiceHandle>(nextHandle_++);
    open[manager] = "manager";
    return 0;
}

uint32_t FakeServiceManager::OpenServiceNamed(ServiceHandle manager, const std::string& name, uint32_t access,
                                              ServiceHandle& service) {
    char hex[16];
    std::snprintf(hex, sizeof hex, " %x", access);
    calls.push_back("open " + name + hex);
    if (!open.count(manager) || open[manager] != "manager") return kInvalidHandle;
    if (!services.count(name)) return kErrorServiceDoesNotExist;
    service = reinterpret_cast<ServiceHandle>(nextHandle_++);
    open[service] = name;
    return 0;
}

uint32_t FakeServiceManager::Answer(ServiceHandle service, const std::string& call, ServiceState& state) {
    const std::string name = open.count(service) ? open[service] : "<not open>";
    calls.push_back(call + name);
    if (!services.count(name)) return kInvalidHandle;
    const std::vector<ScriptedService::Answer>& answers =
        call == "stop " ? services[name].stops : services[name].queries;
    const size_t index = used_[call + name]++;
    const ScriptedService::Answer& answer = answers[std::min(index, answers.size() - 1)];
    if (!answer.error) state = answer.state;
    return answer.error;
}

uint32_t FakeServiceManager::ActiveDependents(ServiceHandle service, std::vector<std::string>& names) {
    const std::string name = open.count(service) ? open[service] : "<not open>";
    calls.push_back("dependents " + name);
    if (!services.count(name)) return kInvalidHandle;
    names = services[name].dependents;
    return services[name].dependentsError;
}

void FakeServiceManager::Close(ServiceHandle handle) {
    calls.push_back("close " + (open.count(handle) ? open[handle] : "<not open>"));
    open.erase(handle);
}
