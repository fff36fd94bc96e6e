#pragma once

namespace Zelvo {

// The steps of an atomic save that touch the file system, in the order they happen. Write
// comes once per write call; SetOwnerAndMode only when a file is replaced.
enum class SaveStep { CreateTemporary, SetOwnerAndMode, Write, Flush, Close, Rename, SyncFolder };

// A seam for tests that interrupt saves at every step. When a hook is set, it is called before
// each step of every save with the hook's context, and returns 0 to let the step run or an
// error number that the step then fails with, as if the system had returned it (a hook may
// also end the process there). The program itself never sets one. Set it only while no save
// runs.
using SaveFaultHook = int (*)(SaveStep step, void* context);
void SetSaveFaultHook(SaveFaultHook hook, void* context);

// For the save code: asks the hook about a step. False, with errno set to the hook's error
// number, when the step must fail.
bool SaveStepAllowed(SaveStep step);

}  // namespace Zelvo
