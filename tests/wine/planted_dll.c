/* A DLL that must never be loaded: built under each name that the Windows programs bind at
   run time or import beyond the known DLLs, and planted in the program's folder and the
   current folder. Loaded, it leaves a file named after itself in the folder that
   VELTRANE_DLL_MARKERS names, and fails its load. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t folder[MAX_PATH];
    wchar_t module[MAX_PATH];
    wchar_t mark[2 * MAX_PATH + 8];
    DWORD length = GetEnvironmentVariableW(L"VELTRANE_DLL_MARKERS", folder, MAX_PATH);
    DWORD moduleLength = GetModuleFileNameW(self, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || moduleLength == 0 || moduleLength >= MAX_PATH) return FALSE;
    const wchar_t* name = module;
    for (const wchar_t* at = module; *at; ++at)
        if (*at == L'\\') name = at + 1;
    wsprintfW(mark, L"%s\\%s", folder, name);
    HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, module, moduleLength * (DWORD)sizeof(wchar_t), &written, NULL);
        CloseHandle(file);
    }
    return FALSE;
}
