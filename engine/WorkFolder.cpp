#include "engine/WorkFolder.h"

#include "errors/RunTimeError.h"
#include "platform/Process.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <fcntl.h>
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
pid_t ownerOf(const std::string& name) { return platform::ProcessNumberIn(name, 3); }

// Seconds of the wall clock at which the system started, or 0.
double bootTime() {
    std::ifstream in("/proc/stat");
    std::string word;
    while (in >> word)
        if (word == "btime") {
            double seconds = 0;
            return in >> seconds ? seconds : 0;
        }
    return 0;
}

// When the process that bears this number now started, in seconds of the
// wall clock; 0 when that cannot be told.
double startOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    // The name in parentheses may hold blanks and parentheses: the fields
    // are counted from its closing one, the state being the third field and
    // the start (in clock ticks after the system started) the 22nd.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int n = 3; n <= 22; ++n)
        if (!(fields >> field)) return 0;
    const long ticks = ::sysconf(_SC_CLK_TCK);
    const double boot = bootTime();
    if (ticks <= 0 || boot <= 0) return 0;
    return boot + std::strtod(field.c_str(), nullptr) / static_cast<double>(ticks);
}

// The work database a file belongs to: the file itself, or the database of
// a journal.
std::string databaseOf(const std::string& path) {
    static const std::string journal = "-journal";
    if (path.size() > journal.size() && path.compare(path.size() - journal.size(), journal.size(), journal) == 0)
        return path.substr(0, path.size() - journal.size());
    return path;
}

// True when this process has the file open. (Opening it here to ask would
// drop the locks this process's database connection holds on it.)
bool openHere(const std::string& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) return false;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec)) {
        struct stat open {};
        if (::stat(it->path().c_str(), &open) == 0 && open.st_dev == file.st_dev && open.st_ino == file.st_ino)
            return true;
    }
    return ec.value() != 0; // not to be told: taken as open
}

// True when another process holds a lock on the file (a database connection
// of a run in progress holds one for the run).
bool lockedByAnother(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno != ENOENT;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

// A file whose number a running process bears: it was left by an earlier
// process of that number when it was last written before the running one
// started, and no process has it in use.
bool leftByAnEarlierProcess(const std::string& path, pid_t pid) {
    const double started = startOf(pid);
    struct stat st {};
    if (started <= 0 || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Whole seconds of the start (the system's start is kept in seconds)
    // and a clock put right meanwhile: a margin.
    constexpr double kMargin = 5;
    const double written = static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) * 1e-9;
    if (written >= started - kMargin) return false;
    const std::string database = databaseOf(path);
    return pid == ::getpid() ? !openHere(database) : !lockedByAnother(database);
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
            if (pid <= 0) continue;
            // A process of that number runs (or one not ours to ask): this
            // one, or another that may have been given the number again.
            const bool numberInUse = pid == ::getpid() || platform::ProcessExists(pid);
            if (numberInUse && !leftByAnEarlierProcess(it->path().string(), pid)) continue;
            std::error_code rc;
            if (std::filesystem::remove(it->path(), rc)) ++removed;
        }
    } catch (...) {
    }
    return removed;
}
