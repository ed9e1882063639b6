// The seven transfer targets: their request values, payload slots and trace texts.
#pragma once

#include <cstdint>

#include "package/image_slots.h"
#include "session/step_operations.h"

struct ImageTargetInfo {
    uint8_t imageType;          // in the open request
    bool openCarriesHeader;     // the open request carries the header image
    ImageSlot headerSlot;       // when it does
    ImageSlot bodySlot;         // streamed by the write
    bool publishesProgress;     // every write but the QCSBL header's drives the progress bar
    uint32_t writeRetryPauseMs; // pause after a failed write attempt

    const char* openHeading;
    const char* openBuffer;
    const char* openSend;
    const char* openSuccess[2];  // written in this order (the same text twice for most)

    const char* writeHeading;
    int writeHeadingCount;
    const char* writeBuffer;
    const char* writeSuccess;
    int writeSuccessCount;
    bool cefsFailureTexts;

    const char* closeHeading;
    const char* closeBuffer;
    const char* closeSend;
    const char* closeSuccess;
};

const ImageTargetInfo& TargetInfo(ImageTarget target);
