// System information and memory figures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/HookRecorder.h"
#include "platform/RegistryStore.h"
#include "util/CMemoryStatus.h"
#include "util/COSInfo.h"

using namespace platform;

namespace {

std::string firstLine(const std::string& file) {
    std::ifstream in(file);
    std::string s;
    std::getline(in, s);
    return s;
}

std::string commandOutput(const char* command) {
    std::string out;
    if (FILE* p = ::popen(command, "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

struct TrimCase {
    std::string in;
    std::string out;
};

TEST(COSInfo, TrimNullsCutsAtTheFirstNul) {
    const TrimCase cases[] = {
        {"no nul", "no nul"},
        {std::string("\0starts", 7), ""},
        {std::string("ab\0cd\0", 6), "ab"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(COSInfo::TrimNulls(c.in), c.out);
}

TEST(COSInfo, GuidFieldsInUpperCaseHexWithoutLeadingZeros) {
    const unsigned char a[16] = {0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0xBC, 0xDE,
                                 0x00, 0x0F, 0x10, 0xFF, 0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(COSInfo::FormatGUID(a), "{1-A-BCDE-0F10FF1234}");
    const unsigned char b[16] = {0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF, 0x12, 0x34,
                                 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89};
    EXPECT_EQ(COSInfo::FormatGUID(b), "{DEADBEEF-FFFF-1234-ABCDEF123456789}");
    COSInfo os;
    const std::regex form("\\{[0-9A-F]{1,8}-[0-9A-F]{1,4}-[0-9A-F]{1,4}-[0-9A-F]{8,16}\\}");
    const std::string g1 = os.GUID(), g2 = os.GUID();
    EXPECT_TRUE(std::regex_match(g1, form)) << g1;
    EXPECT_NE(g1, g2);
}

struct ColourCase {
    int bits;
    int planes;
    std::int64_t colours;
};

TEST(COSInfo, DisplayColoursFromTheScreen) {
    const ColourCase cases[] = {{24, 1, 16777216}, {16, 1, 65536}, {8, 1, 256}, {1, 4, 16}, {32, 1, 4294967296LL}};
    COSInfo os;
    for (const auto& c : cases) {
        ScreenInfo s;
        s.bitsPerPixel = c.bits;
        s.planes = c.planes;
        vtest::ScreenOverride screen(s);
        EXPECT_EQ(os.DisplayColors(), c.colours) << c.bits;
    }
    auto old = SetScreenInfoProvider({});
    EXPECT_EQ(os.DisplayColors(), 0);
    SetScreenInfoProvider(std::move(old));
}

TEST(COSInfo, LargeFontsAndWorkAreaFromTheScreen) {
    ScreenInfo s;
    s.logPixelsX = 120;
    s.workLeft = 0;
    s.workTop = 30;
    s.workWidth = 1920;
    s.workHeight = 1050;
    COSInfo os;
    {
        vtest::ScreenOverride screen(s);
        EXPECT_TRUE(os.LargeFonts());
        std::array<short, 4> area{-1, -1, -1, -1}; // left, top, width, height
        os.GetWorkArea(area[0], area[1], area[2], area[3]);
        EXPECT_EQ(area, (std::array<short, 4>{0, 30, 1920, 1050}));
    }
    s.logPixelsX = 96;
    vtest::ScreenOverride screen(s);
    EXPECT_FALSE(os.LargeFonts());
}

TEST(COSInfo, SaneValuesOfThisSystem) {
    COSInfo os;
    int major = 0, minor = 0, patch = 0;
    ASSERT_GE(std::sscanf(firstLine("/proc/sys/kernel/osrelease").c_str(), "%d.%d.%d", &major, &minor, &patch), 2);
    EXPECT_EQ(os.OSMajorVersion(), major);
    EXPECT_EQ(os.OSMinorVersion(), minor);
    EXPECT_EQ(os.OSBuild(), patch & 0x7FFF);
    EXPECT_EQ(os.WindowsType(), 2);
    EXPECT_EQ(os.SystemName(), "Linux");
    EXPECT_FALSE(os.OSAdditional().empty());
    EXPECT_EQ(os.ComputerName(), firstLine("/proc/sys/kernel/hostname"));
    EXPECT_EQ(os.UserName(), commandOutput("id -un"));
    EXPECT_EQ(os.WindowsDirectory(), "/usr");
    EXPECT_EQ(::access(os.SystemDirectory().c_str(), R_OK), 0);
    EXPECT_EQ(os.TempPath().back(), '/');
    EXPECT_EQ(os.TempFile("varnello"), os.TempPath() + "var1.TMP");
    EXPECT_EQ(os.TempFile("v"), os.TempPath() + "v1.TMP");
    EXPECT_TRUE(os.Beep());
    EXPECT_FALSE(os.ScreenSaverActive());
    EXPECT_EQ(os.ScreenSaverTimeout(), 0);
}

TEST(COSInfo, DefaultNamesFromTheUsersRegistry) {
    vtest::RegistryRedirect reg;
    RegistryKey key =
        RegistryKey::Create(HKEY_CURRENT_USER, "Software\\Microsoft\\MS Setup (ACME)\\User Info", KEY_ALL_ACCESS);
    key.SetString("DefCompany", "ZUR");
    key.SetValue("DefName", RegValue::Raw(REG_SZ, std::string("Ann\0junk", 8)));
    COSInfo os;
    EXPECT_EQ(os.DefaultCompanyName(), "ZUR");
    EXPECT_EQ(os.DefaultUserName(), "Ann");
}

TEST(COSInfo, RenamingTheMachineIsRefusedWithAMessage) {
    vtest::HookRecorder rec;
    COSInfo os;
    const std::string before = os.ComputerName();
    os.SetComputerName("other-name");
    EXPECT_EQ(os.ComputerName(), before);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].prompt, "Error: 70. Permission denied");
    EXPECT_EQ(rec.messages[0].title, "ComputerName");
    EXPECT_EQ(rec.messages[0].buttons, vbOKOnly);
}

TEST(COSInfo, AScreenTooDeepIsReportedInItsOwnBox) {
    vtest::HookRecorder rec;
    ScreenInfo s;
    s.bitsPerPixel = 64;
    vtest::ScreenOverride screen(s);
    EXPECT_EQ(COSInfo().DisplayColors(), 0);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].prompt, "Error: 6. Overflow");
    EXPECT_EQ(rec.messages[0].title, "DisplayColors");
}

// /proc/meminfo read by the test itself, in bytes.
std::int64_t meminfo(const std::string& key) {
    std::ifstream in("/proc/meminfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) {
            std::istringstream ss(line.substr(key.size() + 1));
            std::int64_t kb = 0;
            ss >> kb;
            return kb * 1024;
        }
    return -1;
}

TEST(CMemoryStatus, SaneFiguresOfThisMachine) {
    CMemoryStatus m;
    EXPECT_EQ(m.TotalPhysical(), meminfo("MemTotal"));
    EXPECT_EQ(m.TotalPageFile(), meminfo("SwapTotal"));
    EXPECT_GT(m.AvailablePhysical(), 0);
    EXPECT_LE(m.AvailablePhysical(), m.TotalPhysical());
    EXPECT_LE(m.AvailablePageFile(), m.TotalPageFile());
    EXPECT_GE(m.MemoryLoad(), 0);
    EXPECT_LE(m.MemoryLoad(), 100);
    EXPECT_GE(m.AvailableVirtual(), 0);
    EXPECT_LE(m.AvailableVirtual(), m.TotalVirtual());
}

} // namespace
