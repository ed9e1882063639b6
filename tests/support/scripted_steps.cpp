#include "tests/support/scripted_steps.h"

#include "session/clock.h"
#include "session/process_values.h"
#include "session/session_state.h"
#include "session/trace_log.h"

const char* TargetName(ImageTarget target) {
    switch (target) {
    case ImageTarget::QcsblHeader: return "QcsblHeader";
    case ImageTarget::Qcsbl: return "Qcsbl";
    case ImageTarget::Oemsbl: return "Oemsbl";
    case ImageTarget::Amss: return "Amss";
    case ImageTarget::Appsboot: return "Appsboot";
    case ImageTarget::FlashBin: return "FlashBin";
    case ImageTarget::Cefs: return "Cefs";
    }
    return "?";
}

int ScriptedSteps::Step(const std::string& call, bool transfer) {
    calls_.push_back(call);
    Trace().Append(("{" + call + " index " + std::to_string(currentImageIndex.load()) + "}\n").c_str());
    auto action = actions_.find(call);
    if (action != actions_.end()) action->second();
    auto scripted = results_.find(call);
    int result = scripted == results_.end() ? 1 : scripted->second;
    if (transfer) SleepMs(3000);  // a transfer takes time; the trace's elapsed times show it
    if (transfer && result == 1) {
        if (SessionState* session = currentSession.load()) {
            session->totalCount = 4;
            session->doneCount = 4;
            session->transferDone = 1;
        }
    }
    return result;
}

ScriptedSteps::ScriptedSteps() {
    operations_.checkProgramFile = [this] { return Step("checkProgramFile", false); };
    operations_.checkImageSet = [this](std::string& missing) {
        int result = Step("checkImageSet", false);
        if (result == 0) missing = "NO AMSS_header NO AMSS ";
        return result;
    };
    operations_.closeHostPrograms = [this] { return Step("closeHostPrograms", false); };
    operations_.clearHostServices = [this](ServiceOrder order) {
        Step(order == ServiceOrder::First ? "clearHostServices first" : "clearHostServices again", false);
    };
    operations_.openDownloadPort = [this] { return Step("openDownloadPort", false); };
    operations_.sendProgrammer = [this] { return Step("sendProgrammer", true); };
    operations_.sendGo = [this] { return Step("sendGo", false); };
    operations_.closePort = [this] { Step("closePort", false); };
    operations_.sendHello = [this] { return Step("sendHello", false); };
    operations_.sendSecurityMode = [this] { return Step("sendSecurityMode", false); };
    operations_.sendPartitionTable = [this] { return Step("sendPartitionTable", false); };
    operations_.sendReset = [this] { return Step("sendReset", false); };
    operations_.openImage = [this](ImageTarget target) { return Step(std::string("openImage ") + TargetName(target), false); };
    operations_.writeImage = [this](ImageTarget target) {
        return Step(std::string("writeImage ") + TargetName(target), target != ImageTarget::QcsblHeader);
    };
    operations_.closeImage = [this](ImageTarget target) {
        return Step(std::string("closeImage ") + TargetName(target), false);
    };
    operations_.restartHostPrograms = [this] { Step("restartHostPrograms", false); };
}

void ScriptedSteps::Install() { InstallStepOperations(operations_); }
