// The view of a several-handset run: one row per handset, fed by its child's progress
// events. On a terminal the rows are redrawn in place, at most ten times a second;
// otherwise one plain line per stage change and per outcome. At the end, a summary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/flash/progress_event.h"

class HandsetTable {
public:
    // `names` are the handsets' run folder names, in the order of the command line. With no
    // `out` the table only keeps count (the JSON lines speak for themselves).
    HandsetTable(std::vector<std::string> names, std::FILE* out, bool terminal);

    // A child's event (or the parent's word on a child that ended without one).
    void Apply(size_t row, const ProgressEvent& event);
    // Terminal only: the rows as they stand, unless the last draw is under 100 ms old.
    void Draw(uint64_t nowMs, bool force);
    // One line per handset: OK, or failed / interrupted with the trace's last line.
    void PrintSummary();

    // The last event applied to the row (empty until its child speaks).
    const ProgressEvent& Event(size_t row) const { return rows_[row].event; }
    bool Ended(size_t row) const { return rows_[row].event.Ended(); }
    bool AllSucceeded() const;
    std::vector<std::string> Interrupted() const;

private:
    struct Row {
        std::string name;   // the run folder's: the plain lines and the summary
        std::string shown;  // the live table's (ShownNames)
        ProgressEvent event;
    };
    std::string RowLine(const Row& row, std::size_t nameWidth) const;

    std::vector<Row> rows_;
    std::FILE* out_;
    bool terminal_;
    bool drawn_ = false;
    uint64_t lastDrawMs_ = 0;
};
