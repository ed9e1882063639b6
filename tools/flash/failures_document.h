// The table of every way a run can end, as Markdown: docs/failures.md is this text
// (`veltrane-flash failures`), so the document and the table cannot drift apart.
#pragma once

#include <string>

std::string FailuresDocument();
