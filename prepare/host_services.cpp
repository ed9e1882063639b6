#include "prepare/host_services.h"

#include "prepare/service_stop.h"
#include "session/clock.h"
#include "session/trace_log.h"

namespace {
constexpr char kDeviceCenterComm[] = "WcesComm";
constexpr char kDeviceCenterRapi[] = "RapiMgr";
constexpr int kMostRounds = 1001;
// A service that stays on its way down with a long wait hint would hold the run for hours:
// no round starts, and no wait hint sleeps, past this time after the first round started.
constexpr uint32_t kRoundsDeadlineMs = 60000;
}  // namespace

void ClearHostServices(ServiceOrder order, ServiceManager& manager) {
    const bool first = order == ServiceOrder::First;
    const std::string firstName = first ? kDeviceCenterComm : kDeviceCenterRapi;
    const std::string secondName = first ? kDeviceCenterRapi : kDeviceCenterComm;

    const uint64_t deadline = MonotonicMs() + kRoundsDeadlineMs;
    int firstResult = 0;
    int secondResult = 0;
    for (int round = 1; round <= kMostRounds && MonotonicMs() < deadline; ++round) {
        if (firstResult == 0) firstResult = StopServiceWithDependents(manager, firstName, deadline);
        if (firstResult == kServiceStoppedNow || firstResult == static_cast<int>(kErrorServiceNotActive))
            secondResult = StopServiceWithDependents(manager, secondName, deadline);
        if (firstResult == kServiceStoppedNow && secondResult == kServiceStoppedNow) break;
    }

    if (first) {
        TraceFormat("==============Close Service ======close:%d---%d\n", firstResult, secondResult);
    } else {
        TraceFormat("==============close Service rv1 %d rv2%d=============\n", firstResult, secondResult);
    }
}

void ClearHostServices(ServiceOrder order) { ClearHostServices(order, CurrentServiceManager()); }
