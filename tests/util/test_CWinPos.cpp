// Window positions: stored text, restoring onto the screen in twips, centring.
#include <gtest/gtest.h>

#include <array>

#include "errors/RunTimeError.h"
#include "platform/App.h"
#include "support/HookRecorder.h"
#include "util/CWinPos.h"
#include "util/FormGeometry.h"

using namespace platform;
using vtest::PlainForm;

namespace {

// Where a window stands: left, top, width and height in twips.
using Place = std::array<double, 4>;
Place placeOf(const PlainForm& f) { return {f.left, f.top, f.width, f.height}; }

// The RunTimeError RestoreForm raises for f; number 0 when it raises none.
RunTimeError restoreError(CWinPos& pos, PlainForm& f) {
    try {
        pos.RestoreForm(f);
    } catch (const RunTimeError& e) {
        return e;
    }
    return RunTimeError(0, "no error");
}

// A screen of 1024 x 768 pixels: 15360 x 11520 twips.
class CWinPosTest : public ::testing::Test {
protected:
    void SetUp() override {
        CProgramSettings& s = pos.ProductSettings();
        s.SetRegBase("ZUR");
        s.SetMainBranch("SOFTWARE");
        s.SetProgram("Varnello Demo\\5.0");
        s.SetSection("Form Position");
    }
    void storeText(const std::string& name, const std::string& text) { pos.ProductSettings().WriteEntry(name, text); }
    std::string storedText(const std::string& name) { return pos.ProductSettings().ReadEntry(name, "<none>"); }

    vtest::RegistryRedirect reg;
    vtest::HookRecorder rec;
    vtest::ScreenOverride screen{1024, 768};
    CWinPos pos;
};

TEST_F(CWinPosTest, ANormalWindowIsStoredAsFiveNumbers) {
    PlainForm f("MDIMain", 1200, 900, 6000, 4000);
    pos.SaveForm(f);
    EXPECT_EQ(storedText("MDIMain"), "1200 900 6000 4000 0");
    auto raw = RegistryKey::Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\Form Position", KEY_READ)
                   .QueryValue("MDIMain");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, REG_SZ);
}

TEST_F(CWinPosTest, FractionsAreWrittenAsSinglePrecisionText) {
    EXPECT_EQ(CWinPos::FormText(PlainForm("f", 1234.5, 0.25, 7.5, 100)), "1234.5 0.25 7.5 100 0");
    EXPECT_EQ(CWinPos::FormText(PlainForm("f", 0.1, 0, 0, 0)), "0.1 0 0 0 0");
}

// A window whose normal position differs from where it stands while
// minimized or maximized.
class AwayForm : public PlainForm {
public:
    AwayForm(std::string name, int state, double nl, double nt, double nw, double nh)
        : PlainForm(std::move(name), 0, 0, 15360, 11000, state), nl(nl), nt(nt), nw(nw), nh(nh) {}
    double NormalLeft() const override { return nl; }
    double NormalTop() const override { return nt; }
    double NormalWidth() const override { return nw; }
    double NormalHeight() const override { return nh; }
    double nl, nt, nw, nh;
};

