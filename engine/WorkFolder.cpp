#include "engine/WorkFolder.h"

#include "errors/RunTimeError.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void cannotMake(const std::string& folder, const std::string& why) {
    throw RunTimeError(75, "The temporary work database cannot be made in " + folder + ": " + why);
}

std::string folderPath() {
    const char* t = std::getenv("TMPDIR");
    std::string base = t && *t ? t : "/tmp";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/varnello-" + std::to_string(::geteuid());
}

// The process id a work file's name carries ("vrl123-..."), or 0.
pid_t ownerOf(const std::string& name) {
    if (name.size() < 5) return 0;
    std::size_t i = 3, start = 3;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    if (i == start || i >= name.size() || name[i] != '-') return 0;
    return static_cast<pid_t>(std::strtol(name.substr(start, i - start).c_str(), nullptr, 10));
}

} // namespace

std::string WorkFolder::Path() {
    const std::string folder = folderPath();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) cannotMake(folder, std::strerror(errno));
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) cannotMake(folder, std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) cannotMake(folder, "it exists and is not a folder");
    if (st.st_uid != ::geteuid()) cannotMake(folder, "it belongs to another user");
    if ((st.st_mode & 0777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) cannotMake(folder, std::strerror(errno));
    return folder;
}

std::string WorkFolder::NewFile(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = Path();
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tag[9];
        std::snprintf(tag, sizeof tag, "%08x", rd());
        std::string name = folder + "/" + prefix.substr(0, 3) + std::to_string(::getpid()) + "-" +
                           std::to_string(counter.fetch_add(1)) + "-" + tag + ".TMP";
        int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) cannotMake(folder, std::strerror(errno));
    }
    cannotMake(folder, "no file name is free");
}

int WorkFolder::RemoveDeadFiles() noexcept {
    int removed = 0;
    try {
        std::error_code ec;
        std::filesystem::directory_iterator it(folderPath(), ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            pid_t pid = ownerOf(name);
            if (pid <= 0 || pid == ::getpid()) continue;
            if (::kill(pid, 0) == 0 || errno != ESRCH) continue; // still running (or not ours to ask)
            std::error_code rc;
            if (std::filesystem::remove(it->path(), rc)) ++removed;
        }
    } catch (...) {
    }
    return removed;
}
