#include "tests/prepare/fake_remote_api.h"

#include <cstdarg>
#include <cstdio>

namespace {

FakeHandset* handset = nullptr;
int linkEvent, fileHandle, keyHandle;  // their addresses are the handles

std::string Text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Text(const char* format, ...) {
    char text[160];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string Narrow(const char16_t* text) {
    std::string narrow;
    for (; text && *text; ++text) narrow += static_cast<char>(*text);
    return narrow;
}

void Log(const std::string& call) { handset->calls.push_back(call); }

CeResult VELTRANE_RAPI_CALL Uninit() { return Log("uninit"), 0; }

CeResult VELTRANE_RAPI_CALL InitEx(RAPIINIT* init) {
    Log(Text("init size %u", init->cbSize));
    init->heRapiInit = &linkEvent;
    return handset->initResult;
}

bool WaitForLink(CeHandle event, uint32_t ms) { return Log(Text("wait %u", ms)), event == &linkEvent && handset->linkUp; }

CeBool VELTRANE_RAPI_CALL Power(SYSTEM_POWER_STATUS_EX* status, CeBool update) {
    Log(Text("power update %d", update));
    if (!handset->powerAnswers) return 0;
    status->BatteryLifePercent = handset->batteryPercent;
    return 1;
}

CeHandle VELTRANE_RAPI_CALL Create(const char16_t* name, uint32_t access, uint32_t share, void* security,
                                   uint32_t disposition, uint32_t attributes, CeHandle model) {
    Log(Text("create %s %x %x %x %x%s", Narrow(name).c_str(), access, share, disposition, attributes,
             security || model ? " extra" : ""));
    return &fileHandle;
}

CeBool VELTRANE_RAPI_CALL Write(CeHandle file, const void*, uint32_t size, uint32_t* written, void* overlapped) {
    Log(Text("write %u%s", size, file != &fileHandle || !written || overlapped ? " wrongly" : ""));
    return 1;
}

CeBool VELTRANE_RAPI_CALL CloseFile(CeHandle file) { return Log(file == &fileHandle ? "close file" : "close other"), 1; }

CeBool VELTRANE_RAPI_CALL Start(const char16_t* program, const char16_t* line, void* processSecurity,
                                void* threadSecurity, CeBool inherit, uint32_t flags, void* environment,
                                char16_t* folder, void* startup, CeProcessInformation* information) {
    const bool extra = processSecurity || threadSecurity || inherit || environment || folder || startup;
    Log(Text("start %s %x%s%s", Narrow(program).c_str(), flags, information ? " info" : "", extra ? " extra" : ""));
    // "2 h l" is five code units whatever their values; other lines end at their terminator.
    handset->commandLines.push_back(line[0] == u'2' ? std::u16string(line, 5) : std::u16string(line));
    return 1;
}

CeResult VELTRANE_RAPI_CALL OpenKey(CeKey key, const char16_t* subkey, uint32_t options, uint32_t access, CeKey* result) {
    Log(key == CeLocalMachine() && !subkey && !options && !access ? "open HKLM" : "open other");
    *result = &keyHandle;
    return 0;
}

CeResult VELTRANE_RAPI_CALL Query(CeKey key, const char16_t* name, uint32_t*, uint32_t* type, uint8_t* data,
                                  uint32_t* size) {
    Log(Text("query %s %u%s", Narrow(name).c_str(), *size, key == &keyHandle ? "" : " unopened"));
    if (!handset->versionStored) return 2;  // ERROR_FILE_NOT_FOUND
    *type = 3;  // REG_BINARY
    data[0] = handset->version;
    return 0;
}

CeResult VELTRANE_RAPI_CALL CloseKey(CeKey key) { return Log(key == &keyHandle ? "close key" : "close other"), 0; }

const RemoteApi kFake = {Uninit, InitEx, Power, Create, Write, CloseFile, Start, OpenKey, Query, CloseKey, WaitForLink};

}  // namespace

ScopedFakeHandset::ScopedFakeHandset() {
    ::handset = &handset;
    InstallRemoteApi(&kFake);
    SetClock(this);
}

ScopedFakeHandset::~ScopedFakeHandset() {
    SetClock(nullptr);
    InstallRemoteApi(nullptr);
    ::handset = nullptr;
}
