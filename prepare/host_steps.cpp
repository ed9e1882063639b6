#include "prepare/host_steps.h"

#include "prepare/host_programs.h"
#include "prepare/host_services.h"

void AddHostPreparationSteps(StepOperations& steps) {
    steps.closeHostPrograms = [] { return CloseHostPrograms(); };
    steps.clearHostServices = [](ServiceOrder order) { ClearHostServices(order); };
    steps.restartHostPrograms = [] { RestartHostPrograms(); };
}
