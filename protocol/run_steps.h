// The run's step operations that come from the download protocol and the package: the
// programmer, the streaming commands, the image transfers and the package checks. The
// host-preparation steps and the port search depend on the front end and are its to add.
#pragma once

#include "session/step_operations.h"

StepOperations ProtocolStepOperations();
