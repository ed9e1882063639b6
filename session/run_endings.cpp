#include "session/run_endings.h"

#include <cctype>

#include "session/image_targets.h"

namespace {

constexpr const char* kBoth = "Veltrane.exe, veltrane-flash";
constexpr const char* kWizard = "Veltrane.exe";
constexpr const char* kConsole = "veltrane-flash";
constexpr const char* kTraceAndError = "trace; \"Error\" box (veltrane-flash: \"Error: \" on stderr)";

// Advice shared by many rows.
constexpr const char* kRunAgainNothingWritten =
    "Nothing was written: the handset is safe. Unplug it, plug it into another USB port (on the desktop "
    "itself, not a hub) or use another cable, restart it into download mode and run again.";
constexpr const char* kRunAgainAtOnce =
    "Do not switch the handset off. Run again at once: a new run writes the partition table and every "
    "selected image from the start. If the new run ends with \"Send Hex Failure\" (the handset still runs "
    "this run's flash programmer), restart the handset into download mode and run again; if it no longer "
    "shows up as a download port at all, it needs an emergency download on a repair bench: do not keep "
    "retrying.";
constexpr const char* kRunAgainOperatingSystem =
    "The boot loaders are complete, so the handset should still start its boot loader and download mode, "
    "but not the new Windows Mobile. Restart it into download mode and run again; try another USB port or "
    "cable if the trace shows time-outs.";

// The words of HandsetHolds and Unplugging, in their order, and what they mean.
struct Described {
    const char* word;
    const char* text;
};
constexpr Described kHoldsWords[kHoldsCount] = {
    {"untouched", "The program did not speak to the handset: it holds what it held before."},
    {"windows-mobile", "The handset still runs Windows Mobile; nothing on it changed."},
    {"nothing-written",
     "The handset is in download mode (its boot loader, or the flash programmer in RAM); nothing was written to "
     "its flash."},
    {"unknown", "The trace cannot tell whether the handset took the last request."},
    {"partly-written",
     "The handset's flash is partly rewritten: the partition table and the images listed as written are new, the "
     "image of the failed step is incomplete, the others not written in this run."},
    {"everything-written", "Every selected image was written and acknowledged."},
};
constexpr Described kUnpluggingWords[kUnpluggingCount] = {
    {"yes", "Yes: nothing is being written."},
    {"keep-powered",
     "Yes, once the program has ended, but do not switch the handset off or take its battery out: a boot loader "
     "or the partition table may be half-written and it may not start again."},
    {"when-ended", "Only once the program has ended: until then a run may still be writing."},
};

// What each image step is for the operator, in run order.
// `bootLoader`: the step comes while the boot chain may be half new, from the first boot
// loader to APPSBOOT's close (AMSS goes between OEMSBL and APPSBOOT).
struct TargetWords {
    const char* word;
    const char* name;
    bool bootLoader;
    const char* note;  // said of the handset after a failure at the step
};
constexpr const char* kReplacesBootLoader =
    " This step replaces a boot loader: the handset may not start until a run completes.";
constexpr TargetWords kTargetWords[] = {
    {"qcsbl-header", "the QCSBL header (Qualcomm secondary boot loader)", true, kReplacesBootLoader},
    {"qcsbl", "QCSBL (Qualcomm secondary boot loader)", true, kReplacesBootLoader},
    {"oemsbl", "OEMSBL (OEM secondary boot loader, its header sent with the open)", true, kReplacesBootLoader},
    {"amss", "AMSS (the modem firmware, its header sent with the open)", true,
     " AMSS goes between OEMSBL and APPSBOOT: until APPSBOOT is written too, new boot loaders may stand beside an "
     "old one, and the handset may not start until a run completes."},
    {"appsboot", "APPSBOOT (the application boot loader, its header sent with the open)", true, kReplacesBootLoader},
    {"flash-bin", "FLASH.bin (Windows Mobile)", false, " The boot loaders were complete before this step."},
    {"cefs", "CEFS (the modem's file system)", false, " The boot loaders were complete before this step."},
};

std::vector<RunStep> BuildSteps() {
    std::vector<RunStep> steps = {
        {kStepCommand, "the console flasher's command line", HandsetHolds::kUntouched, Unplugging::kSafe, false, false},
        {kStepStartUp, "start-up (password, Windows version, the package)", HandsetHolds::kUntouched,
         Unplugging::kSafe, false, false},
        {kStepSwitch, "the switch from Windows Mobile to download mode", HandsetHolds::kWindowsMobile,
         Unplugging::kSafe, false, false},
        {kStepWaiting, "waiting for the download port", HandsetHolds::kWindowsMobile, Unplugging::kSafe, false, false},
        {kStepChecks, "the run's checks (trace, program file, image set)", HandsetHolds::kNothingWritten,
         Unplugging::kSafe, false},
        {kStepHost, "stopping desktop programs and services", HandsetHolds::kNothingWritten, Unplugging::kSafe, false},
        {kStepPort, "opening the download port", HandsetHolds::kNothingWritten, Unplugging::kSafe, false},
        {kStepProgrammer, "loading the flash programmer into RAM", HandsetHolds::kNothingWritten, Unplugging::kSafe,
         false},
        {kStepGo, "starting the flash programmer (GO)", HandsetHolds::kNothingWritten, Unplugging::kSafe, false},
        {kStepReconnect, "opening the port again after GO", HandsetHolds::kNothingWritten, Unplugging::kSafe, false},
        {kStepHello, "the programmer's hello", HandsetHolds::kNothingWritten, Unplugging::kSafe, false},
        {kStepSecurityMode, "the security mode", HandsetHolds::kNothingWritten, Unplugging::kSafe, false},
        {kStepPartitionTable, "the partition table", HandsetHolds::kUnknown, Unplugging::kKeepPowered, true},
    };
    for (const TargetWords& target : kTargetWords) {
        const Unplugging unplug = target.bootLoader ? Unplugging::kKeepPowered : Unplugging::kSafe;
        steps.push_back({std::string(target.word) + kOpenSuffix, std::string("the open of ") + target.name,
                         HandsetHolds::kPartlyWritten, unplug, target.bootLoader});
        steps.push_back({std::string(target.word) + kWriteSuffix, std::string("the writing of ") + target.name,
                         HandsetHolds::kPartlyWritten, unplug, target.bootLoader});
        steps.push_back({std::string(target.word) + kCloseSuffix, std::string("the close of ") + target.name,
                         HandsetHolds::kPartlyWritten, unplug, target.bootLoader});
    }
    steps.push_back({kStepReset, "the reset", HandsetHolds::kEverythingWritten, Unplugging::kSafe, false});
    steps.push_back({kStepFinished, "the finish", HandsetHolds::kEverythingWritten, Unplugging::kSafe, false});
    return steps;
}

RunEnding Row(std::string step, std::string text, const char* shownAs, const char* programs, bool inTrace,
              HandsetHolds holds, Unplugging unplug, std::string meaning, std::string advice) {
    RunEnding row;
    row.step = std::move(step);
    row.text = std::move(text);
    row.shownAs = shownAs;
    row.programs = programs;
    row.inTrace = inTrace;
    row.holds = holds;
    row.unplug = unplug;
    row.meaning = std::move(meaning);
    row.advice = std::move(advice);
    return row;
}

// The rows of one image: its open, write and close failures, each at its own step.
void AddImageRows(std::vector<RunEnding>& rows, const ImageTargetInfo& info, const TargetWords& target) {
    const Unplugging unplug = target.bootLoader ? Unplugging::kKeepPowered : Unplugging::kSafe;
    const char* again = target.bootLoader ? kRunAgainAtOnce : kRunAgainOperatingSystem;
    const std::string image = target.name;
    const struct {
        const char* suffix;
        const char* text;
        std::string meaning;
    } steps[] = {
        {kOpenSuffix, info.openFailure,
         "The handset refused the open of " + image + " or did not answer it; nothing of it was written."},
        {kWriteSuffix, info.writeFailure,
         "A chunk of " + image +
             " was not acknowledged (time-outs, replies spoilt, or the handset gone): the image is incomplete."},
        {kCloseSuffix, info.closeFailure,
         "Every chunk of " + image +
             " was acknowledged but its close was not: the trace cannot tell whether the handset took the image "
             "as whole, so it is not listed as written."},
    };
    for (const auto& step : steps)
        rows.push_back(Row(target.word + std::string(step.suffix), step.text, kTraceAndError, kBoth, true,
                           HandsetHolds::kPartlyWritten, unplug, step.meaning + target.note, again));
}

std::vector<RunEnding> BuildEndings() {
    const HandsetHolds untouched = HandsetHolds::kUntouched;
    const HandsetHolds nothing = HandsetHolds::kNothingWritten;
    const Unplugging safe = Unplugging::kSafe;
    std::vector<RunEnding> rows = {
        Row(kStepCommand, "veltrane-flash: unexpected argument '%s'", "stderr, status 2", kConsole, false, untouched,
            safe, "The command line was refused before anything started.", "Correct the command (see --help)."),
        Row(kStepCommand, "veltrane-flash: --port is required", "stderr, status 2", kConsole, false, untouched, safe,
            "No port was named (Linux).", "Name the handset's port with --port."),
        Row(kStepCommand,
            "veltrane-flash: this Windows version has no download road of its own (XP, Vista and 7 have); name the "
            "port with --port",
            "stderr, status 2", kConsole, false, untouched, safe,
            "The port cannot be searched for on this Windows version.", "Name the port with --port."),
        Row(kStepCommand, "veltrane-flash: package path too long", "stderr, status 2", kConsole, false, untouched,
            safe, "The package's path is longer than the run can carry.",
            "Move the package to a folder with a shorter path."),
        Row(kStepCommand, "veltrane-flash: the port %s is named twice; each handset needs a port of its own",
            "stderr, status 2", kConsole, false, untouched, safe, "One port was named twice.",
            "Name each handset's port once."),
        Row(kStepCommand, "veltrane-flash: can't prepare %s: %s", "stderr, status 2", kConsole, false, untouched, safe,
            "A handset's run folder could not be made; no handset was started.",
            "Choose a runs folder that can be written (--runs DIR)."),
        Row(kStepCommand, "can't %s: %s", "several-handset summary, status 1", kConsole, false, untouched, safe,
            "A handset's process could not be started (a pipe, its stderr.txt or the program itself).",
            "Free what the message names (file handles, disk space, the program's file) and run again."),
        Row(kStepCommand, "veltrane-flash: can't start the flasher for this handset in its run folder",
            "several-handset summary, status 1", kConsole, false, untouched, safe,
            "The handset's process could not change to its run folder or start the program.",
            "Check that the runs folder and the program can be reached, then run again."),
        Row(kStepCommand, "ended with status %d and no trace", "several-handset summary, status 1", kConsole, false,
            HandsetHolds::kUnknown, Unplugging::kWhenEnded,
            "A handset's process ended without a word and without a trace (killed, or it refused its command "
            "line: see its stderr.txt).",
            "Read the handset's stderr.txt in its run folder; run that handset again."),
        Row(kStepCommand, "still running: it did not end when asked to", "several-handset summary, status 1",
            kConsole, false, HandsetHolds::kUnknown, Unplugging::kWhenEnded,
            "After Ctrl-C a handset's process did not end; it may still be writing the handset.",
            "Do not unplug that handset until its process has ended (see the task list); then read its trace "
            "with veltrane-flash explain."),

        Row(kStepStartUp, "not correct password", "\"warning\" box, status 1", kWizard, false, untouched, safe,
            "The access password was wrong.", "Start Veltrane again and type the password you were given."),
        Row(kStepStartUp, "Not VISTA,win 7", "\"Warning\" box, status 1", kWizard, false, untouched, safe,
            "This Windows version is neither XP nor Vista nor 7: the program has no road to the handset on it.",
            "Use a desktop with Windows XP, Vista or 7 (or veltrane-flash with --port). Running again here is "
            "the wrong advice."),
        Row(kStepStartUp, "Windows \xE9\x80\x9A\xE8\xA8\x8A\xE7\xAB\xAF\xE5\xAE\x89\xE8\xA3\x9D\xE5\xA4\xB1\xE6\x95\x97\xE3\x80\x82",
            "\"Veltrane\" box (Windows Sockets could not be set up), status 1", kWizard, false, untouched, safe,
            "The desktop's network stack (Windows Sockets) is broken; no socket is used, but the program "
            "refuses to start on it.",
            "Repair the desktop's network stack (or use another desktop), then start Veltrane again."),
        Row(kStepStartUp, "Wrong Image-w", "\"Veltrane\" box, status 1", kWizard, false, untouched, safe,
            "This program carries no firmware package, or a damaged one, or one that is not ours.",
            "Do not use this program: get a good copy of it. Running again is the wrong advice."),
        Row(kStepStartUp, "Lack File: NPRG7200A.hex", "status text, checking line 1 failed", kWizard, false,
            untouched, safe, "The program could not find its own file (it was moved, renamed or deleted while it "
            "ran).",
            "Start the program again from where it lies, under its own name."),
        Row(kStepStartUp, "Can't Open File: NPRG7200A.hex", "status text, checking line 1 failed", kWizard, false,
            untouched, safe, "The program could not open its own file to read the package.",
            "Copy the program to a local folder you can read (not a network share still loading) and start it "
            "again."),
        Row(kStepChecks, "Can't create %s in %s", "\"Error\" box, status 1", kBoth, false, untouched, safe,
            "The trace cannot be written in the working folder; the run would write the handset blind, so "
            "nothing was started.",
            "Start the program from a folder you can write to."),
        Row(kStepStartUp, "Can't create the Veltrane window: %s", "\"Error\" box, status 1", kWizard, false,
            untouched, safe, "Windows refused to create the wizard's window.",
            "Restart the desktop and start Veltrane again."),
        Row(kStepStartUp, "You have to read fellowing notice items and choice accept.",
            "\"Notice.\" box; the wizard stays open", kWizard, false, untouched, safe,
            "Next was pressed without accepting the notice.", "Read the notice, tick its box and press Next again."),
        Row(kStepStartUp, "No Connected", "\"Notice.\" box; the wizard stays open", kWizard, false, untouched, safe,
            "No handset was found when Next was pressed.",
            "Plug the handset in (on in Windows Mobile, or in download mode), wait until the desktop has found "
            "it, and press Next again."),
        Row(kStepStartUp, "Port not Connected", "status text, checking line 2 failed", kWizard, false,
            HandsetHolds::kUnknown, safe, "The handset was not found again after the switch and the clean-up.",
            "Unplug the handset, plug it in again, wait until the desktop has found it and start Veltrane again."),
        Row(kStepStartUp, "Can't start the thread that waits for the handset (100 MiB stack)",
            "\"Error\" box, status 1", kWizard, false, HandsetHolds::kUnknown, safe,
            "The program lacked address space for its waiting thread.", "Close other programs and start again."),

        Row(kStepSwitch, "Can't init link", "\"Notice.\" box, status 1", kWizard, false, HandsetHolds::kWindowsMobile,
            safe, "The desktop's Remote API could not be started: ActiveSync or Windows Mobile Device Center is "
            "missing or not connected.",
            "Make sure the handset is connected in ActiveSync / Windows Mobile Device Center, then start "
            "Veltrane again."),
        Row(kStepSwitch, "Can't make a link", "\"Notice.\" box, status 1", kWizard, false,
            HandsetHolds::kWindowsMobile, safe, "The Remote API did not reach the handset.",
            "Unlock the handset's screen, wait until it is connected, then start Veltrane again."),
        Row(kStepSwitch, "Not enough battery volume.", "\"Notice.\" box, status 1", kWizard, false,
            HandsetHolds::kWindowsMobile, safe, "The battery is below 55 %: a run might not survive.",
            "Charge the handset above 55 % and run again."),
        Row(kStepSwitch, "Not correct version on Mobile Phone.   rev: %x %s", "\"Notice.\" box, status 1", kWizard,
            false, HandsetHolds::kWindowsMobile, safe,
            "The handset is not one this firmware is made for (its version is not among the accepted ones).",
            "Do not run again with this program: use the firmware made for this handset."),
        Row(kStepWaiting, "Can't Transfer from WinMobile to Download mode [CustLanguage %x]",
            "\"Warning\" box; checking line 3 failed, the wizard stays open", kWizard, false,
            HandsetHolds::kWindowsMobile, safe, "The handset did not leave Windows Mobile within a minute.",
            "Restart the handset, wait until it is connected again and press Next again."),
        Row(kStepWaiting,
            "Can't start the download thread (it needs 150 MiB of address space for its stack).\nClose other "
            "programs and start Veltrane again.",
            "\"Error\" box, status 1", kWizard, false, HandsetHolds::kUnknown, safe,
            "The run could not start for lack of address space; the handset may already be in download mode.",
            "Close other programs, restart the handset, and start Veltrane again."),

        Row(kStepChecks, "", "empty \"Warning\" and \"Error\" boxes, status 1; the trace ends after its first line",
            kBoth, false, nothing, safe,
            "The program file could not be read again between the run's two checks (moved, or locked by "
            "another program such as a virus scanner).",
            "Let nothing else hold the program's file and run again."),
        Row(kStepChecks, "NO File: %s", "trace; status text (veltrane-flash: stderr, status 1)", kBoth, true, nothing,
            safe, "The program file that carries the package was not found.",
            "Start the program by its full name from its own folder (or give --package)."),
    };
    const char* missingWords[] = {"NO HEX ", "NO partition "};
    std::vector<std::string> listed(std::begin(missingWords), std::end(missingWords));
    for (const ImageTargetInfo& info : kImageTargets) {
        if (info.headerMissingWord) listed.push_back(info.headerMissingWord);
        listed.push_back(info.bodyMissingWord);
    }
    for (const std::string& word : listed) {
        rows.push_back(Row(kStepChecks, word, "trace; \"Warning\" then \"Error\" box", kBoth, true, nothing, safe,
                           "The package lacks an image the run's settings select (the words list every one "
                           "missing).",
                           "Running again is the wrong advice: use a package that holds the images, or switch "
                           "them off in a.ini."));
        rows.back().listed = true;
    }
    rows.push_back(Row(kStepChecks, "NO memory for %s ", "trace; \"Warning\" then \"Error\" box", kBoth, true,
                       nothing, safe, "The program cannot hold the largest selected image in memory.",
                       "Close other programs and run again; on a 64-bit Windows use the 64-bit program."));
    rows.push_back(Row(kStepPort, "Can't Connected Port.\n",
                       "trace only, status 1, no box (veltrane-flash: \"gave up on ...\" on stderr)", kBoth, true, nothing,
                       safe, "No download port could be opened (about half a minute of attempts).",
                       "Check that the handset is in download mode and its driver installed; close programs that "
                       "hold the port; try another USB port or cable, then run again."));
    rows.push_back(Row(kStepProgrammer, "Send Hex Failure\n", kTraceAndError, kBoth, true, nothing, safe,
                       "The boot loader did not take the flash programmer; nothing was written to flash.",
                       kRunAgainNothingWritten));
    rows.push_back(Row(kStepReconnect, "Can't Connected Port.\n", "trace only, status 1, no box", kBoth, true,
                       nothing, safe, "After GO the handset did not come back as a download port.",
                       kRunAgainNothingWritten));
    rows.push_back(Row(kStepHello, "Can't Initial HELLO Tag", kTraceAndError, kBoth, true, nothing, safe,
                       "The flash programmer did not answer its hello: it may not have started.",
                       kRunAgainNothingWritten));
    rows.push_back(Row(kStepSecurityMode, "Can't Enable Secret Mode", kTraceAndError, kBoth, true, nothing, safe,
                       "The programmer did not take the security mode; nothing was written.",
                       kRunAgainNothingWritten));
    rows.push_back(Row(kStepPartitionTable, "Can't Send Partition", kTraceAndError, kBoth, true, nothing, safe,
                       "The handset's partition table differs and takes a new one only with every image, which "
                       "the package lacks (the \"Can't Load\" lines name them); or partition.mbn itself could not "
                       "be read. The handset kept its table; nothing was written.",
                       "Running again is the wrong advice: use a package that holds every image."));
    rows.back().precededBy = "Can't Load ";
    rows.push_back(Row(kStepPartitionTable, "Can't Send Partition", kTraceAndError, kBoth, true,
                       HandsetHolds::kUnknown, Unplugging::kKeepPowered,
                       "The partition table was not acknowledged: the trace cannot tell whether the handset took "
                       "it. No image was written in this run.",
                       kRunAgainAtOnce));
    for (std::size_t index = 0; index < std::size(kImageTargets); ++index)
        AddImageRows(rows, kImageTargets[index], kTargetWords[index]);
    rows.push_back(Row(kStepReset, "Reset Fail", kTraceAndError, kBoth, true, HandsetHolds::kEverythingWritten, safe,
                       "Every selected image was written and closed; only the reset was not acknowledged.",
                       "Do not run again: restart the handset by hand (take the battery out and put it back). It "
                       "should start the new firmware."));
    rows.push_back(Row(kStepFinished, "Finish", "trace; the finish page (veltrane-flash: status 0)", kBoth, true,
                       HandsetHolds::kEverythingWritten, safe,
                       "The run wrote every selected image and the handset acknowledged the reset.",
                       "Nothing: the handset restarts with the new firmware."));
    return rows;
}

bool MatchesNumber(const std::string& line, std::size_t& at, bool hex) {
    const std::size_t start = at;
    if (!hex && at < line.size() && line[at] == '-') ++at;
    while (at < line.size() && (hex ? std::isxdigit(static_cast<unsigned char>(line[at]))
                                    : std::isdigit(static_cast<unsigned char>(line[at]))))
        ++at;
    return at > start;
}

bool MatchFrom(const std::string& line, std::size_t at, const std::string& pattern, std::size_t from) {
    while (from < pattern.size()) {
        if (pattern[from] == '%' && from + 1 < pattern.size()) {
            const char kind = pattern[from + 1];
            from += 2;
            if (kind == 's') {
                for (std::size_t end = line.size() + 1; end-- > at;)
                    if (MatchFrom(line, end, pattern, from)) return true;
                return false;
            }
            if (!MatchesNumber(line, at, kind == 'x')) return false;
            continue;
        }
        if (at >= line.size() || line[at] != pattern[from]) return false;
        ++at, ++from;
    }
    return at == line.size();
}

}  // namespace

