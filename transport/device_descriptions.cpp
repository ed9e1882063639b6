#include "transport/device_descriptions.h"

#include <algorithm>
#include <cstring>

#include "session/session_state.h"
#include "session/session_window.h"
#include "session/trace_log.h"
#include "session/window_seam.h"

namespace {

enum class Seen { kQualcomm, kSync, kWindowsMobile };

struct DescriptionPattern {
    const char* prefix;  // the description begins with it (byte-exact, case-sensitive)
    Seen seen;
    const char* deviceText;  // a format for the port name, or the text itself
};

const DescriptionPattern kPatterns[] = {
    {"Qualcomm Diagnostics Interface 6000 (", Seen::kQualcomm, "Qualcomm Diagnostics Interface 6000 (%s)"},
    {"Qualcomm WinMobile Diagnostics 3200 (", Seen::kQualcomm, "Qualcomm WinMobile Diagnostics 3200 (%s)"},
    {"Microsoft USB Sync", Seen::kSync, "Microsoft USB Sync (%s)"},
    {"Windows Mobile-based Device", Seen::kWindowsMobile, "Windows Mobile-based Device"},
    {"Microsoft Windows Mobile Remote Adapter", Seen::kWindowsMobile, "Microsoft Windows Mobile Remote Adapter"},
};

constexpr char kSyncPortName[] = "wceusbsh00";

void SetPortName(SessionState& session, const char* text, std::size_t length) {
    length = std::min(length, sizeof session.portName - 1);
    std::memset(session.portName, 0, sizeof session.portName);
    std::memcpy(session.portName, text, length);
}

}  // namespace

bool ApplyDeviceDescription(SessionState& session, const char* description) {
    for (const DescriptionPattern& pattern : kPatterns) {
        const std::size_t prefixLength = std::strlen(pattern.prefix);
        if (std::strncmp(description, pattern.prefix, prefixLength) != 0) continue;
        switch (pattern.seen) {
        case Seen::kQualcomm: {
            // The port name runs to the next ')', or to the end of a description without one.
            const char* name = description + prefixLength;
            const char* end = std::strchr(name, ')');
            SetPortName(session, name, end ? static_cast<std::size_t>(end - name) : std::strlen(name));
            session.qualcommPortSeen = 1;
            session.deviceText = FormatText(pattern.deviceText, session.portName);
            break;
        }
        case Seen::kSync:
            SetPortName(session, kSyncPortName, sizeof kSyncPortName - 1);
            session.syncPortSeen = 1;
            session.wmdcDeviceSeen = 0;
            session.deviceText = FormatText(pattern.deviceText, session.portName);
            break;
        case Seen::kWindowsMobile:
            SetPortName(session, "", 0);
            session.wmdcDeviceSeen = 1;
            session.syncPortSeen = 0;
            session.deviceText = pattern.deviceText;
            break;
        }
        WindowSeam& window = session.window ? *session.window : RunWindow();
        window.SetControlText(kControlDeviceText, session.deviceText);
        return true;
    }
    return false;
}

void NoteDevicePresence(SessionState& session) {
    if (session.qualcommPortSeen == 1 || session.syncPortSeen == 1 || session.wmdcDeviceSeen == 1)
        session.devicePresent = 2;
}
