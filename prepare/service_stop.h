// Stopping one service of the synchronisation software, its active dependents first.
#pragma once

#include <cstdint>

#include "prepare/service_manager.h"

constexpr int kServiceStopAccepted = 0;   // the stop was accepted; the service has not stopped yet
constexpr int kServiceStoppedNow = 1;     // the service is stopped
constexpr int kDependentStillRuns = -1;   // an active dependent did not stop within its wait hint

constexpr uint64_t kNoDeadline = UINT64_MAX;

// 1, 0, -1, or the Windows error code of the call that failed (1060 no such service, 1062
// not running, 5 access denied, ...). Every handle it opened is closed again, whatever it returns.
// No wait-hint sleep goes past `deadlineMs` (the time seam's MonotonicMs()): each is cut to
// what is left before it, down to none, and the calls that follow are made all the same.
int StopServiceWithDependents(ServiceManager& manager, const std::string& name, uint64_t deadlineMs = kNoDeadline);
int StopServiceWithDependents(const std::string& name);  // through CurrentServiceManager()
