// The console flasher's port search: the port is named on the command line, and is tried
// up to 301 times, 100 ms apart, while the handset enumerates (again, after GO).
#pragma once

// 1 when the port is open, 0 after the last attempt ("Can't Connected Port.\n" traced).
int OpenNamedDownloadPort(const char* path);
