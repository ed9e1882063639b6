// A whole flashing run of the shipped image sizes (about 132 MB) over an in-memory port
// that answers as the simulated handset does. Prints the host's CPU time and minor page
// faults per MB on the worker thread, with the simulated handset's own (measured around
// every port call that reaches it) taken out and printed on a line of its own, and the
// process's peak memory.
//
// usage: veltrane_full_run_bench [--scale N]   (N divides the image sizes, for a quick look)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include "package/image_slots.h"
#include "protocol/run_steps.h"
#include "session/clock.h"
#include "session/process_values.h"
#include "session/run_settings.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "session/thread_start.h"
#include "sim/handset_framing.h"
#include "sim/handset_model.h"
#include "tools/pack/pack_commands.h"
#include "transport/port_io.h"
#include "transport/port_operations.h"

namespace {

const uint32_t kShippedSizes[kSlotCount] = {0,     464,    2708,   58340,    40,        198600,
                                            40,    540672, 40,     19689492, 110672263, 655360};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Minor page faults of the calling thread: fresh memory touched for the first time.
long ThreadMinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Time moves only when the run sleeps: the 5-second wait after GO costs nothing here.
class InstantClock final : public Clock {
public:
    int64_t NowSeconds() override { return 1700000000 + static_cast<int64_t>(ms_ / 1000); }
    uint64_t MonotonicMs() override { return ms_; }
    void SleepMs(uint32_t milliseconds) override { ms_ += milliseconds; }

private:
    uint64_t ms_ = 0;
};

// What the simulated handset (its framing checks, the model behind them, its reply frames)
// costs the worker thread that calls into it: CPU time and minor page faults, taken apart
// from the host's.
struct SimulatedCost {
    double cpuSeconds = 0;
    long minorFaults = 0;
};

class SimulatedScope {
public:
    explicit SimulatedScope(SimulatedCost& cost) : cost_(cost), cpu_(ThreadCpuSeconds()), faults_(ThreadMinorFaults()) {}
    ~SimulatedScope() {
        cost_.cpuSeconds += ThreadCpuSeconds() - cpu_;
        cost_.minorFaults += ThreadMinorFaults() - faults_;
    }
    SimulatedScope(const SimulatedScope&) = delete;
    SimulatedScope& operator=(const SimulatedScope&) = delete;

private:
    SimulatedCost& cost_;
    double cpu_;
    long faults_;
};

// The handset behind an in-memory line: whole frames in, whole reply frames out. The line
// keeps no copy of its own: the host writes a frame in pieces straight from its frame
// buffer and leaves it untouched until it reads the reply, so a write only notes where the
// bytes lie (a piece that does not follow on from the last is handed on at once), and the
// handset takes them when the host reads. Everything the handset does with them counts as
// simulated; the write calls themselves stay with the host, as its port calls.
struct MemoryHandset {
    HandsetModel model{HandsetConfig{}};
    FrameCollector collector;
    const uint8_t* lineStart = nullptr;  // what the host wrote since its last read
    const uint8_t* lineEnd = nullptr;
    Bytes pending;  // the reply frame
    bool open = false;
    SimulatedCost simulated;

    void HandOnLine() {
        if (lineStart != lineEnd) collector.Feed(lineStart, static_cast<std::size_t>(lineEnd - lineStart));
        lineStart = lineEnd = nullptr;
    }

