#include "platform/Process.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <signal.h>
#include <unistd.h>

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

void RemoveFilesOfDeadProcesses(const std::string& path, const std::string& marker) noexcept {
    try {
        const std::filesystem::path file(path);
        const std::string prefix = file.filename().string() + marker;
        const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            const pid_t pid = ProcessNumberIn(name, prefix.size());
            if (pid <= 0 || pid == ::getpid() || ProcessExists(pid)) continue; // ours, running, or not ours to ask
            ::unlink(it->path().c_str());
        }
    } catch (...) {
    }
}

} // namespace platform
