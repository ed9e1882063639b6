// The step operations a run is made of, reached by the driver only through this table.
// The programs install the real operations at start-up; tests install scripted ones, so
// the whole fixed step order runs without a handset, a package or a port.
#pragma once

#include <functional>
#include <string>

struct SessionState;

// The seven image transfer targets, in the order a run writes them.
enum class ImageTarget { QcsblHeader, Qcsbl, Oemsbl, Amss, Appsboot, FlashBin, Cefs };

// The two orders of the service clean-up: WcesComm then RapiMgr, and the reverse.
enum class ServiceOrder { First, Again };

struct StepOperations {
    // 1 when the program file exists; on 0 it has shown "NO File: %s", traced it and closed the trace.
    std::function<int()> checkProgramFile;
    // 1 when every enabled image is present; on 0 the text holds the list of missing images.
    std::function<int(std::string& missingImageList)> checkImageSet;
    std::function<int()> closeHostPrograms;
    std::function<void(ServiceOrder)> clearHostServices;
    // Non-zero when the download port is open.
    std::function<int()> openDownloadPort;
    std::function<int()> sendProgrammer;
    std::function<int()> sendGo;
    std::function<void()> closePort;
    std::function<int()> sendHello;
    std::function<int()> sendSecurityMode;
    std::function<int()> sendPartitionTable;
    std::function<int()> sendReset;
    std::function<int(ImageTarget)> openImage;
    std::function<int(ImageTarget)> writeImage;
    std::function<int(ImageTarget)> closeImage;
    std::function<void()> restartHostPrograms;
    // The device scan of the watch thread: updates the session's device flags.
    std::function<void(SessionState&)> scanDevices;
};

// The table in use. Empty entries count as failing steps (and a missing scan finds nothing),
// so a program that forgot to install an operation fails loudly instead of flashing half.
StepOperations& Steps();
void InstallStepOperations(const StepOperations& operations);
