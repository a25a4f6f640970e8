#pragma once
// Waiting for another program's lock. A statement that finds the file
// locked by another program (another run writing its results, say) waits
// for it as long as a user would, telling whoever listens on the waiting
// thread, before it fails with error 3045 ("file already in use").
#include <chrono>
#include <functional>
#include <string>

namespace dao {

// How long a statement waits for a lock (process-wide; several seconds
// unless set otherwise).
void SetLockWaitLimit(std::chrono::milliseconds limit) noexcept;
std::chrono::milliseconds LockWaitLimit() noexcept;

// Told on the waiting thread that it waits for `path`: first after a short
// wait, then about once a second, with the time waited so far and the limit.
using LockWaitListener =
    std::function<void(const std::string& path, std::chrono::milliseconds waited, std::chrono::milliseconds limit)>;

// Asked on the waiting thread before each pause of a wait: once it answers
// true (the user asked the run to stop, say) the wait ends at once, and the
// statement fails as with a lock held too long.
using LockWaitStop = std::function<bool()>;

// Listens for the calling thread while it lives (the listener and the stop
// before it listen again afterwards).
class LockWaitScope {
public:
    explicit LockWaitScope(LockWaitListener listener, LockWaitStop stop = {});
    ~LockWaitScope();
    LockWaitScope(const LockWaitScope&) = delete;
    LockWaitScope& operator=(const LockWaitScope&) = delete;

private:
    LockWaitListener m_previous;
    LockWaitStop m_previousStop;
};

} // namespace dao
