#include "platform/SystemInfo.h"

#include <gnu/libc-version.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/App.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

// The leading numbers of a text such as "6.1.0-13-amd64", up to max of them.
std::vector<long> leadingNumbers(const std::string& text, size_t max) {
    std::vector<long> numbers;
    size_t i = 0;
    while (i < text.size() && numbers.size() < max) {
        if (text[i] < '0' || text[i] > '9') break;
        long n = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            n = n * 10 + (text[i] - '0');
            if (n > 1000000000L) n = 1000000000L;
            ++i;
        }
        numbers.push_back(n);
        if (i < text.size() && text[i] == '.')
            ++i;
        else
            break;
    }
    return numbers;
}

std::string unquote(std::string v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

// "2.36" -> "2.36.0.0"; empty when the text is not 1 to 4 numbers of at most 65535.
std::string fourPartVersion(const std::string& text) {
    std::vector<long> parts;
    std::stringstream ss(text);
    std::string piece;
    while (std::getline(ss, piece, '.')) {
        if (piece.empty() || piece.size() > 5) return {};
        for (char c : piece)
            if (c < '0' || c > '9') return {};
        long n = std::stol(piece);
        if (n > 65535) return {};
        parts.push_back(n);
    }
    if (parts.empty() || parts.size() > 4) return {};
    parts.resize(4, 0);
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
           std::to_string(parts[3]);
}

std::string canonical(const std::string& path) {
    std::error_code ec;
    auto p = fs::canonical(path, ec);
    return ec ? std::string() : p.string();
}

} // namespace

KernelInfo GetKernelInfo() {
    KernelInfo info;
    utsname u{};
    if (::uname(&u) != 0) return info;
    info.sysname = u.sysname;
    info.release = u.release;
    info.machine = u.machine;
    auto n = leadingNumbers(info.release, 3);
    if (n.size() > 0) info.major = static_cast<int>(n[0]);
    if (n.size() > 1) info.minor = static_cast<int>(n[1]);
    if (n.size() > 2) info.patch = static_cast<int>(n[2]);
    return info;
}

std::string GetOsPrettyName(const std::string& osReleaseFile) {
    std::ifstream in(osReleaseFile);
    std::string line, pretty, name;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        if (key == "PRETTY_NAME") pretty = unquote(line.substr(eq + 1));
        if (key == "NAME") name = unquote(line.substr(eq + 1));
    }
    return pretty.empty() ? name : pretty;
}

MemInfo GetMemInfo(const std::string& meminfoFile) {
    MemInfo m;
    std::ifstream in(meminfoFile);
    std::string line;
    bool haveAvailable = false;
    std::int64_t memFree = 0;
    while (std::getline(in, line)) {
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        std::int64_t kb = std::strtoll(line.c_str() + colon + 1, nullptr, 10);
        std::int64_t bytes = kb * 1024;
        if (key == "MemTotal") m.totalPhysical = bytes;
        else if (key == "MemAvailable") {
            m.availablePhysical = bytes;
            haveAvailable = true;
        } else if (key == "MemFree") memFree = bytes;
        else if (key == "SwapTotal") m.totalSwap = bytes;
        else if (key == "SwapFree") m.freeSwap = bytes;
        else if (key == "CommitLimit") m.commitLimit = bytes;
        else if (key == "Committed_AS") m.committed = bytes;
    }
    if (!haveAvailable) m.availablePhysical = memFree;
    return m;
}

double DiskFreeBytes(const std::string& path) {
    struct statvfs s {};
    if (path.empty() || ::statvfs(path.c_str(), &s) != 0) return 0;
    return static_cast<double>(s.f_bavail) * static_cast<double>(s.f_frsize);
}

std::string HostName() {
    char buf[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

std::string UserName() {
    if (const passwd* pw = ::getpwuid(::geteuid())) return pw->pw_name;
    if (const char* login = ::getlogin()) return login;
    if (const char* user = std::getenv("USER")) return user;
    return {};
}

std::string UserFullName() {
    const passwd* pw = ::getpwuid(::geteuid());
    if (!pw || !pw->pw_gecos) return {};
    std::string gecos = pw->pw_gecos;
    return gecos.substr(0, gecos.find(','));
}

std::string TempPath() {
    std::string dir;
    if (const char* t = std::getenv("TMPDIR"); t && *t) dir = t;
    else dir = "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::vector<LoadedLibrary> LoadedLibraries() {
    std::vector<LoadedLibrary> libs;
    std::set<std::string> seen;
    std::ifstream in("/proc/self/maps");
    std::string line;
    while (std::getline(in, line)) {
        auto slash = line.find('/');
        if (slash == std::string::npos) continue;
        std::string path = line.substr(slash);
        if (path.size() > 10 && path.compare(path.size() - 10, 10, " (deleted)") == 0) path.resize(path.size() - 10);
        std::string name = fs::path(path).filename().string();
        if (name.find(".so") == std::string::npos) continue;
        if (!seen.insert(path).second) continue;
        libs.push_back({path, name});
    }
    return libs;
}

std::string SystemRootDirectory() { return "/usr"; }

std::string SystemLibraryDirectory() {
    for (const auto& lib : LoadedLibraries())
        if (lib.name.rfind("libc.so", 0) == 0 || lib.name.rfind("libc-", 0) == 0)
            return fs::path(lib.path).parent_path().string();
    return "/usr/lib";
}

std::string FileVersion(const std::string& path) {
    const std::string real = canonical(path);
    if (real.empty() || !fs::is_regular_file(real)) return {};
    if (real == canonical(App::ExecutablePath()))
        return fourPartVersion(std::to_string(App::Major()) + "." + std::to_string(App::Minor()) + "." +
                               std::to_string(App::Revision()));
    const std::string name = fs::path(real).filename().string();
    if (name.rfind("libsqlite3.so", 0) == 0) return fourPartVersion(sqlite3_libversion());
    if (name.rfind("libc.so", 0) == 0 || name.rfind("libc-", 0) == 0) return fourPartVersion(gnu_get_libc_version());
    auto so = name.find(".so.");
    if (so == std::string::npos) return {};
    return fourPartVersion(name.substr(so + 4));
}

} // namespace platform
