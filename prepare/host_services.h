// The Windows Mobile Device Center services (Vista and 7), stopped before the port is opened
// and again after the programmer has started.
#pragma once

#include "prepare/service_manager.h"
#include "session/step_operations.h"

// First: WcesComm, then RapiMgr; Again: RapiMgr, then WcesComm. Asks the first service
// until it answers anything but 0, and the second whenever the first is stopped or not
// running, for at most 1001 rounds and at most 60 s (wait hints are cut to fit), then
// writes the last results as one trace line.
void ClearHostServices(ServiceOrder order, ServiceManager& manager);
void ClearHostServices(ServiceOrder order);  // through CurrentServiceManager()
