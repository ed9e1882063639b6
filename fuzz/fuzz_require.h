// A property the fuzz targets check: when it does not hold, the input that broke it is
// reported by libFuzzer (abort is a crash it keeps).
#pragma once

#include <cstdio>
#include <cstdlib>

#define REQUIRE(condition)                                                                  \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "property failed: %s (line %d)\n", #condition, __LINE__); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (false)
