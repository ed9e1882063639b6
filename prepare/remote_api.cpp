#include "prepare/remote_api.h"

namespace {
const RemoteApi* installed = nullptr;
}

const RemoteApi* BoundRemoteApi() { return installed ? installed : PlatformRemoteApi(); }

void InstallRemoteApi(const RemoteApi* api) { installed = api; }
