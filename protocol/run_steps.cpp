#include "protocol/run_steps.h"

#include "package/image_checks.h"
#include "protocol/image_transfer.h"
#include "protocol/programmer_loader.h"
#include "protocol/streaming_commands.h"
#include "transport/port_io.h"

StepOperations ProtocolStepOperations() {
    StepOperations steps;
    steps.checkProgramFile = CheckProgramFile;
    steps.checkImageSet = CheckImageSet;
    steps.sendProgrammer = SendProgrammer;
    steps.sendGo = SendGo;
    steps.closePort = ClosePort;
    steps.sendHello = SendHello;
    steps.sendSecurityMode = SendSecurityMode;
    steps.sendPartitionTable = SendPartitionTable;
    steps.sendReset = SendReset;
    steps.openImage = OpenImage;
    steps.writeImage = WriteImage;
    steps.closeImage = CloseImage;
    return steps;
}
