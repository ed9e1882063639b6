// `veltrane-flash explain TRACE... [--json]`: what each trace says of its run, and with
// several, how many runs ended with each text (a repair bench's day in one view).
// `veltrane-flash failures`: the table of every way a run can end, as docs/failures.md holds it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/flash/trace_reading.h"

// Status 0 when every trace was read, 1 when one could not be, 2 for a usage error.
int RunExplain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

// The trace file's reading, or false with `error` (it cannot be read, or is no trace of ours).
bool ExplainTraceFile(const std::string& path, TraceReading& reading, std::string& error);

// One JSON object, without the newline.
std::string ExplainJson(const std::string& path, const TraceReading& reading);

// What the console flasher prints on stderr after a failed run: the step and what to do.
std::string AdviceLines(const TraceReading& reading);
