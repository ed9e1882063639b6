#include <windows.h>

#include "session/system_error_text.h"

std::string SystemErrorText(int status) {
    if (status == -1) return "the port is closed or did not answer in time";
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(status), 0, text, sizeof text, nullptr);
    // The system's texts end in ".\r\n": one line of ours holds them.
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) --length;
    if (length == 0) return "error " + std::to_string(status);
    return std::string(text, length);
}
