#pragma once

#include <functional>

// Runs task(0) ... task(count - 1) on up to the machine's number of cores. Tasks must be
// independent; each index runs exactly once. Exceptions thrown by a task are rethrown here
// (the first one) after every worker has stopped.
void ParallelFor(int count, const std::function<void(int)>& task);
