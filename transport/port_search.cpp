#include "transport/port_search.h"

#include "session/clock.h"
#include "session/trace_log.h"
#include "transport/port_io.h"

int SearchDownloadPort(const PortSearch& search) {
    for (int attempt = 1;; ++attempt) {
        const std::string name = search.portName(attempt);
        const int status = OpenPort(name.c_str());
        if (search.traceAttempts) TraceFormat("Open port %s status %d\n", name.c_str(), status);
        if (search.observe) search.observe(attempt, name, status);
        if (status != 0) {
            ClosePort();
            SleepMs(kPortSearchPauseMs);
        }
        if (attempt > kPortSearchAttempts) {
            Trace().Append("Can't Connected Port.\n");
            ClosePort();
            return 0;
        }
        if (status == 0) return 1;
    }
}

std::string SerialDownloadPortName(int attempt) {
    const int number = (attempt - 1) % 99 + 1;
    return FormatText(number < 10 ? "\\\\.\\wceusbsh00%d" : "\\\\.\\wceusbsh0%d", number);
}
