#include "tools/flash/named_port_search.h"

#include "session/clock.h"
#include "session/trace_log.h"
#include "transport/port_io.h"

int OpenNamedDownloadPort(const char* path, const PortAttemptWatcher& watcher) {
    for (int attempt = 1;; ++attempt) {
        int status = OpenPort(path);
        TraceFormat("Open port %s status %d\n", path, status);
        if (watcher) watcher(attempt, status);
        if (status != 0) {
            ClosePort();
            SleepMs(100);
        }
        if (attempt >= kNamedPortAttempts) {  // the last attempt ends the search, even one that opened
            Trace().Append("Can't Connected Port.\n");
            ClosePort();
            return 0;
        }
        if (status == 0) return 1;
    }
}
