// box_watcher LOG: records every message box that appears in its Wine prefix, one line per
// box ("caption<TAB>text", with \, tab and line breaks written as \\, \t and \n), in the
// order they appear, then presses the box's default button (OK on an MB_OK box). Runs until
// the prefix's wineserver ends it. Boxes already open when it starts are recorded too.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text
constexpr DWORD kPollMs = 20;

const char* logPath = nullptr;
std::set<HWND> pressed;  // boxes answered that may not have closed yet

std::string WindowText(HWND window) {
    char text[4096] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c != '\r') out += c;
    }
    return out;
}

void Record(const std::string& caption, const std::string& text) {
    // Opened per line, so that a reader sees each box as soon as it is answered.
    if (FILE* log = std::fopen(logPath, "ab")) {
        std::fprintf(log, "%s\t%s\n", Escaped(caption).c_str(), Escaped(text).c_str());
        std::fclose(log);
    }
}

BOOL CALLBACK AnswerIfMessageBox(HWND window, LPARAM) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    HWND textControl = GetDlgItem(window, kMessageTextId);
    if (std::string(className) != "#32770" || !textControl || pressed.count(window)) return TRUE;
    // A box is shown once its texts are in place: one still being built is read next round.
    if (!IsWindowVisible(window)) return TRUE;
    Record(WindowText(window), WindowText(textControl));
    LRESULT defaultButton = SendMessageA(window, DM_GETDEFID, 0, 0);
    WORD button = HIWORD(defaultButton) == DC_HASDEFID ? LOWORD(defaultButton) : IDOK;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    pressed.insert(window);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: box_watcher LOG\n");
        return 2;
    }
    logPath = argv[1];
    for (;;) {
        for (auto it = pressed.begin(); it != pressed.end();) it = IsWindow(*it) ? std::next(it) : pressed.erase(it);
        EnumWindows(AnswerIfMessageBox, 0);
        Sleep(kPollMs);
    }
}
