// Every way a run can end, one row each: the text the run ends with, the step it belongs to,
// what the handset holds at that moment, whether it may be unplugged, and what to do next.
// The texts stay the programs' own; the same text at two steps has a row at each (FLASH.bin's
// open and close both end "Can't Open Flash.bin"). A text may be a pattern: "%s" stands for
// any text, "%d" and "%x" for a number.
#pragma once

#include <string>
#include <vector>

#include "session/step_operations.h"

// The words of the steps that are not an image's.
constexpr const char* kStepCommand = "command";          // the console flasher's own command line
constexpr const char* kStepStartUp = "start-up";         // password, Windows version, the package's family
constexpr const char* kStepSwitch = "switch";            // Windows Mobile to download mode
constexpr const char* kStepWaiting = "waiting";          // waiting for the download port
constexpr const char* kStepChecks = "checks";            // the trace, the program file, the image set
constexpr const char* kStepHost = "host";                // desktop programs and services stopped
constexpr const char* kStepPort = "port";                // the download port opened
constexpr const char* kStepProgrammer = "programmer";    // the flash programmer loaded into RAM
constexpr const char* kStepGo = "go";                    // the programmer started
constexpr const char* kStepReconnect = "reconnect";      // the port opened again after GO
constexpr const char* kStepHello = "hello";
constexpr const char* kStepSecurityMode = "security-mode";
constexpr const char* kStepPartitionTable = "partition-table";
constexpr const char* kStepReset = "reset";
constexpr const char* kStepFinished = "finished";
// An image's steps: its word and one of these ("amss-open", "flash-bin-close").
constexpr const char* kOpenSuffix = "-open";
constexpr const char* kWriteSuffix = "-write";
constexpr const char* kCloseSuffix = "-close";
const char* TargetStepWord(ImageTarget target);

// What the handset holds when the run ends. The words are what `explain --json` prints.
enum class HandsetHolds {
    kUntouched,          // the program never spoke to the handset
    kWindowsMobile,      // it still runs Windows Mobile: nothing changed
    kNothingWritten,     // download mode (boot loader or programmer in RAM), flash as it was
    kUnknown,            // the trace cannot tell whether the handset took the last request
    kPartlyWritten,      // the partition table and the images listed as written, the rest not
    kEverythingWritten,  // every selected image acknowledged as closed
};
constexpr int kHoldsCount = 6;

enum class Unplugging {
    kSafe,           // nothing is being written
    kKeepPowered,    // unplug if you must, but do not switch it off: its boot loaders are half-written
    kWhenEnded,      // only once the program has ended: a run may still be writing
};
constexpr int kUnpluggingCount = 3;

struct RunEnding {
    std::string step;        // the step's word (RunSteps)
    std::string text;        // the failure text or pattern; "Finish" for the good end
    std::string shownAs;     // where the operator sees it
    std::string programs;    // which programs end so
    bool inTrace = true;     // the text is the trace's last line
    // A line the step writes before the text, telling two endings with one text apart
    // (empty: none needed). A row with it goes before the row without.
    std::string precededBy;
    HandsetHolds holds = HandsetHolds::kUnknown;
    Unplugging unplug = Unplugging::kWhenEnded;
    std::string meaning;     // what happened, for the operator
    std::string advice;      // what to do
    // The image check lists its findings one after another ("NO qcsbl NO oemsbl "): such a
    // text is read as a run of these rows' texts.
    bool listed = false;
};

struct RunStep {
    std::string word;
    std::string name;        // as an operator reads it
    HandsetHolds holds;      // what the handset holds when a trace stops during the step
    Unplugging unplug;
    // From the partition table to APPSBOOT's close, while the boot chain may be half new: a
    // lost connection there may leave a handset that does not start.
    bool replacesBootLoader;
    bool traced = true;      // the step comes after the trace was opened
};

// The steps in run order, from start-up to the finish.
const std::vector<RunStep>& RunSteps();
const RunStep* FindRunStep(const std::string& word);

// Every row, steps in run order.
const std::vector<RunEnding>& RunEndings();
// The row of a run that finished.
const RunEnding* FinishedEnding();

const char* HoldsWord(HandsetHolds holds);
const char* HoldsText(HandsetHolds holds);
const char* UnpluggingWord(Unplugging unplug);
const char* UnpluggingText(Unplugging unplug);

// Whether `line` is `pattern` (line ends aside) with its "%s", "%d", "%x" filled in.
bool MatchesEndingText(const std::string& line, const std::string& pattern);
