// veltrane-flash: the run from the flash programmer to the reset, against a handset that
// is already in download mode, from a terminal. The same run driver, trace and protocol as
// Veltrane.exe; no desktop programs or services are cleared (there are none to clear here).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "platform/own_program_path_win32.h"
#include "platform/system_library_win32.h"
#include "platform/wide_path_win32.h"
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "package/package_header.h"
#include "protocol/run_steps.h"
#include "session/message_box.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "session/trace_log.h"
#include "tools/flash/console_display.h"
#include "tools/flash/console_port_search.h"
#include "tools/flash/explain_command.h"
#include "tools/flash/failures_document.h"
#include "tools/flash/progress_event.h"
#include "tools/flash/run_folders.h"
#include "tools/flash/several_handsets.h"
#include "veltrane_version.h"
#ifdef _WIN32
#include "transport/port_discovery.h"
#include "ui/windows_version.h"
#endif

namespace {

const char kCommonOptions[] =
    "  --package FILE   the file that carries the firmware package (default: this program)\n"
    "  --settings FILE  the seven-character run settings (default: a.ini)\n"
    "  --progress json  one JSON object per line on stdout instead of the progress display\n"
    "  --runs DIR       with several ports: where the handsets' run folders go (default: runs)\n"
    "  --version        print the program's version and end\n"
    "After a failed run the step it ended at and what to do are printed on stderr, before the\n"
    "failure text. Also: veltrane-flash explain TRACE... [--json] reads traces back;\n"
    "veltrane-flash failures prints the table of every way a run can end.\n"
    "With one port the run's record is written to trace.txt in the current directory. With\n"
    "several, each handset is flashed at once by a process of its own in DIR/NAME (NAME: the\n"
    "port's last path component), where its trace.txt lies; the exit status is 0 only when\n"
    "every handset was flashed, 1 otherwise, 2 for a command refused before anything started\n"
    "(a port named twice, a run folder that cannot be made). Ctrl-C ends every handset's\n"
    "process; a second Ctrl-C ends this one at once, naming a handset that is still running.\n";

#ifdef _WIN32
const char kPortUsage[] =
    "usage: veltrane-flash [--port PORT]... [--package FILE] [--settings FILE] [--progress json] [--runs DIR]\n"
    "\n"
    "Flashes handsets that are in download mode: the flash programmer, the partition table,\n"
    "the images selected by the settings file, and reset.\n"
    "  --port PORT      a serial-style port (\\\\.\\wceusbsh001: the Windows XP road) or a WinUSB\n"
    "                   device interface path (\\\\?\\usb#...: the Vista and 7 road); without it\n"
    "                   the Windows version decides and the port is searched as Veltrane.exe does;\n"
    "                   named again, one more handset\n";
#else
const char kPortUsage[] =
    "usage: veltrane-flash --port PATH [--port PATH]... [--package FILE] [--settings FILE] [--progress json]\n"
    "                      [--runs DIR]\n"
    "\n"
    "Flashes handsets that are in download mode on PATH (e.g. /dev/ttyUSB0): the flash\n"
    "programmer, the partition table, the images selected by the settings file, and reset.\n"
    "  --port PATH      named again, one more handset\n";
#endif

std::string Usage() { return std::string(kPortUsage) + kCommonOptions; }

std::string OwnProgramFile(const char* argv0) {
#ifdef _WIN32
    std::string path = OwnProgramPath();
    return path.empty() ? argv0 : path;
#else
    char path[4096] = {};
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) return std::string(path, static_cast<size_t>(length));
    return argv0;
#endif
}

std::string portPath;

#ifdef _WIN32
// A device interface path (\\?\usb#...) takes the WinUSB road, any other name the serial
// one; without a port the Windows version decides, as in the wizard.
bool ChoosePortRoad() {
    if (!portPath.empty()) {
        Environment = portPath.rfind("\\\\?\\", 0) == 0 ? 1 : 0;
        return true;
    }
    if (ApplyWindowsVersionGate()) return true;
    std::fprintf(stderr, "veltrane-flash: this Windows version has no download road of its own (XP, Vista and 7 "
                         "have); name the port with --port\n%s", Usage().c_str());
    return false;
}

int SearchDownloadPortOnConsole(ConsoleDisplay& display) {
    return SearchPortOnConsole(DownloadPortSearch(), "the download port", display, stderr);
}
#else
bool ChoosePortRoad() {
    Environment = 0;  // the tty port, whatever the road
    if (!portPath.empty()) return true;
    std::fprintf(stderr, "veltrane-flash: --port is required\n%s", Usage().c_str());
    return false;
}

int SearchDownloadPortOnConsole(ConsoleDisplay&) { return 0; }
#endif

// A failed step ends the process from the run's thread: the JSON reader still hears how.
ConsoleDisplay* runDisplay = nullptr;
std::string adviceGiven;
bool adviceShown = false;

// Once per run, on stderr, before the failure text (which stays the last thing said): where
// the run ended and what to do. A text that is never traced speaks for itself (a trace.txt
// left there may be an earlier run's); else the trace, else the text shown.
void ShowAdvice(const std::optional<std::string>& shownText) {
    if (adviceShown) return;
    adviceShown = true;
    TraceReading shown;
    const bool known = shownText && ReadShownText(*shownText, shown);
    TraceReading reading;
    std::string error;
    if (known && !shown.ending->inTrace) reading = shown;
    else if (!ExplainTraceFile(kTraceFileName, reading, error)) {
        if (!known) return;
        reading = shown;
    } else if (reading.outcome != std::string(kTraceFailed) && known) reading = shown;
    std::fflush(stdout);
    std::fprintf(stderr, "\n%s", AdviceLines(reading).c_str());
    adviceGiven = reading.advice;
}

