// The shared routines: key strings, paths, application folder, free space,
// file versions, centring.
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "platform/App.h"
#include "support/HookRecorder.h"
#include "util/FormGeometry.h"
#include "util/modStatCommon.h"

namespace {

TEST(modStatCommon, RegistryKeyStrings) {
    EXPECT_EQ(GetRegistryProgramKey(), "Varnello Demo\\5.0");
    EXPECT_EQ(GetRegistryProductKey(), "Varnello Demo");
}

struct PathCase {
    std::string path;
    std::string drive, folder, file, extension; // "?" where the routine must leave the input
};

TEST(modStatCommon, ParsePathOfKnownPaths) {
    const PathCase cases[] = {
        {"C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL", "C:", "\\WINDOWS\\SYSTEM\\", "KERNEL32", ".DLL"},
        {"C:\\DATA\\REPORT.HTML", "C:", "\\DATA\\", "REPORT", "?"},
        {"C:\\Program Files\\Long Name Folder", "C:", "?", "\\Program Files\\Long Name Folder", "?"},
        {"\\DATA\\A.MDB", "?", "\\DATA\\", "A", ".MDB"},
        {"/home/ann/db/sales.mdb", "?", "/home/ann/db/", "sales", ".mdb"},
        {"REPORT.TXT", "?", "?", "REPORT", ".TXT"},
        {"D:", "D:", "?", "", "?"},
        // The walk meets ".C" first and cuts it, then ".B", which sets the
        // extension anew and is cut too: the file is "A", the extension ".B".
        {"C:\\A.B.C", "C:", "\\", "A", ".B"},
        // Characters are counted, not the bytes that hold them.
        {"/home/ann/Ökonomie.db", "?", "/home/ann/", "Ökonomie", ".db"}, // 8 letters in 9 bytes
        {"C:\\DATA\\NOTES.日本語", "C:", "\\DATA\\", "NOTES", ".日本語"},   // 3 letters in 9 bytes
        {"/data/𝔡𝔞𝔱𝔢𝔫.csv", "?", "/data/", "𝔡𝔞𝔱𝔢𝔫", ".csv"},            // 5 letters in 20 bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::array<std::string, 4> parts{"?", "?", "?", "?"}; // drive, folder, file, extension
        EXPECT_TRUE(ParsePath(c.path, parts[0], parts[1], parts[2], parts[3]));
        EXPECT_EQ(parts, (std::array<std::string, 4>{c.drive, c.folder, c.file, c.extension}));
    }
}

TEST(modStatCommon, GetAppPathEndsInExactlyOneSeparator) {
    platform::App::SetPathOverride("/opt/varnello");
    EXPECT_EQ(GetAppPath(), "/opt/varnello/");
    platform::App::SetPathOverride("/");
    EXPECT_EQ(GetAppPath(), "/");
    platform::App::SetPathOverride({});
    EXPECT_EQ(GetAppPath(), platform::App::Path() + "/");
}

TEST(modStatCommon, DiskFreeSpace) {
    vtest::TempDir dir;
    EXPECT_GT(GetDiskFreeSpace(dir.path().string()), 0);
    EXPECT_EQ(GetDiskFreeSpace(dir.file("missing")), 0);
}

TEST(modStatCommon, FileVersionOfFilesWithAndWithoutOne) {
    vtest::TempDir dir;
    std::ofstream(dir.file("libz.so.4.71.40000.2")) << "x";
    std::ofstream(dir.file("readme.txt")) << "x";
    EXPECT_EQ(GetFileVersion(dir.file("libz.so.4.71.40000.2")), "4.71.40000.2");
    EXPECT_EQ(GetFileVersion(dir.file("readme.txt")), "");
    EXPECT_EQ(GetFileVersion(dir.file("missing.so.1")), "");
}

TEST(modStatCommon, CenterFormKeepsFractions) {
    vtest::ScreenOverride screen(1024, 768);
    vtest::PlainForm f("f", 0, 0, 6000, 4000);
    CenterForm(f);
    EXPECT_EQ(f.top, 3760);
    EXPECT_EQ(f.left, 4680);
    vtest::PlainForm g("g", 0, 0, 1001, 1001);
    CenterForm(g);
    EXPECT_EQ(g.top, 5259.5);
    EXPECT_EQ(g.left, 7179.5);
}

TEST(modStatCommon, KeyGlobalsStartEmpty) {
    EXPECT_EQ(gstrRegProgramKey, "");
    EXPECT_EQ(gstrRegProductKey, "");
}

} // namespace
