#include "tools/flash/console_port_search.h"

#include "session/trace_log.h"
#include "tools/flash/console_display.h"
#include "tools/flash/named_port_search.h"
#include "tools/flash/system_error_text.h"

int SearchPortOnConsole(const char* path, ConsoleDisplay& display, std::FILE* errors) {
    std::string lastFailure;
    int attempts = 0;
    int opened = OpenNamedDownloadPort(path, [&](int attempt, int status) {
        attempts = attempt;
        if (status == 0) return;
        lastFailure = SystemErrorText(status);
        display.ShowPortWait(FormatText("  waiting for %s: %s (attempt %d of %d)", path, lastFailure.c_str(), attempt,
                                        kNamedPortAttempts));
    });
    if (opened) return 1;
    display.CloseLine();  // the terminal may be shared with `errors`: start a line of our own
    std::fprintf(errors,
                 "veltrane-flash: gave up on %s after %d attempts: %s\n"
                 "  Is the handset in download mode? Is %s the right path? Does another program hold the port?\n",
                 path, attempts, lastFailure.c_str(), path);
    std::fflush(errors);
    return 0;
}
