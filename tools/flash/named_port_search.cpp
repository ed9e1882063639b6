#include "tools/flash/named_port_search.h"

#include <string>

#include "transport/port_search.h"

int OpenNamedDownloadPort(const char* path, const PortAttemptWatcher& watcher) {
    PortSearch search;
    const std::string name = path;
    search.portName = [name](int) { return name; };
    if (watcher) search.observe = [&watcher](int attempt, const std::string&, int status) { watcher(attempt, status); };
    return SearchDownloadPort(search);
}
