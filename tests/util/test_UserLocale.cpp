// The settings store, window positions and switch strings under a user's
// regional settings: a program that set its C locale to German (decimal
// comma) must read the numbers of these texts as under the C locale.
#include <gtest/gtest.h>

#include "support/HookRecorder.h"
#include "support/UserLocale.h"
#include "util/CCommandArgs.h"
#include "util/CProgramSettings.h"
#include "util/CWinPos.h"
#include "util/FormGeometry.h"

#include <array>

using namespace platform;

namespace {

// Under de_DE the C library read "3.5" as 3: a number stored from a text
// became 3 instead of 4 (half to even), "1200.5" in a window position became
// 1200, and the switch at position "1.5" was the first instead of the second.
TEST(UserLocale, NumbersOfSettingsPositionsAndSwitchesReadUnderADecimalCommaLocaleAsUnderC) {
    VTEST_USER_LOCALE(german, "de_DE");
    vtest::RegistryRedirect reg;
    vtest::HookRecorder rec;

    const std::string path = "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Settings";
    const struct {
        const char* text;
        std::int32_t stored; // rounded half to even
    } numbers[] = {{"3.5", 4}, {"2.5", 2}, {" -7.25 ", -7}, {"1.5E+3", 1500}};
    for (const auto& n : numbers) {
        SCOPED_TRACE(n.text);
        CProgramSettings::SetKeyValue(HKEY_LOCAL_MACHINE, path, "N", std::string(n.text), REG_DWORD);
        auto v = CProgramSettings::GetKeyValue(HKEY_LOCAL_MACHINE, path, "N");
        ASSERT_TRUE(std::holds_alternative<std::int32_t>(v));
        EXPECT_EQ(std::get<std::int32_t>(v), n.stored);
    }
    EXPECT_TRUE(rec.messages.empty());

    // A window position stored with fractions of a twip (1024 x 768 pixels:
    // 15360 x 11520 twips, all four inside).
    vtest::ScreenOverride screen{1024, 768};
    CWinPos pos;
    CProgramSettings& s = pos.ProductSettings();
    s.SetRegBase("ZUR");
    s.SetMainBranch("SOFTWARE");
    s.SetProgram("Varnello Demo\\5.0");
    s.SetSection("Form Position");
    s.WriteEntry("frmCase", "1200.5 900.25 6000.75 4000.5 0");
    vtest::PlainForm f("frmCase", 111, 222, 333, 444, vbMaximized);
    EXPECT_TRUE(pos.RestoreForm(f));
    EXPECT_EQ((std::array<double, 4>{f.left, f.top, f.width, f.height}),
              (std::array<double, 4>{1200.5, 900.25, 6000.75, 4000.5}));
    EXPECT_TRUE(rec.messages.empty());

    // A switch named by its position as a text: 1.5 is the second, half to even.
    CCommandArgs a;
    a.SetDelim("/");
    a.SetTestString("/WG c:\\app\\system.mdw/UID admin/PWD");
    a.Parse();
    EXPECT_EQ(a.Item("1.5"), "admin");
    EXPECT_EQ(a.Item("0.75"), "c:\\app\\system.mdw");
}

} // namespace
