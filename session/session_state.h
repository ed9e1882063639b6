// The record of one run, created by the window when it initialises and alive as long as
// the window. Shared fields are single words written by one thread and read by others.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class WindowSeam;

struct SessionState {
    // Progress of the current transfer, turned into the progress bar by the monitor.
    std::atomic<uint32_t> transferDone{0};  // 1 once the transfer has sent its last packet
    std::atomic<uint32_t> doneCount{0};     // packets acknowledged so far
    std::atomic<uint32_t> totalCount{0};    // packets in all; 0 means not yet set
    std::atomic<uint32_t> doneBytes{0};     // the bytes of those packets (the console's figures)
    std::atomic<uint32_t> totalBytes{0};    // the transfer's payload

    std::atomic<uint32_t> running{0};        // 1 while a run transfers
    std::atomic<int64_t> runStartTime{0};    // calendar seconds when the port is about to be opened
    std::atomic<int64_t> timerNow{0};        // calendar time of the latest timer tick

    // Device flags of the device scan; a scan only ever sets them (or swaps sync/WMDC).
    std::atomic<uint32_t> syncPortSeen{0};
    std::atomic<uint32_t> wmdcDeviceSeen{0};
    std::atomic<uint32_t> qualcommPortSeen{0};
    std::atomic<uint32_t> devicePresent{0};  // 2 once any flag was seen
    char portName[100] = {};
    std::string deviceText;

    // The image folder chosen in service mode, ending in a backslash; empty in normal mode.
    std::string imageFolder;

    // The window that shows the run; the status text (1006) and progress bar (1009) are its controls.
    WindowSeam* window = nullptr;

    // The timer text last formatted by the window timer.
    std::string timerText;
};
