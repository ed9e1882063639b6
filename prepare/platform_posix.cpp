// What the portable build has where Windows has a shell, a Service Control Manager, the
// Remote API and module resources: none of the desktop programs, services or handset links
// that those reach exist here, so each reports that there is nothing to reach.
#include "prepare/own_resource.h"
#include "prepare/remote_api.h"
#include "prepare/service_manager.h"
#include "prepare/shell_launch.h"

namespace {

class NoShell final : public ShellLauncher {
public:
    void Open(void*, const char*, const char*, const char*) override {}
};

class NoServices final : public ServiceManager {
public:
    uint32_t OpenManager(ServiceHandle& manager) override {
        manager = this;
        return 0;
    }
    uint32_t OpenServiceNamed(ServiceHandle, const std::string&, uint32_t, ServiceHandle& service) override {
        service = nullptr;
        return kErrorServiceDoesNotExist;
    }
    uint32_t QueryStatus(ServiceHandle, ServiceState&) override { return kErrorServiceDoesNotExist; }
    uint32_t Stop(ServiceHandle, ServiceState&) override { return kErrorServiceDoesNotExist; }
    uint32_t ActiveDependents(ServiceHandle, std::vector<std::string>& names) override {
        names.clear();
        return 0;
    }
    void Close(ServiceHandle) override {}
};

}  // namespace

ShellLauncher& PlatformShellLauncher() {
    static auto* launcher = new NoShell;
    return *launcher;
}

ServiceManager& PlatformServiceManager() {
    static auto* manager = new NoServices;
    return *manager;
}

const RemoteApi* PlatformRemoteApi() { return nullptr; }

std::u16string AnsiToUtf16(const char* text) {
    std::u16string wide;
    for (const char* c = text; *c; ++c) wide += static_cast<char16_t>(static_cast<unsigned char>(*c));
    return wide;
}

std::span<const uint8_t> OwnResource(const char*, const char*) { return {}; }
