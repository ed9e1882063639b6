// A program that the import checks must refuse: it needs Windows Vista, imports SETUPAPI (no
// known DLL) and GDI+ (without the manifest) statically, and calls no InitCommonControlsEx.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>
#include <setupapi.h>

extern "C" void WINAPI GdiplusShutdown(ULONG_PTR token);

int main() {
    GdiplusShutdown(0);
    return static_cast<int>(GetTickCount64() & 1) + (SetupDiDestroyDeviceInfoList(nullptr) ? 1 : 0);
}
