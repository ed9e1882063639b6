// recording_command: stands in for a program that the host clean-up starts (taskkill.exe,
// tskill.exe, wmdc.exe, wcescomm.exe, WCESMgr.exe: copied under those names) and records how
// it was started, one file per start in the folder named by VELTRANE_COMMAND_LOG:
//   <own file name>|<parameters>|<working folder>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// The command line after the program's own name (quoted or not) and the blanks after it.
const char* Parameters(const char* line) {
    if (*line == '"') {
        line = std::strchr(line + 1, '"');
        line = line ? line + 1 : "";
    } else {
        while (*line && *line != ' ' && *line != '\t') ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

}  // namespace

int main() {
    char folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("VELTRANE_COMMAND_LOG", folder, sizeof folder)) return 2;
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    const char* name = std::strrchr(module, '\\');
    name = name ? name + 1 : module;
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof current, current);

    char path[MAX_PATH + 64];
    std::snprintf(path, sizeof path, "%s\\%lu-%lu.txt", folder, GetCurrentProcessId(), GetTickCount());
    if (FILE* record = std::fopen(path, "wb")) {
        std::fprintf(record, "%s|%s|%s\n", name, Parameters(GetCommandLineA()), current);
        std::fclose(record);
    }
    return 0;
}
