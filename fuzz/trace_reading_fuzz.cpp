// Fuzz target for the trace reader behind `veltrane-flash explain`: any bytes are read as a
// trace or refused, never a crash, and a reading is one the table can stand behind: a known
// outcome and step, a failure text exactly when the run failed, and each file listed as
// written at most once.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_require.h"
#include "tools/flash/trace_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TraceReading reading;
    std::string error;
    if (!ReadTrace(bytes, reading, error)) {
        REQUIRE(!error.empty());
        return 0;
    }
    const std::string outcome = reading.outcome;
    REQUIRE(outcome == kTraceOk || outcome == kTraceFailed || outcome == kTraceIncomplete);
    REQUIRE(reading.step != nullptr && FindRunStep(reading.step->word) == reading.step);
    REQUIRE((outcome == kTraceFailed) == !reading.failure.empty());
    REQUIRE((outcome == kTraceIncomplete) == (reading.ending == nullptr));
    REQUIRE(!reading.advice.empty());
    // Files the handset can hold, each listed once.
    const std::vector<std::string> files = {"partition.mbn", "qcsblhd_cfgdata.mbn", "qcsbl.mbn", "oemsblhd.mbn",
                                            "oemsbl.mbn", "amsshd.mbn", "amss.mbn", "appsboothd.mbn",
                                            "appsboot.mbn", "FLASH.bin", "cefs_modem.mbn"};
    for (size_t index = 0; index < reading.written.size(); ++index) {
        REQUIRE(std::find(files.begin(), files.end(), reading.written[index]) != files.end());
        for (size_t other = 0; other < index; ++other) REQUIRE(reading.written[other] != reading.written[index]);
    }
    return 0;
}