const char* TargetStepWord(ImageTarget target) { return kTargetWords[static_cast<int>(target)].word; }

const std::vector<RunStep>& RunSteps() {
    static const std::vector<RunStep> steps = BuildSteps();
    return steps;
}

const RunStep* FindRunStep(const std::string& word) {
    for (const RunStep& step : RunSteps())
        if (step.word == word) return &step;
    return nullptr;
}

const std::vector<RunEnding>& RunEndings() {
    static const std::vector<RunEnding> rows = BuildEndings();
    return rows;
}

const RunEnding* FinishedEnding() { return &RunEndings().back(); }

const char* HoldsWord(HandsetHolds holds) { return kHoldsWords[static_cast<int>(holds)].word; }
const char* HoldsText(HandsetHolds holds) { return kHoldsWords[static_cast<int>(holds)].text; }
const char* UnpluggingWord(Unplugging unplug) { return kUnpluggingWords[static_cast<int>(unplug)].word; }
const char* UnpluggingText(Unplugging unplug) { return kUnpluggingWords[static_cast<int>(unplug)].text; }

bool MatchesEndingText(const std::string& line, const std::string& pattern) {
    std::string wanted = pattern;
    while (!wanted.empty() && (wanted.back() == '\n' || wanted.back() == '\r')) wanted.pop_back();
    return MatchFrom(line, 0, wanted, 0);
}
