// System information from Linux sources.
#include <errno.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/utsname.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/App.h"
#include "platform/SystemInfo.h"
#include "support/TempDir.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

TEST(SystemInfo, OsPrettyNameFromAnOsReleaseFile) {
    vtest::TempDir dir;
    writeFile(dir.file("a"), "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n");
    writeFile(dir.file("b"), "NAME='Alpine Linux'\nID=alpine\n");
    EXPECT_EQ(GetOsPrettyName(dir.file("a")), "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(GetOsPrettyName(dir.file("b")), "Alpine Linux");
    EXPECT_EQ(GetOsPrettyName(dir.file("missing")), "");
}

TEST(SystemInfo, MemoryFiguresFromAMeminfoFileInBytes) {
    vtest::TempDir dir;
    writeFile(dir.file("m"),
              "MemTotal:       16000000 kB\nMemFree:         1000000 kB\nMemAvailable:    8000000 kB\n"
              "SwapTotal:       2000000 kB\nSwapFree:        1500000 kB\nCommitLimit:    10000000 kB\n"
              "Committed_AS:    4000000 kB\n");
    MemInfo m = GetMemInfo(dir.file("m"));
    EXPECT_EQ(m.totalPhysical, 16384000000LL);
    EXPECT_EQ(m.availablePhysical, 8192000000LL);
    EXPECT_EQ(m.totalSwap, 2048000000LL);
    EXPECT_EQ(m.freeSwap, 1536000000LL);
    EXPECT_EQ(m.commitLimit, 10240000000LL);
    EXPECT_EQ(m.committed, 4096000000LL);

    writeFile(dir.file("old"), "MemTotal: 100 kB\nMemFree: 40 kB\n"); // a kernel without MemAvailable
    EXPECT_EQ(GetMemInfo(dir.file("old")).availablePhysical, 40960);
    EXPECT_EQ(GetMemInfo(dir.file("missing")).totalPhysical, 0);
}

struct VersionCase { const char* file; const char* expected; };

TEST(SystemInfo, FileVersionFromTheLibraryName) {
    vtest::TempDir dir;
    const VersionCase cases[] = {
        {"libfour.so.4.71.40000.2", "4.71.40000.2"},
        {"libone.so.6", "6.0.0.0"},
        {"libthree.so.6.0.30", "6.0.30.0"},
        {"libplain.so", ""},
        {"notes.txt", ""},
        {"libbig.so.1.70000", ""},
        {"libfive.so.1.2.3.4.5", ""},
        {"libtext.so.1.x", ""},
    };
    for (const auto& c : cases) {
        writeFile(dir.file(c.file), "x");
        EXPECT_EQ(FileVersion(dir.file(c.file)), c.expected) << c.file;
    }
    EXPECT_EQ(FileVersion(dir.file("libmissing.so.1.2")), "");
    EXPECT_EQ(FileVersion(dir.path().string()), ""); // a folder
    // A link takes the version of the file it points to.
    fs::create_symlink(dir.file("libthree.so.6.0.30"), dir.file("libthree.so.6"));
    EXPECT_EQ(FileVersion(dir.file("libthree.so.6")), "6.0.30.0");
}

TEST(SystemInfo, FileVersionOfTheProgramSQLiteAndTheCLibrary) {
    App::SetVersion(2, 7, 31);
    EXPECT_EQ(FileVersion(App::ExecutablePath()), "2.7.31.0");
    App::SetVersion(0, 1, 0);

    bool sawSqlite = false, sawLibc = false, sawStdcxx = false;
    for (const auto& lib : LoadedLibraries()) {
        if (lib.name.rfind("libsqlite3.so", 0) == 0) {
            sawSqlite = true;
            EXPECT_EQ(FileVersion(lib.path), std::string(sqlite3_libversion()) + ".0");
        }
        if (lib.name.rfind("libc.so", 0) == 0) {
            sawLibc = true;
            EXPECT_FALSE(FileVersion(lib.path).empty());
        }
        if (lib.name.rfind("libstdc++.so", 0) == 0) {
            sawStdcxx = true;
            EXPECT_EQ(lib.name.substr(0, 15), "libstdc++.so.6.");
            EXPECT_EQ(FileVersion(lib.path), lib.name.substr(13) + ".0"); // three numbers in the name
        }
    }
    EXPECT_TRUE(sawSqlite);
    EXPECT_TRUE(sawLibc);
    EXPECT_TRUE(sawStdcxx);
}

TEST(SystemInfo, KernelFiguresMatchUname) {
    utsname u{};
    ASSERT_EQ(::uname(&u), 0);
    KernelInfo k = GetKernelInfo();
    EXPECT_EQ(k.sysname, "Linux");
    EXPECT_EQ(k.release, u.release);
    int major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(u.release, "%d.%d", &major, &minor), 2);
    EXPECT_EQ(k.major, major);
    EXPECT_EQ(k.minor, minor);
}

TEST(SystemInfo, DiskFreeBytesOfAFolderAndOfNothing) {
    vtest::TempDir dir;
    EXPECT_GT(DiskFreeBytes(dir.path().string()), 0.0);
    EXPECT_EQ(DiskFreeBytes(dir.file("missing")), 0.0);
    EXPECT_EQ(DiskFreeBytes(""), 0.0);
}

TEST(SystemInfo, NamesAndFolders) {
    std::ifstream host("/proc/sys/kernel/hostname");
    std::string expectedHost;
    std::getline(host, expectedHost);
    EXPECT_EQ(HostName(), expectedHost);
    EXPECT_FALSE(UserName().empty());
    EXPECT_EQ(TempPath().back(), '/');
    EXPECT_TRUE(fs::is_directory(SystemLibraryDirectory()));
    EXPECT_TRUE(fs::is_directory(SystemRootDirectory()));
}

TEST(SystemInfo, TheApplicationKnowsItsExecutable) {
    EXPECT_EQ(App::EXEName(), program_invocation_short_name);
    EXPECT_EQ(App::Path(), fs::path(App::ExecutablePath()).parent_path().string());
    App::SetPathOverride("/opt/varnello");
    EXPECT_EQ(App::Path(), "/opt/varnello");
    App::SetPathOverride({});
    EXPECT_EQ(App::Title(), App::EXEName());
}

} // namespace
