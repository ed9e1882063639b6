#include "tools/flash/failures_document.h"

#include "session/run_endings.h"

namespace {

// A text as the source writes it: line ends shown as \n, inside code marks.
std::string Shown(const std::string& text) {
    std::string shown;
    for (char c : text) shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    return "`\"" + shown + "\"`";
}

}  // namespace

std::string FailuresDocument() {
    std::string text =
        "# When a run fails\n"
        "\n"
        "<!-- Generated from the program's table of run endings by `make failures-doc`\n"
        "     (`veltrane-flash failures`); a test fails when this file and the table differ. -->\n"
        "\n"
        "Every way a run of Veltrane.exe or veltrane-flash can end, step by step in run order: the\n"
        "text it ends with (the programs' own, byte for byte; `%s` stands for any text, `%d` and\n"
        "`%x` for a number), where it shows, what the handset holds at that moment, whether it may\n"
        "be unplugged and what to do. One text can end two steps (FLASH.bin's open and close both\n"
        "end \"Can't Open Flash.bin\"): `veltrane-flash explain TRACE` tells them apart by the\n"
        "step's heading lines in the trace.\n"
        "\n"
        "The partition table, the QCSBL header, QCSBL, OEMSBL and APPSBOOT replace the handset's\n"
        "boot loaders; AMSS goes between OEMSBL and APPSBOOT, so the boot chain is whole again only\n"
        "once APPSBOOT is closed. A connection lost anywhere from the partition table to that\n"
        "close can leave a handset that does not start.\n"
        "\n"
        "## What the handset holds\n"
        "\n"
        "| Word | Meaning |\n"
        "|---|---|\n";
    for (int index = 0; index < kHoldsCount; ++index) {
        const auto holds = static_cast<HandsetHolds>(index);
        text += std::string("| `") + HoldsWord(holds) + "` | " + HoldsText(holds) + " |\n";
    }
    text += "\n## Unplugging\n\n| Word | Meaning |\n|---|---|\n";
    for (int index = 0; index < kUnpluggingCount; ++index) {
        const auto unplug = static_cast<Unplugging>(index);
        text += std::string("| `") + UnpluggingWord(unplug) + "` | " + UnpluggingText(unplug) + " |\n";
    }
    text += "\n## Steps and their endings\n";
    for (const RunStep& step : RunSteps()) {
        text += "\n### " + step.name + " (`" + step.word + "`)\n\n";
        if (step.traced)
            text += std::string("A trace that stops here without a failure text: handset `") + HoldsWord(step.holds) +
                    "`" + (step.replacesBootLoader ? "; the boot chain may be half new here" : "") +
                    ".\n";
        else
            text += "Before the trace: these endings leave no trace.txt of their own (one left by an earlier run "
                    "is not this run's).\n";
        for (const RunEnding& ending : RunEndings()) {
            if (ending.step != step.word) continue;
            text += "\n- " + Shown(ending.text) + (ending.listed ? " (one of the words the image check lists)" : "") +
                    (ending.precededBy.empty() ? "" : " after a line " + Shown(ending.precededBy + "...")) + "\n";
            text += "  - Shown: " + ending.shownAs + (ending.inTrace ? "" : " (not in the trace)") + "; " +
                    ending.programs + ".\n";
            text += std::string("  - Holds: `") + HoldsWord(ending.holds) + "`. Unplug: `" +
                    UnpluggingWord(ending.unplug) + "`.\n";
            text += "  - What happened: " + ending.meaning + "\n";
            text += "  - What to do: " + ending.advice + "\n";
        }
    }
    return text;
}
