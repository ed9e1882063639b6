#include "session/message_box.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
MessageBoxHandler& InstalledHandler() {
    static auto* handler = new MessageBoxHandler;  // never destroyed: boxes may come while the process exits
    return *handler;
}
}  // namespace

void ShowMessageBox(const char* text, const char* caption, void* owner) {
    MessageBoxHandler& handler = InstalledHandler();
    if (handler) {
        handler(text, caption, owner);
        return;
    }
#ifdef _WIN32
    MessageBoxA(static_cast<HWND>(owner), text, caption ? caption : "Veltrane", MB_OK);
#else
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "Veltrane", text);
#endif
}

void SetMessageBoxHandler(MessageBoxHandler handler) { InstalledHandler() = std::move(handler); }