TEST_F(CWinPosTest, AMaximizedOrMinimizedWindowKeepsItsNormalPositionBesideTheValueOtherVersionsRead) {
    struct Row {
        int state;
        const char* stored;   // the value other versions read, unchanged
        int restoredState;
        const char* why;
    } rows[] = {
        {vbMaximized, "-1 -1 -1 -1 2", vbMaximized, "maximized: restored maximized, its normal size behind it"},
        {vbMinimized, "-1 -1 -1 -1 1", vbNormal, "minimized: restored normal, where it stood"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        pos.SaveForm(AwayForm("frmStatMain", r.state, 1200, 900, 9150, 5400));
        EXPECT_EQ(storedText("frmStatMain"), r.stored);
        EXPECT_EQ(storedText(std::string("frmStatMain") + CWinPos::NormalSuffix), "1200 900 9150 5400");
        // The window of the next start, at its first small size.
        PlainForm f("frmStatMain", 0, 0, 1800, 3900);
        EXPECT_TRUE(pos.RestoreForm(f));
        EXPECT_EQ(placeOf(f), (Place{1200, 900, 9150, 5400}));
        EXPECT_EQ(f.state, r.restoredState);
    }
}

TEST_F(CWinPosTest, AMaximizedValueOfAnotherVersionWithoutTheNormalPositionLeavesThePositionAlone) {
    storeText("frmOld", "-1 -1 -1 -1 2");
    PlainForm f("frmOld", 100, 200, 3000, 2000);
    EXPECT_TRUE(pos.RestoreForm(f));
    EXPECT_EQ(placeOf(f), (Place{100, 200, 3000, 2000}));
    EXPECT_EQ(f.state, vbMaximized);
}

TEST_F(CWinPosTest, AMinimizedWindowIsRestoredNormal) {
    pos.SaveForm(PlainForm("f", 1, 2, 3, 4, vbMinimized));
    EXPECT_EQ(storedText("f"), "-1 -1 -1 -1 1");
    PlainForm f("f", 10, 20, 30, 40, vbMaximized);
    EXPECT_TRUE(pos.RestoreForm(f));
    EXPECT_EQ(f.state, vbNormal);
}

struct RestoreCase {
    const char* stored;
    double left, top, width, height;
    int state;
};

TEST_F(CWinPosTest, RestoredValuesAreKeptOnTheScreen) {
    // The form starts at 111 222 333 444, state 2 (maximized).
    const RestoreCase cases[] = {
        {"1200 900 6000 4000 0", 1200, 900, 6000, 4000, 0},
        {"16000 900 6000 4000 0", 0, 900, 6000, 4000, 0},      // left past the screen
        {"-50 900 6000 4000 0", 0, 900, 6000, 4000, 0},        // negative left
        {"15360 900 6000 4000 0", 15360, 900, 0, 4000, 0},     // left exactly at the edge
        {"12000 900 6000 4000 0", 12000, 900, 3360, 4000, 0},  // too wide for where it stands
        {"100 12000 6000 4000 0", 100, 0, 6000, 4000, 0},      // top past the screen
        {"100 10000 6000 4000 0", 100, 10000, 6000, 1520, 0},  // too high for where it stands
        {"1200 900 6000", 1200, 900, 6000, 444, 2},            // three numbers
        {"1200 900 6000 4000 0 99", 1200, 900, 6000, 4000, 0}, // the sixth is ignored
        {"-1 -1 5000 -1 0", 111, 222, 5000, 444, 0},           // -1 leaves a value alone
        {"1200   900  6000 4000 0", 1200, 900, 6000, 4000, 0}, // runs of blanks
        {"1200.5 abc 6000x 4000 0", 1200.5, 0, 6000, 4000, 0}, // leading numeric part, else 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        storeText("frmCase", c.stored);
        PlainForm f("frmCase", 111, 222, 333, 444, vbMaximized);
        EXPECT_TRUE(pos.RestoreForm(f));
        EXPECT_EQ(placeOf(f), (Place{c.left, c.top, c.width, c.height}));
        EXPECT_EQ(f.state, c.state);
    }
}

TEST_F(CWinPosTest, AWindowNeverSavedIsLeftAlone) {
    PlainForm f("frmNever", 1, 2, 3, 4, vbMaximized);
    EXPECT_FALSE(pos.RestoreForm(f));
    EXPECT_EQ(f.left, 1);
    EXPECT_EQ(f.state, vbMaximized);
    storeText("frmEmpty", ""); // an empty value reads as nothing stored
    PlainForm e("frmEmpty", 5, 6, 7, 8);
    EXPECT_FALSE(pos.RestoreForm(e));
    EXPECT_EQ(e.left, 5);
}

TEST_F(CWinPosTest, CenterformPutsTheWindowInTheMiddle) {
    PlainForm f("f", 0, 0, 6000, 4000);
    pos.centerform(f);
    EXPECT_EQ(f.top, 3760);
    EXPECT_EQ(f.left, 4680);
    PlainForm odd("f", 0, 0, 6001, 4001);
    pos.centerform(odd);
    EXPECT_EQ(odd.top, 3759.5);
    EXPECT_EQ(odd.left, 4679.5);
}

TEST_F(CWinPosTest, SaveThenRestoreRoundTrip) {
    pos.SaveForm(PlainForm("frmRound", 300, 450, 9000, 6000));
    PlainForm f("frmRound", 0, 0, 0, 0);
    EXPECT_TRUE(pos.RestoreForm(f));
    EXPECT_EQ(placeOf(f), (Place{300, 450, 9000, 6000}));
}

// A window that refuses to move.
class StuckForm : public PlainForm {
public:
    using PlainForm::PlainForm;
    void SetLeft(double) override { throw RunTimeError(70); }
};

TEST_F(CWinPosTest, AnErrorIsRaisedToTheCallerNamingEachRoutine) {
    App::SetTitle("Varnello");
    storeText("frmStuck", "100 100 100 100 0");
    StuckForm f("frmStuck");
    const RunTimeError e = restoreError(pos, f);
    EXPECT_EQ(e.Number(), -2147220504);
    EXPECT_EQ(e.Source(), "CWinPos");
    EXPECT_EQ(e.Description(),
              "Varnello: Error in Function RestoreForm\r\nClass: CWinPos\r\nNumber: -2147220504\r\n"
              "Varnello: Error in Sub SetValue\r\nClass: CWinPos\r\nNumber: 70\r\nPermission denied");
    App::SetTitle({});
}

TEST_F(CWinPosTest, AStoredNumberBeyondSinglePrecisionIsAnOverflow) {
    App::SetTitle("Varnello");
    storeText("frmHuge", "1e39 0 0 0 0");
    PlainForm f("frmHuge");
    EXPECT_EQ(restoreError(pos, f).Description(),
              "Varnello: Error in Function RestoreForm\r\nClass: CWinPos\r\nNumber: 6\r\nOverflow");
    App::SetTitle({});
}

TEST(CWinPosWithoutScreen, RestoringNeedsAScreen) {
    vtest::RegistryRedirect reg;
    auto old = SetScreenInfoProvider({});
    CWinPos pos;
    pos.ProductSettings().WriteEntry("f", "1 2 3 4 0");
    PlainForm f("f");
    const RunTimeError e = restoreError(pos, f);
    EXPECT_EQ(e.Number(), CWinPos::ErrorNumber);
    EXPECT_NE(e.Description().find("Number: 91\r\n"), std::string::npos);
    EXPECT_THROW(pos.centerform(f), RunTimeError);
    SetScreenInfoProvider(std::move(old));
}

} // namespace
