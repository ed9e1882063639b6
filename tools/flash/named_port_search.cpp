#include "tools/flash/named_port_search.h"

#include "session/clock.h"
#include "session/trace_log.h"
#include "transport/port_io.h"

namespace {
constexpr int kAttempts = 300;  // the 301st attempt ends the search
}

int OpenNamedDownloadPort(const char* path) {
    for (int attempt = 1;; ++attempt) {
        int status = OpenPort(path);
        TraceFormat("Open port %s status %d\n", path, status);
        if (status != 0) {
            ClosePort();
            SleepMs(100);
        }
        if (attempt > kAttempts) {
            Trace().Append("Can't Connected Port.\n");
            ClosePort();
            return 0;
        }
        if (status == 0) return 1;
    }
}