void ShowFailureAtExit() {
    if (!runDisplay) return;
    ShowAdvice(std::nullopt);
    runDisplay->ShowOutcome(kOutcomeFailed, LastLineOf(ReadWholeText(kTraceFileName)), adviceGiven);
}

}  // namespace

int RunFlasher(int argc, char** argv) {
#ifdef _WIN32
    StartWithSafeDllSearch();
#endif
    if (argc >= 2 && argv[1] == std::string("explain"))
        return RunExplain(std::vector<std::string>(argv + 2, argv + argc), stdout, stderr);
    if (argc == 2 && argv[1] == std::string("failures")) {
        std::fputs(FailuresDocument().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::string package;
    std::string settings = kRunSettingsFile;
    std::vector<std::string> ports;
    std::string runs = "runs";
    ProgressFormat format = ProgressFormat::kText;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool hasValue = i + 1 < argc;
        if (option == "--port" && hasValue) ports.push_back(argv[++i]);
        else if (option == "--package" && hasValue) package = argv[++i];
        else if (option == "--settings" && hasValue) settings = argv[++i];
        else if (option == "--runs" && hasValue) runs = argv[++i];
        else if (option == "--progress" && hasValue && (argv[i + 1] == std::string("json") || argv[i + 1] == std::string("text"))) {
            format = argv[++i] == std::string("json") ? ProgressFormat::kJson : ProgressFormat::kText;
        } else if (option == "--help" || option == "-h") {
            std::fputs(Usage().c_str(), stdout);
            return 0;
        } else if (option == "--version") {
            std::printf("veltrane-flash %s\n", VELTRANE_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "veltrane-flash: unexpected argument '%s'\n%s", argv[i], Usage().c_str());
            return 2;
        }
    }
    if (ports.size() > 1) {
        SeveralHandsetsRun run;
        run.ports = ports;
        run.runs = runs;
        run.program = OwnProgramFile(argv[0]);
        // The children run in folders of their own: what they share is named by full path.
        if (!package.empty()) run.shared = {"--package", AbsolutePath(package)};
        run.shared.insert(run.shared.end(), {"--settings", AbsolutePath(settings)});
        run.format = format;
        run.terminal = isatty(fileno(stdout)) != 0;
        return FlashSeveralHandsets(run, stdout, stderr);
    }
    if (!ports.empty()) portPath = ports.front();
    if (!ChoosePortRoad()) return 2;
    if (package.empty()) package = OwnProgramFile(argv[0]);
    if (package.size() >= kExecutableFileNameSize) {
        std::fprintf(stderr, "veltrane-flash: package path too long\n");
        return 2;
    }
    SetExecutableFileName(package.c_str());
    // The run will list every image as missing; say first why they are all missing.
    HeaderBlock header{};
    if (ReadPackageHeader(package.c_str(), header) == HeaderRead::kNoPackage)
        std::fprintf(stderr, "veltrane-flash: no firmware package in %s\n", package.c_str());

    accessMode = kAccessNormal;
    initialMode = 0;

    SessionState session;
    ConsoleDisplay display(stdout, isatty(fileno(stdout)) != 0, session, format, portPath);
    session.window = &display;
    runDisplay = &display;
    std::atexit(ShowFailureAtExit);
    currentSession = &session;
    mainWindow = &display;
    // Boxes become lines on stderr: the failure text is the last thing the run says.
    SetMessageBoxHandler([](const char* text, const char* caption, void*) {
        if (caption && caption == std::string("Error")) ShowAdvice(text);
        std::fflush(stdout);
        std::fprintf(stderr, "\n%s: %s\n", caption ? caption : "veltrane-flash", text);
    });

#ifdef _WIN32
    ReadRunSettingsFile(_wfopen(WidePath(settings).c_str(), L"rb"));
#else
    ReadRunSettings(settings.c_str());
#endif
    StepOperations steps = ProtocolStepOperations();
    steps.openDownloadPort = [&display] {
        if (!portPath.empty()) return SearchPortOnConsole(portPath.c_str(), display, stderr);
        return SearchDownloadPortOnConsole(display);
    };
    steps.closeHostPrograms = [] { return 1; };
    steps.clearHostServices = [](ServiceOrder) {};
    steps.restartHostPrograms = [] {};
    InstallStepOperations(steps);

    RunSession();
    std::string lastLine = LastLineOf(ReadWholeText(kTraceFileName));
    if (!display.Finished()) {
        // Without a trace the program file check failed: it put its text into the status line.
        const std::string status = display.GetControlText(kControlStatusText);
        ShowAdvice(LastLineOf(status));
        display.ShowOutcome(kOutcomeFailed, lastLine.empty() ? LastLineOf(status) : lastLine, adviceGiven);
        std::fprintf(stderr, "veltrane-flash: %s\n", status.c_str());
        runDisplay = nullptr;
        return 1;
    }
    display.ShowOutcome(kOutcomeOk, lastLine);
    runDisplay = nullptr;
    if (format == ProgressFormat::kText) std::printf("Finished: the handset acknowledged the reset. Trace: %s/%s\n", ".", kTraceFileName);
    return 0;
}

#ifdef _WIN32
// The command line is read wide and carried as UTF-8 from here on: a folder or file named
// outside the ANSI code page (Cyrillic, CJK on a code page 1252 desktop) still reaches its files.
int wmain(int argc, wchar_t** wideArguments) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(Utf8Path(wideArguments[i]));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return RunFlasher(argc, argv.data());
}
#else
int main(int argc, char** argv) { return RunFlasher(argc, argv); }
#endif
