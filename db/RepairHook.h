#pragma once
// A hook into the repair of a file of an earlier version, for tests that
// stop the repair at each of its steps: a hook that throws fails the repair
// there (as a full disk would), one that ends the process kills it there.
#include <functional>

namespace dao {

// Called with the number of the step (1, 2, ...) before each step of a
// repair, and with 0 once the repair is committed. Empty: no hook.
using RepairStepHook = std::function<void(int step)>;
void SetRepairStepHook(RepairStepHook hook);

} // namespace dao
