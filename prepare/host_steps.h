// The run's host clean-up and restart, for the front end to install with the other steps.
#pragma once

#include "session/step_operations.h"

// Fills the slots closeHostPrograms, clearHostServices and restartHostPrograms.
void AddHostPreparationSteps(StepOperations& steps);
