#include "session/step_operations.h"

StepOperations& Steps() {
    static auto* operations = new StepOperations;  // never destroyed: the worker may still use it at exit
    return *operations;
}

void InstallStepOperations(const StepOperations& operations) { Steps() = operations; }
