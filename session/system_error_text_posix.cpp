#include <cstring>

#include "session/system_error_text.h"

std::string SystemErrorText(int status) {
    if (status == -1) return "the port is closed or did not answer in time";
    return std::strerror(status);
}
