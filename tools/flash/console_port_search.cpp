#include "tools/flash/console_port_search.h"

#include "session/trace_log.h"
#include "tools/flash/console_display.h"
#include "session/system_error_text.h"

int SearchPortOnConsole(PortSearch search, const std::string& what, ConsoleDisplay& display, std::FILE* errors) {
    std::string lastFailure;
    int attempts = 0;
    search.observe = [&](int attempt, const std::string& name, int status) {
        attempts = attempt;
        if (status == 0) return;
        lastFailure = SystemErrorText(status);
        display.ShowPortWait(FormatText("  waiting for %s: %s (attempt %d of %d)", name.empty() ? what.c_str() : name.c_str(),
                                        lastFailure.c_str(), attempt, kPortSearchAttempts + 1));
    };
    if (SearchDownloadPort(search)) return 1;
    display.CloseLine();  // the terminal may be shared with `errors`: start a line of our own
    std::fprintf(errors,
                 "veltrane-flash: gave up on %s after %d attempts: %s\n"
                 "  Is the handset in download mode? Is %s the right path? Does another program hold the port?\n",
                 what.c_str(), attempts, lastFailure.c_str(), what.c_str());
    std::fflush(errors);
    return 0;
}

int SearchPortOnConsole(const char* path, ConsoleDisplay& display, std::FILE* errors) {
    PortSearch search;
    const std::string name = path;
    search.portName = [name](int) { return name; };
    return SearchPortOnConsole(std::move(search), name, display, errors);
}
