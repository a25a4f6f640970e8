#pragma once
// Sets how long statements wait for another program's lock while the object
// lives (a test of a lock that is never released need not wait seconds).
#include "db/LockWait.h"

namespace vtest {

class LockWaitLimitScope {
public:
    explicit LockWaitLimitScope(std::chrono::milliseconds limit) : m_old(dao::LockWaitLimit()) {
        dao::SetLockWaitLimit(limit);
    }
    ~LockWaitLimitScope() { dao::SetLockWaitLimit(m_old); }
    LockWaitLimitScope(const LockWaitLimitScope&) = delete;
    LockWaitLimitScope& operator=(const LockWaitLimitScope&) = delete;

private:
    std::chrono::milliseconds m_old;
};

} // namespace vtest