    static int Open(void* self, const char*) {
        static_cast<MemoryHandset*>(self)->open = true;
        return 0;
    }
    static void Close(void* self) { static_cast<MemoryHandset*>(self)->open = false; }
    static int Write(void* self, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t) {
        auto& handset = *static_cast<MemoryHandset*>(self);
        if (data != handset.lineEnd) {
            if (handset.lineStart != handset.lineEnd) {
                SimulatedScope scope(handset.simulated);
                handset.HandOnLine();
            }
            handset.lineStart = data;
        }
        handset.lineEnd = data + length;
        *written = length;
        return 0;
    }
    static int Read(void* self, uint8_t* buffer, uint32_t* length, uint32_t) {
        auto& handset = *static_cast<MemoryHandset*>(self);
        SimulatedScope scope(handset.simulated);
        handset.HandOnLine();
        Bytes body, content;
        while (handset.collector.Next(body)) {
            if (DecodeRequest(body, content) != RequestVerdict::kGood) continue;
            HandsetModel::Outcome outcome = handset.model.Handle(content);
            if (outcome.answer) handset.pending = FrameReply(outcome.reply);
        }
        if (handset.pending.empty() || handset.pending.size() > *length) {
            *length = 0;
            return -1;
        }
        std::copy(handset.pending.begin(), handset.pending.end(), buffer);
        *length = static_cast<uint32_t>(handset.pending.size());
        handset.pending.clear();
        return 0;
    }
    static int Recover(void*) { return 0; }
    static void Pipes(void*, uint32_t, uint32_t) {}
};

// Writes the images and packs them, in a child process, so that the package builder's own
// memory does not count in the run's peak.
void BuildPackage(const std::filesystem::path& folder, const std::string& programmer, uint32_t scale) {
    pid_t child = fork();
    if (child == 0) {
        std::filesystem::create_directories(folder / "images");
        std::filesystem::copy_file(programmer, folder / "images" / kSlotFileNames[0],
                                   std::filesystem::copy_options::overwrite_existing);
        std::mt19937 random(7);
        for (uint32_t slot = 1; slot < kSlotCount; ++slot) {
            uint32_t size = kShippedSizes[slot] > 40 ? std::max(1u, kShippedSizes[slot] / scale) : kShippedSizes[slot];
            std::string data(size, '\0');
            for (char& byte : data) byte = static_cast<char>(random());
            std::ofstream(folder / "images" / kSlotFileNames[slot], std::ios::binary) << data;
        }
        CreateOptions options;
        options.imagesFolder = (folder / "images").string();
        options.familyCode = 'C';
        options.identificationWord = 47;
        options.output = (folder / "package.bin").string();
        std::ostringstream ignored;
        _exit(CreatePackage(options, ignored, std::cerr));
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "building the package failed\n");
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    uint32_t scale = argc == 3 && std::string(argv[1]) == "--scale" ? static_cast<uint32_t>(std::atoi(argv[2])) : 1;
    if (scale == 0) scale = 1;
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("veltrane-bench-" + std::to_string(getpid()));
    BuildPackage(folder, VELTRANE_PROGRAMMER_HEX_PATH, scale);
    std::filesystem::current_path(folder);
    SetExecutableFileName("package.bin");
    std::ofstream("a.ini") << "1011111";

    InstantClock clock;
    SetClock(&clock);
    MemoryHandset handset;
    PortOperations port;
    port.context = &handset;
    port.open = MemoryHandset::Open;
    port.close = MemoryHandset::Close;
    port.write = MemoryHandset::Write;
    port.read = MemoryHandset::Read;
    port.recover = MemoryHandset::Recover;
    port.setPipeTimeouts = MemoryHandset::Pipes;
    InstallPort(&port);

    StepOperations steps = ProtocolStepOperations();
    steps.openDownloadPort = [] { return OpenPort("memory") == 0 ? 1 : 0; };
    steps.closeHostPrograms = [] { return 1; };
    steps.clearHostServices = [](ServiceOrder) {};
    steps.restartHostPrograms = [] {};
    InstallStepOperations(steps);
    Environment = 0;
    accessMode = kAccessNormal;
    SessionState session;
    currentSession = &session;
    ReadRunSettings();

    uint64_t imageBytes = 0;
    for (uint32_t slot = 1; slot < kSlotCount; ++slot)
        imageBytes += std::filesystem::file_size(folder / "images" / kSlotFileNames[slot]);
    uint64_t largest = std::filesystem::file_size(folder / "images" / kSlotFileNames[kSlotFlashBin]);

    double cpuBefore = ProcessCpuSeconds();
    double workerCpuBefore = ThreadCpuSeconds();
    long workerFaultsBefore = ThreadMinorFaults();
    auto wallStart = std::chrono::steady_clock::now();
    RunSession();
    double workerCpu = ThreadCpuSeconds() - workerCpuBefore;
    long workerFaults = ThreadMinorFaults() - workerFaultsBefore;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    double processCpu = ProcessCpuSeconds() - cpuBefore;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    double megabytes = static_cast<double>(imageBytes) / 1e6;
    double hostCpu = workerCpu - handset.simulated.cpuSeconds;
    long hostFaults = workerFaults - handset.simulated.minorFaults;
    bool received = handset.model.Stage() == HandsetStage::kReset && handset.model.Images().size() == 10;

    std::printf("whole run over an in-memory port: %.1f MB of images, %s\n", megabytes,
                received ? "every image received, handset reset" : "RUN DID NOT COMPLETE");
    std::printf("  wall time            %8.3f s  (%.0f MB/s, simulated handset included)\n", wall, megabytes / wall);
    std::printf("  host CPU             %8.3f s  = %.3f ms per MB   (worker thread, simulated handset taken out;"
                " target: at most 1 ms per MB)\n",
                hostCpu, hostCpu * 1000.0 / megabytes);
    std::printf("  host minor faults    %8ld    = %.1f per MB\n", hostFaults, static_cast<double>(hostFaults) / megabytes);
    std::printf("  simulated handset    %8.3f s  = %.3f ms per MB, %ld minor faults   (its framing checks,"
                " requests, SHA-256 of every image)\n",
                handset.simulated.cpuSeconds, handset.simulated.cpuSeconds * 1000.0 / megabytes,
                handset.simulated.minorFaults);
    std::printf("  process CPU, all     %8.3f s  (every thread, simulated handset included)\n", processCpu);
    std::printf("  peak memory          %8.1f MiB  (resident, simulated handset included; largest image %.1f MiB;"
                " target: largest image + 40 MiB at most)\n",
                peakMiB, static_cast<double>(largest) / 1048576.0);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    return received ? 0 : 1;
}
