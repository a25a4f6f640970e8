#pragma once
// Other processes of this machine, known by their numbers: whether one still
// runs, and the number a file name of a process carries.
#include <string>

#include <sys/types.h>

namespace platform {

// True while a process of this number exists: running, or one this process
// may not signal (another user's). False once the system knows none of that
// number, and for numbers below 1.
bool ProcessExists(pid_t pid) noexcept;

// The process number written in `name` from `start` up to a '-' ("vrl123-x"
// from 3 gives 123); 0 when no digits stand there, no '-' follows them, or
// they are more than any process number takes (over nine).
pid_t ProcessNumberIn(const std::string& name, std::size_t start) noexcept;

// Removes the files beside `path` named `<its name><marker><pid>-...` whose
// process no longer runs: what programs killed while they wrote a new `path`
// left. This process's own files are kept; failures are ignored.
void RemoveFilesOfDeadProcesses(const std::string& path, const std::string& marker) noexcept;

} // namespace platform
