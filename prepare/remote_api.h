// The desktop's Remote API (rapi.dll of ActiveSync and Windows Mobile Device Center), declared
// here from its published signatures and records, and bound at run time: the program starts
// on desktops without it. Wide strings are UTF-16 (char16_t, WCHAR on Windows).
#pragma once

#include <cstdint>
#include <string>

#if defined(_WIN32) && !defined(_WIN64)
#define VELTRANE_RAPI_CALL __stdcall
#else
#define VELTRANE_RAPI_CALL
#endif

using CeHandle = void*;
using CeKey = void*;
using CeBool = int32_t;
using CeResult = int32_t;  // HRESULT, or LONG for the registry calls: 32 bits on every build

// HKEY_LOCAL_MACHINE as the Windows headers define it (sign-extended on 64-bit builds).
inline CeKey CeLocalMachine() { return reinterpret_cast<CeKey>(static_cast<intptr_t>(static_cast<int32_t>(0x80000002u))); }

constexpr uint32_t kCeGenericWrite = 0x40000000;
constexpr uint32_t kCeShareReadWrite = 0x00000003;
constexpr uint32_t kCeCreateAlways = 2;
constexpr uint32_t kCeFileAttributeNormal = 0x80;
constexpr uint32_t kCeCreateNewConsole = 0x10;

// RAPIINIT: 12 bytes in the 32-bit program, 24 in the 64-bit one.
struct RAPIINIT {
    uint32_t cbSize;
    CeHandle heRapiInit;  // signalled when the link is up
    CeResult hrRapiInit;
};
static_assert(sizeof(RAPIINIT) == (sizeof(void*) == 8 ? 24 : 12));

// The handset's power status: 24 bytes on every build.
struct SYSTEM_POWER_STATUS_EX {
    uint8_t ACLineStatus;
    uint8_t BatteryFlag;
    uint8_t BatteryLifePercent;  // 0..100, 255 unknown
    uint8_t Reserved1;
    uint32_t BatteryLifeTime;
    uint32_t BatteryFullLifeTime;
    uint8_t Reserved2;
    uint8_t BackupBatteryFlag;
    uint8_t BackupBatteryLifePercent;
    uint8_t Reserved3;
    uint32_t BackupBatteryLifeTime;
    uint32_t BackupBatteryFullLifeTime;
};
static_assert(sizeof(SYSTEM_POWER_STATUS_EX) == 24);

// PROCESS_INFORMATION as the handset reports it.
struct CeProcessInformation {
    CeHandle hProcess;
    CeHandle hThread;
    uint32_t dwProcessId;
    uint32_t dwThreadId;
};

using CeRapiUninitFunction = CeResult VELTRANE_RAPI_CALL();
using CeRapiInitExFunction = CeResult VELTRANE_RAPI_CALL(RAPIINIT* init);
using CeGetSystemPowerStatusExFunction = CeBool VELTRANE_RAPI_CALL(SYSTEM_POWER_STATUS_EX* status, CeBool update);
using CeCreateFileFunction = CeHandle VELTRANE_RAPI_CALL(const char16_t* name, uint32_t access, uint32_t share,
                                                         void* security, uint32_t disposition, uint32_t attributes,
                                                         CeHandle templateFile);
using CeWriteFileFunction = CeBool VELTRANE_RAPI_CALL(CeHandle file, const void* data, uint32_t size,
                                                      uint32_t* written, void* overlapped);
using CeCloseHandleFunction = CeBool VELTRANE_RAPI_CALL(CeHandle handle);
using CeCreateProcessFunction = CeBool VELTRANE_RAPI_CALL(const char16_t* program, const char16_t* commandLine,
                                                          void* processSecurity, void* threadSecurity,
                                                          CeBool inherit, uint32_t flags, void* environment,
                                                          char16_t* folder, void* startup,
                                                          CeProcessInformation* information);
using CeRegOpenKeyExFunction = CeResult VELTRANE_RAPI_CALL(CeKey key, const char16_t* subkey, uint32_t options,
                                                           uint32_t access, CeKey* result);
using CeRegQueryValueExFunction = CeResult VELTRANE_RAPI_CALL(CeKey key, const char16_t* name, uint32_t* reserved,
                                                              uint32_t* type, uint8_t* data, uint32_t* size);
using CeRegCloseKeyFunction = CeResult VELTRANE_RAPI_CALL(CeKey key);

struct RemoteApi {
    CeRapiUninitFunction* CeRapiUninit;
    CeRapiInitExFunction* CeRapiInitEx;
    CeGetSystemPowerStatusExFunction* CeGetSystemPowerStatusEx;
    CeCreateFileFunction* CeCreateFile;
    CeWriteFileFunction* CeWriteFile;
    CeCloseHandleFunction* CeCloseHandle;
    CeCreateProcessFunction* CeCreateProcess;
    CeRegOpenKeyExFunction* CeRegOpenKeyEx;
    CeRegQueryValueExFunction* CeRegQueryValueEx;
    CeRegCloseKeyFunction* CeRegCloseKey;
    // The desktop's wait on the link event (WaitForSingleObject): true when it was signalled in time.
    bool (*WaitForLink)(CeHandle event, uint32_t milliseconds);
};

// rapi.dll's table (loaded once, kept for the process's life); nullptr when rapi.dll or one
// of its calls is missing (always so where there is no Windows).
const RemoteApi* PlatformRemoteApi();
// The installed table, else the platform's.
const RemoteApi* BoundRemoteApi();
// Installs a table for the whole process (nullptr returns to rapi.dll). For tests.
void InstallRemoteApi(const RemoteApi* api);

// Single-byte text to UTF-16, with the ANSI code page on Windows.
std::u16string AnsiToUtf16(const char* text);
