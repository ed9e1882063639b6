// The service stop with its dependents, and the rounds of the two Device Center services,
// against a scripted Service Control Manager (Wine's never lists dependents and its stops
// always complete at once, so those paths are proven here).
#include <gtest/gtest.h>

#include <algorithm>

#include "prepare/host_services.h"
#include "prepare/service_stop.h"
#include "session/trace_log.h"
#include "tests/prepare/fake_service_manager.h"
#include "tests/support/temp_directory.h"
#include "tests/support/virtual_clock.h"

namespace {

using Answer = ScriptedService::Answer;
using Services = std::map<std::string, ScriptedService>;
const Answer kStopped{{kServiceStopped, 0}};
const Answer kPending{{kStopPending, 0}};
Answer Fails(uint32_t error) { return {{}, error}; }

ScriptedService Running(std::vector<Answer> stops, std::vector<std::string> dependents = {}, uint32_t listError = 0) {
    return {{{{kRunning, 0}}}, std::move(stops), std::move(dependents), listError};
}
ScriptedService Queried(std::vector<Answer> queries) { return {std::move(queries), {kStopped}, {}, 0}; }

int Count(const std::vector<std::string>& calls, const std::string& call) {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

struct StopCase {
    const char* name;
    Services services;
    uint32_t managerError;
    int result;
    uint64_t sleptMs;
    bool serviceAskedToStop;
};

class StopServiceTest : public ::testing::TestWithParam<StopCase> {};

}  // namespace

TEST_P(StopServiceTest, ResultWaitsAndEveryHandleClosed) {
    const StopCase& c = GetParam();
    ScopedVirtualClock time;
    FakeServiceManager manager;
    manager.services = c.services;
    manager.managerError = c.managerError;
    EXPECT_EQ(StopServiceWithDependents(manager, "WcesComm"), c.result);
    EXPECT_EQ(time.clock.SleptMs(), c.sleptMs);
    EXPECT_TRUE(manager.open.empty()) << manager.open.size() << " handles left open";
    EXPECT_EQ(Count(manager.calls, "stop WcesComm"), c.serviceAskedToStop ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StopServiceTest,
    ::testing::Values(
        StopCase{"not_installed", {}, 0, 1060, 0, false},
        StopCase{"manager_refused", {{"WcesComm", {}}}, 5, 5, 0, false},
        StopCase{"already_stopped", {{"WcesComm", Queried({kStopped})}}, 0, 1, 0, false},
        StopCase{"stopped_after_its_wait_hint", {{"WcesComm", Queried({{{kStopPending, 2500}}, kStopped})}}, 0, 1, 2500, false},
        StopCase{"last_query_fails", {{"WcesComm", Queried({{{kRunning, 40}}, Fails(5)})}}, 0, 5, 40, false},
        StopCase{"stop_completes", {{"WcesComm", Running({kStopped})}}, 0, 1, 0, true},
        StopCase{"stop_accepted_not_yet_stopped", {{"WcesComm", Running({kPending})}}, 0, 0, 0, true},
        StopCase{"stopped_meanwhile_not_active", {{"WcesComm", Running({Fails(1062)})}}, 0, 1062, 0, true},
        StopCase{"dependent_does_not_stop", {{"WcesComm", Running({kStopped}, {"Dep"})}, {"Dep", Queried({kPending})}}, 0, -1, 0, false},
        StopCase{"dependent_stop_refused", {{"WcesComm", Running({kStopped}, {"Dep"})}, {"Dep", Running({Fails(1051)})}}, 0, 1051, 0, false},
        StopCase{"dependent_cannot_be_opened", {{"WcesComm", Running({kStopped}, {"Gone"})}}, 0, 1060, 0, false},
        StopCase{"dependents_cannot_be_listed", {{"WcesComm", Running({kStopped}, {}, 234)}}, 0, 234, 0, false}),
    [](const ::testing::TestParamInfo<StopCase>& param) { return std::string(param.param.name); });

TEST(StopServiceWithDependents, StopsEachActiveDependentInOrderWithStopAndQueryRightsBeforeTheService) {
    ScopedVirtualClock time;
    FakeServiceManager manager;
    manager.services = {{"WcesComm", Running({kPending}, {"DepA", "DepB"})},
                        {"DepA", {{kStopped}, {{{kStopPending, 300}}}, {}, 0}},
                        {"DepB", {{kStopped}, {{{kStopPending, 700}}}, {}, 0}}};
    EXPECT_EQ(StopServiceWithDependents(manager, "WcesComm"), kServiceStopAccepted);
    EXPECT_EQ(manager.calls, (std::vector<std::string>{
                                 "manager", "open WcesComm f01ff", "query WcesComm", "query WcesComm", "dependents WcesComm",
                                 "open DepA 24", "stop DepA", "query DepA", "close DepA",
                                 "open DepB 24", "stop DepB", "query DepB", "close DepB",
                                 "stop WcesComm", "close WcesComm", "close manager"}));
    EXPECT_EQ(time.clock.SleptMs(), 1000u);  // each dependent's wait hint from its stop control
}

TEST(ClearHostServices, RoundsAndTraceLine) {
    struct Case {
        ServiceOrder order;
        Services services;
        const char* traceLine;
        int wcesCommAsked;
        int rapiMgrAsked;
        uint64_t sleptMs = 0;
    };
    // On its way down for good, each answer asking for another hour.
    const Answer kHourPending{{kStopPending, 3600000}};
    const Case cases[] = {
        // Not installed: asked once, then 1001 rounds without asking again; RapiMgr never asked.
        {ServiceOrder::First, {{"RapiMgr", Running({kStopped})}}, "==============Close Service ======close:1060---0\n", 1, 0},
        // Not running: the second is asked on every one of the 1001 rounds.
        {ServiceOrder::First, {{"WcesComm", Running({Fails(1062)})}, {"RapiMgr", Running({kPending})}},
         "==============Close Service ======close:1062---0\n", 1, 1001},
        // Stopped already: the loop ends as soon as the second reports stopped.
        {ServiceOrder::First, {{"WcesComm", Queried({kStopped})}, {"RapiMgr", Running({kPending, kStopped})}},
         "==============Close Service ======close:1---1\n", 1, 2},
        // A pending first stop is asked again; the second waits for it.
        {ServiceOrder::Again, {{"RapiMgr", Running({kPending, kStopped})}},
         "==============close Service rv1 1 rv21060=============\n", 1000, 2},
        // Stuck, with a dependent that asks for an hour too: the first wait hint is cut at the
        // 60 s deadline, the dependent's to nothing, and no round follows.
        {ServiceOrder::First,
         {{"WcesComm", {{kHourPending}, {kPending}, {"Dep"}, 0}}, {"Dep", {{kStopped}, {kHourPending}, {}, 0}}},
         "==============Close Service ======close:0---0\n", 1, 0, 60000},
        // A wait hint of 25 s in every round: the third one's is cut to the 10 s left.
        {ServiceOrder::Again, {{"RapiMgr", Queried({kStopped})}, {"WcesComm", {{{{kStopPending, 25000}}}, {kPending}, {}, 0}}},
         "==============close Service rv1 1 rv20=============\n", 3, 1, 60000},
    };
    TempDirectory directory;
    for (const Case& c : cases) {
        ScopedVirtualClock time;
        FakeServiceManager manager;
        manager.services = c.services;
        WriteTrace(0);
        ClearHostServices(c.order, manager);
        WriteTrace(2);
        EXPECT_EQ(ReadWholeFile("trace.txt"), c.traceLine);
        EXPECT_EQ(Count(manager.calls, "open WcesComm f01ff"), c.wcesCommAsked) << c.traceLine;
        EXPECT_EQ(Count(manager.calls, "open RapiMgr f01ff"), c.rapiMgrAsked) << c.traceLine;
        EXPECT_EQ(time.clock.SleptMs(), c.sleptMs) << c.traceLine;
    }
}
