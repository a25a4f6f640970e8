#pragma once
// What the system tells about itself, read from Linux sources: uname,
// /etc/os-release, /proc/meminfo, /proc/self/maps, statvfs, the password
// database and the host name. Plain functions without state; every call reads
// afresh. None of them throws: a source that cannot be read gives zeros or
// empty texts.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct KernelInfo {
    std::string sysname; // "Linux"
    std::string release; // "6.1.0-13-amd64"
    std::string machine; // "x86_64"
    int major = 0;       // leading numbers of the release
    int minor = 0;
    int patch = 0;
};
KernelInfo GetKernelInfo();

// PRETTY_NAME of an os-release file ("Debian GNU/Linux 12 (bookworm)"); NAME
// when it has no PRETTY_NAME; empty when it cannot be read.
std::string GetOsPrettyName(const std::string& osReleaseFile = "/etc/os-release");

// Memory figures in bytes (the kernel reports kB; they are multiplied by 1024).
struct MemInfo {
    std::int64_t totalPhysical = 0;     // MemTotal
    std::int64_t availablePhysical = 0; // MemAvailable (MemFree on old kernels)
    std::int64_t totalSwap = 0;         // SwapTotal
    std::int64_t freeSwap = 0;          // SwapFree
    std::int64_t commitLimit = 0;       // CommitLimit
    std::int64_t committed = 0;         // Committed_AS
};
MemInfo GetMemInfo(const std::string& meminfoFile = "/proc/meminfo");

// Bytes of the file system holding path that this process may use; 0 when the
// path does not exist or cannot be examined.
double DiskFreeBytes(const std::string& path);

std::string HostName();
// The login name of the effective user.
std::string UserName();
// The user's full name from the password database (first field of the GECOS
// entry); empty when none is recorded.
std::string UserFullName();
// The temporary folder ($TMPDIR, else /tmp), with a trailing "/".
std::string TempPath();
// The folder of the installed system, the counterpart of the Windows
// directory: "/usr".
std::string SystemRootDirectory();
// The folder the C library was loaded from ("/lib/x86_64-linux-gnu" ...), or
// "/usr/lib" when it cannot be found.
std::string SystemLibraryDirectory();

// A shared library mapped into this process.
struct LoadedLibrary {
    std::string path; // full path of the mapped file
    std::string name; // file name ("libQt6Core.so.6.4.2")
};
// Every distinct library file mapped into this process, in the order of
// /proc/self/maps.
std::vector<LoadedLibrary> LoadedLibraries();

// The version of a file as four numbers joined by "." ("6.4.2.0"), empty when
// the file does not exist or carries no version:
// - the running program: the application's version (App);
// - the SQLite library: sqlite3_libversion();
// - the C library: gnu_get_libc_version();
// - any other file: the numbers after ".so." in its real name, following
//   symbolic links (libstdc++.so.6 -> libstdc++.so.6.0.30 gives 6.0.30.0).
// Missing places are 0; more than four numbers, or a number above 65535,
// means no version.
std::string FileVersion(const std::string& path);

} // namespace platform
