#include "platform/Process.h"

#include <cerrno>
#include <cstdlib>

#include <signal.h>

namespace platform {

bool ProcessExists(pid_t pid) noexcept {
    if (pid <= 0) return false;
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

pid_t ProcessNumberIn(const std::string& name, std::size_t start) noexcept {
    std::size_t i = start;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    if (i == start || i >= name.size() || name[i] != '-' || i - start > 9) return 0;
    return static_cast<pid_t>(std::strtol(name.c_str() + start, nullptr, 10));
}

} // namespace platform
