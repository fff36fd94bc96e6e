#include "xml/SaveFaults.h"

#include <cerrno>

namespace Zelvo {

namespace {

SaveFaultHook faultHook = nullptr;
void* faultContext = nullptr;

}  // namespace

void SetSaveFaultHook(SaveFaultHook hook, void* context) {
    faultHook = hook;
    faultContext = context;
}

bool SaveStepAllowed(SaveStep step) {
    if (!faultHook)
        return true;
    int error = faultHook(step, faultContext);
    if (error == 0)
        return true;
    errno = error;
    return false;
}

}  // namespace Zelvo
