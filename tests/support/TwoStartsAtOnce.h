#pragma once
// Two starts of the program making the same file at once, in two child
// processes and without timing: the first stops just before it renames its
// file into place (SetBeforeWholeFileRename) until the second has finished.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "app/WholeFile.h"
#include "support/HookRecorder.h"

namespace vtest {

struct TwoStarts {
    int first = -1, second = -1; // their exit statuses (-1: not ended by itself)
    bool stopped = false;        // the first start reached its rename
};

// `build` runs in each child and gives its exit status; `between` runs in
// this process while the first start waits, before the second one starts.
inline TwoStarts TwoStartsAtOnce(const std::function<int()>& build, const std::function<void()>& between = {}) {
    TwoStarts result;
    int ready[2], resume[2];
    if (::pipe(ready) != 0) return result;
    if (::pipe(resume) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return result;
    }
    const pid_t first = ::fork();
    if (first == 0) {
        ::close(ready[0]);
        ::close(resume[1]);
        SetBeforeWholeFileRename([&](const std::string&) {
            char c = 'r';
            if (::write(ready[1], &c, 1) != 1 || ::read(resume[0], &c, 1) != 1) ::_exit(99);
        });
        ::_exit(build());
    }
    ::close(ready[1]);
    ::close(resume[0]);
    char c = 0;
    // Nothing to read when the first start ended without reaching its rename.
    result.stopped = first > 0 && ::read(ready[0], &c, 1) == 1;
    if (result.stopped) {
        if (between) between();
        result.second = RunInChildProcess(build);
        if (::write(resume[1], &c, 1) != 1) result.stopped = false;
    }
    ::close(ready[0]);
    ::close(resume[1]);
    int status = 0;
    if (first > 0 && ::waitpid(first, &status, 0) == first && WIFEXITED(status)) result.first = WEXITSTATUS(status);
    return result;
}

} // namespace vtest
