#include "prepare/service_manager.h"

namespace {
ServiceManager* installed = nullptr;
}

ServiceManager& CurrentServiceManager() { return installed ? *installed : PlatformServiceManager(); }

void SetServiceManager(ServiceManager* manager) { installed = manager; }
