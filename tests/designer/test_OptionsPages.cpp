// The options pages, one table per behaviour over every page: filling from
// the wizard and storing each click, option groups and their literals,
// enabling rules, the number boxes' filters and bounds, the checks of Next
// with their messages and focus, and navigation.
#include "DesignerTestSupport.h"

#include "designer/COptionsPage.h"
#include "designer/OptionsPages.h"
#include "platform/ui/Help.h"
#include "scenario/ScenarioSave.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace {

using dtest::Said;
using dtest::Script;
using S_ = CMelvarsScenario;

const auto none = [](S_&) {}; // the options of a new scenario as they are
const auto poly = [](S_& s) { s.SetRegressType("P"); }; // the order box live

// A page of the program's page maker over a wizard holding the options of a
// new scenario, changed by `prepare` before the page is filled.
struct PageUnderTest {
    explicit PageUnderTest(long pageNumber, const std::function<void(CMelvarsScenario&)>& prepare = {}) {
        dtest::SetNewScenarioDefaults(wiz);
        if (prepare) prepare(wiz.Scenario());
        page.reset(dynamic_cast<COptionsPage*>(CreateOptionsPage(pageNumber, nullptr)));
        if (page) page->SetWiz(&wiz);
    }
    // Shown and active, so that focus moves as for a user.
    void Show() {
        page->show();
        page->activateWindow();
        QApplication::setActiveWindow(page.get());
        QApplication::processEvents();
    }
    template <class T = QWidget>
    T* C(const char* name) const {
        T* w = page->Control<T>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Types the text into the box and leaves it.
    COptionsPage::BoxResult Type(const char* box, const QString& text) {
        QLineEdit* b = C<QLineEdit>(box);
        b->setText(text);
        return page->BoxLostFocus(b);
    }
    CMelvarsPropWiz wiz;
    std::unique_ptr<COptionsPage> page;
};

TEST(OptionsPages, EveryPageNumberHasItsFormCaptionAndHelpTopic) {
    Script script; // no message is expected
    struct Row {
        long page;
        const char* form;
        const char* caption;
        int help;
    } rows[] = {
        {4, "frmQuorb_Options_Describe", "ZUR Statistics Describe Options", 70},
        {5, "frmQuorb_Options_Frequency", "ZUR Statistics Frequency Options", 80},
        {6, "frmQuorb_Options_Percentile", "ZUR Statistics Percentile Options", 87},
        {7, "frmQuorb_Options_Compare", "ZUR Statistics Compare Options", 95},
        {8, "frmQuorb_Options_Matrix", "ZUR Statistics Matrix Options", 101},
        {9, "frmQuorb_Options_Regress", "ZUR Statistics Regression Options", 104},
        {10, "frmQuorb_Options_Crosstab", "ZUR Statistics Crosstab Options", 115},
        {11, "frmQuorb_Options_Group", "ZUR Statistics Group Options", 138},
        {12, "frmQuorb_Options_NP_ChiSquare", "ZUR Statistics Chi Square Options", 262},
        {13, "frmQuorb_Options_NP_SignTest", "ZUR Statistics One-Sample Sign Test Options", 169},
        {14, "frmQuorb_Options_NP_KSFit", "ZUR Statistics Kolmogorov-Smirnov Goodness of Fit Options", 174},
        {15, "frmQuorb_Options_NP_TwoSample", "ZUR Statistics Two-Samples Test Options", 182},
        {16, "frmQuorb_Options_NP_NSample", "ZUR Statistics N Sample Kruskal-Wallis Test Options", 191},
        {17, "frmQuorb_Options_NP_PairedFields", "ZUR Statistics Paired Fields Options", 197},
        {18, "frmQuorb_Options_NP_NFields", "ZUR Statistics N Fields Friedman Two-Way ANOVA Options", 205},
    };
    for (const Row& r : rows) {
        PageUnderTest t(r.page);
        ASSERT_NE(t.page, nullptr) << r.page;
        EXPECT_EQ(t.page->objectName(), QString::fromLatin1(r.form));
        EXPECT_EQ(t.page->windowTitle(), QString::fromLatin1(r.caption));
        EXPECT_EQ(t.page->HelpTopic(), r.help) << r.form;
        // Help, Back, Next, Cancel and no button 3; Enter presses none.
        const char* captions[] = {"Help", "< &Back", "&Next >", nullptr, "Cancel"};
        for (int i = 0; i < 5; ++i) {
            QPushButton* b = t.page->cmdNav(i);
            ASSERT_EQ(b != nullptr, captions[i] != nullptr) << r.form << " button " << i;
            if (!b) continue;
            EXPECT_EQ(b->text(), QString::fromLatin1(captions[i]));
            EXPECT_FALSE(b->isDefault() || b->autoDefault()) << r.form << " button " << i;
        }
    }
    EXPECT_EQ(CreateOptionsPage(3, nullptr), nullptr); // not an options page
    EXPECT_EQ(CreateOptionsPage(19, nullptr), nullptr);
}

// Every check box and its property: filled from it both ways, and a click
// stores the box's state and marks the scenario changed.
struct CheckRow {
    long page;
    const char* box;
    bool (S_::*get)() const;
    void (S_::*set)(bool);
};

TEST(OptionsPages, EveryCheckBoxShowsAndStoresItsSwitch) {
    Script script; // no message is expected
    const CheckRow rows[] = {
        {4, "chkRange", &S_::Range, &S_::SetRange},          {4, "chkVarStd", &S_::VarStd, &S_::SetVarStd},
        {4, "chkSum", &S_::Sum, &S_::SetSum},                {4, "chkMean", &S_::Mean, &S_::SetMean},
        {4, "chkSkew", &S_::Skew, &S_::SetSkew},             {4, "chkMode", &S_::Mode, &S_::SetMode},
        {4, "chkCI", &S_::CI, &S_::SetCI},                   {4, "chkCI95", &S_::CI95, &S_::SetCI95},
        {4, "chkTTestMean", &S_::TTestMean, &S_::SetTTestMean},
        {4, "chkPercentile", &S_::Percentile, &S_::SetPercentile},
        {4, "chkFreqN", &S_::FreqN, &S_::SetFreqN},          {4, "chkFreqP", &S_::FreqP, &S_::SetFreqP},
        {5, "chkFreqSum", &S_::FreqSum, &S_::SetFreqSum},    {7, "chkCountXY", &S_::CountXY, &S_::SetCountXY},
        {7, "chkMeanXY", &S_::MeanXY, &S_::SetMeanXY},       {7, "chkCorrXY", &S_::CorrXY, &S_::SetCorrXY},
        {7, "chktTest", &S_::TTest, &S_::SetTTest},          {8, "chkMCnt", &S_::MCnt, &S_::SetMCnt},
        {8, "chkMMis", &S_::MMis, &S_::SetMMis},             {8, "chkMMean", &S_::MMean, &S_::SetMMean},
        {8, "chkMDev", &S_::MDev, &S_::SetMDev},             {8, "chkMCov", &S_::MCov, &S_::SetMCov},
        {8, "chkMCor", &S_::MCor, &S_::SetMCor},             {8, "chkMR2", &S_::MR2, &S_::SetMR2},
        {8, "chkMT", &S_::MT, &S_::SetMT},                   {8, "chkMProb", &S_::MProb, &S_::SetMProb},
        {9, "chkRYInt", &S_::RYInt, &S_::SetRYInt},          {9, "chkRAnova", &S_::RAnova, &S_::SetRAnova},
        {9, "chkResidual", &S_::Residual, &S_::SetResidual}, {10, "chkXRowPcnt", &S_::XRowPCnt, &S_::SetXRowPCnt},
        {10, "chkXColPcnt", &S_::XColPcnt, &S_::SetXColPcnt}, {10, "chkXTotPcnt", &S_::XTotPcnt, &S_::SetXTotPcnt},
        {10, "chkxExpectPcnt", &S_::XExpectPcnt, &S_::SetXExpectPcnt},
        {10, "chkxExpect", &S_::XExpect, &S_::SetXExpect},   {10, "chkXChi", &S_::XChi, &S_::SetXChi},
        {11, "chkGroupIgnoreBlanks", &S_::GroupIgnoreBlanks, &S_::SetGroupIgnoreBlanks},
        {11, "chkGroupDetail", &S_::GroupDetail, &S_::SetGroupDetail},
        {12, "chkChiAll", &S_::ChiAll, &S_::SetChiAll},
        {12, "chkChiIgnoreBlanks", &S_::ChiIgnoreBlanks, &S_::SetChiIgnoreBlanks},
        {12, "chkChiDetail", &S_::ChiDetail, &S_::SetChiDetail},
        {13, "chkSignMean", &S_::SignMean, &S_::SetSignMean},
        {13, "chkSignMedian", &S_::SignMedian, &S_::SetSignMedian},
        {13, "chkSignCustom", &S_::SignCustom, &S_::SetSignCustom},
        {14, "chkFitUniform", &S_::FitUniform, &S_::SetFitUniform},
        {14, "chkFitNormal", &S_::FitNormal, &S_::SetFitNormal},
        {14, "chkFitPoisson", &S_::FitPoisson, &S_::SetFitPoisson},
        {16, "chkNPKruskalDetail", &S_::NPKruskalDetail, &S_::SetNPKruskalDetail},
        {17, "chknPPair_Sign", &S_::NPPair_Sign, &S_::SetNPPair_Sign},
        {17, "chkNPPair_Wilcoxon", &S_::NPPair_Wilcoxon, &S_::SetNPPair_Wilcoxon},
        {17, "chkNPPair_Spearman", &S_::NPPair_Spearman, &S_::SetNPPair_Spearman},
        {18, "chkNPFriedmanDetail", &S_::NPFriedmanDetail, &S_::SetNPFriedmanDetail},
    };
    for (const CheckRow& r : rows) {
        for (bool stored : {false, true}) {
            PageUnderTest t(r.page, [&](S_& s) { (s.*r.set)(stored); });
            auto* box = t.C<QCheckBox>(r.box);
            if (!box) continue;
            EXPECT_EQ(box->isChecked(), stored) << r.box;
            EXPECT_FALSE(t.wiz.Changed()) << r.box << ": filling is no edit";
            box->click();
            EXPECT_EQ((t.wiz.Scenario().*r.get)(), !stored) << r.box;
            EXPECT_TRUE(t.wiz.Changed()) << r.box;
            box->click(); // and back: the stored value follows, still changed
            EXPECT_EQ((t.wiz.Scenario().*r.get)(), stored) << r.box;
            EXPECT_TRUE(t.wiz.Changed()) << r.box;
        }
    }
}

TEST(OptionsPages, AGrayedCheckBoxStoresFalse) {
    Script script; // no message is expected
    PageUnderTest t(7);
    auto* box = t.C<QCheckBox>("chkCountXY");
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    emit box->clicked(false);
    EXPECT_FALSE(t.wiz.CountXY());
    EXPECT_TRUE(t.wiz.Changed());
}

// Every option button of a property: the literal it stores, and that the
// stored literal selects it again.
struct OptionGroup {
    long page;
    std::string (S_::*get)() const;
    void (S_::*set)(std::string);
    std::vector<std::pair<const char*, const char*>> buttons; // button, literal
};

TEST(OptionsPages, EveryOptionButtonStoresAndShowsItsLiteral) {
    Script script; // no message is expected
    const OptionGroup groups[] = {
        {4, &S_::VarNRadio, &S_::SetVarNRadio, {{"optMethodN", "N"}, {"optMethodN1", "N-1"}}},
        {4, &S_::CITypeRadio, &S_::SetCITypeRadio, {{"optConfidenceTTest", "t-Test"}, {"optConfidenceNormal", "Normal"}}},
        {4, &S_::PercentileRadio, &S_::SetPercentileRadio,
         {{"optPcntRadioMedian", "Median"}, {"optPcntRadioQuartiles", "Quartiles"},
          {"optPcntRadioQuintiles", "5"}, // not the word
          {"optPcntRadioDeciles", "Deciles"}}},
        {4, &S_::FreqIncRadio, &S_::SetFreqIncRadio, {{"optFreqIncRadioLower", "Lower"}, {"optFreqIncRadioUppper", "Upper"}}},
        {4, &S_::FreqDispRadio, &S_::SetFreqDispRadio, {{"optFreqDispRadioCount", "Count"}, {"optFreqDispRadioCum", "Cumulative"}}},
        {4, &S_::FreqGroupRadio, &S_::SetFreqGroupRadio,
         {{"optFreqGroupRadioDefault", "Default"}, {"optFreqGroupRadioSpec", "Specified"}}}, // no colon here
        {5, &S_::FreqIncRadio, &S_::SetFreqIncRadio, {{"optFreqIncRadioLower", "Lower"}, {"optFreqIncRadioUppper", "Upper"}}},
        {5, &S_::FreqGroupRadio, &S_::SetFreqGroupRadio,
         {{"optFreqGroupRadioDefault", "Default"}, {"optFreqGroupRadioSpec", "Specified:"}}}, // with the colon
        {6, &S_::PercentileRadio, &S_::SetPercentileRadio,
         {{"optPcntRadioMedian", "Median"}, {"optPcntRadioQuartiles", "Quartiles"}, {"optPcntRadioQuintiles", "5"},
          {"optPcntRadioDeciles", "Deciles"}, {"optPcntRadioPercentiles", "Percentiles"}}},
        {8, &S_::MProbTail, &S_::SetMProbTail, {{"optMProbTail1", "1-tail"}, {"optMProbTail2", "2-tail"}}},
        {9, &S_::RegressType, &S_::SetRegressType,
         {{"optRegressTypeSimple", "S"}, {"optRegressTypeMultiple", "M"}, {"optRegressTypePoly", "P"}}},
        {10, &S_::XType, &S_::SetXType,
         {{"optXTypeCount", "C"}, {"optXTypeSum", "S"}, {"optXTypeAvg", "A"}, {"optXTypeMin", "M"}, {"optXTypeMax", "X"},
          {"optXTypeRange", "R"}, {"optXTypeVar", "V"}, {"optXTypeCVar", "F"}, {"optXTypeStdDev", "D"},
          {"optXTypeStdErr", "E"}}},
        {15, &S_::NPTwoType, &S_::SetNPTwoType, {{"optNPTwoTypeWald", "Wald"}, {"optNPTwoTypeMann", "Mann"}}},
    };
    for (const OptionGroup& g : groups) {
        for (const auto& pair : g.buttons) {
            const char *button = pair.first, *literal = pair.second;
            {
                PageUnderTest t(g.page, [&](S_& s) { (s.*g.set)("none of them"); });
                auto* b = t.C<QRadioButton>(button);
                if (!b) continue;
                // Some buttons need their rule's control live first.
                b->setEnabled(true);
                b->click();
                EXPECT_EQ((t.wiz.Scenario().*g.get)(), literal) << button;
                EXPECT_TRUE(t.wiz.Changed()) << button;
            }
            PageUnderTest t(g.page, [&](S_& s) { (s.*g.set)(literal); });
            EXPECT_TRUE(t.C<QRadioButton>(button)->isChecked()) << button << " from " << literal;
            EXPECT_FALSE(t.wiz.Changed()) << button;
        }
    }
}

// A stored value that is none of a group's literals.
struct UnknownRow {
    long page;
    void (S_::*set)(std::string);
    std::string (S_::*get)() const;
    const char* value;
    std::vector<const char*> group; // the buttons of the property
    const char* selected;            // the button shown, or null for none
    const char* reason;
};

TEST(OptionsPages, AStoredValueOfNoButtonSelectsNoneOrTheFallbackAndStays) {
    const std::vector<const char*> pcnt = {"optPcntRadioMedian", "optPcntRadioQuartiles", "optPcntRadioQuintiles",
                                           "optPcntRadioDeciles"};
    const std::vector<const char*> grp = {"optFreqGroupRadioDefault", "optFreqGroupRadioSpec"};
    const UnknownRow rows[] = {
        {4, &S_::SetPercentileRadio, &S_::PercentileRadio, "Percentiles", pcnt, nullptr, "the Percentiles page's value"},
        {4, &S_::SetFreqGroupRadio, &S_::FreqGroupRadio, "Specified:", grp, nullptr, "the Frequency page's literal"},
        {5, &S_::SetFreqGroupRadio, &S_::FreqGroupRadio, "Specified", grp, "optFreqGroupRadioSpec", "all but Default"},
        {5, &S_::SetFreqGroupRadio, &S_::FreqGroupRadio, "", grp, "optFreqGroupRadioSpec", "even empty"},
        {5, &S_::SetFreqIncRadio, &S_::FreqIncRadio, "lower", {"optFreqIncRadioLower", "optFreqIncRadioUppper"}, nullptr,
         "letter case counts"},
        {6, &S_::SetPercentileRadio, &S_::PercentileRadio, "quartiles", pcnt, nullptr, "letter case counts"},
        {6, &S_::SetPercentileRadio, &S_::PercentileRadio, "Quintiles", pcnt, nullptr, "the word is not the literal"},
        {8, &S_::SetMProbTail, &S_::MProbTail, "3-tail", {"optMProbTail1", "optMProbTail2"}, nullptr, "no such tail"},
        {9, &S_::SetRegressType, &S_::RegressType, "Q",
         {"optRegressTypeSimple", "optRegressTypeMultiple", "optRegressTypePoly"}, nullptr, "no such type"},
        {10, &S_::SetXType, &S_::XType, "Z", {"optXTypeCount", "optXTypeSum", "optXTypeAvg", "optXTypeStdErr"},
         "optXTypeCount", "Count is shown, Z kept"},
        {10, &S_::SetXType, &S_::XType, "", {"optXTypeCount", "optXTypeSum"}, "optXTypeCount", "empty too"},
        {15, &S_::SetNPTwoType, &S_::NPTwoType, "mann", {"optNPTwoTypeWald", "optNPTwoTypeMann"}, nullptr,
         "letter case counts"},
    };
    for (const UnknownRow& r : rows) {
        Script script;
        PageUnderTest t(r.page, [&](S_& s) {
            (s.*r.set)(r.value);
            s.SetFreqInit(dao::Variant(1.0)); // specified intervals are complete
            s.SetFreqWidth(dao::Variant(1.0));
        });
        for (const char* b : r.group)
            EXPECT_EQ(t.C<QRadioButton>(b)->isChecked(), r.selected && std::string(b) == r.selected) << b << ": " << r.reason;
        EXPECT_EQ((t.wiz.Scenario().*r.get)(), r.value) << r.reason;
        EXPECT_FALSE(t.wiz.Changed()) << r.reason;
        t.page->cmdNav_Click(2); // Next still passes
        EXPECT_EQ(t.page->NavResult(), 2) << r.reason;
        EXPECT_TRUE(script.messages.empty()) << r.reason;
    }
    PageUnderTest reg(9, [](S_& s) { s.SetRegressType("Q"); });
    EXPECT_FALSE(reg.C("txtRPoly")->isEnabled()); // and the order box off
}

// Enabling rules: after filling from `prepare` and clicking `click` (if
// any), the controls listed are enabled or not; the rule changes no value.
struct EnableRow {
    long page;
    std::function<void(S_&)> prepare;
    const char* click;
    std::vector<const char*> controls;
    bool enabled;
    const char* reason;
};

TEST(OptionsPages, EnablingRulesFollowTheirControllingOption) {
    Script script; // no message is expected
    const EnableRow rows[] = {
        {4, [](S_& s) { s.SetVarStd(false); }, nullptr, {"optMethodN", "optMethodN1"}, false, "no variance, no divisor"},
        {4, [](S_& s) { s.SetVarStd(false); }, "chkVarStd", {"optMethodN", "optMethodN1"}, true, "ticking variance"},
        {4, none, "chkPercentile", {"optPcntRadioMedian", "optPcntRadioQuartiles", "optPcntRadioQuintiles", "optPcntRadioDeciles"},
         true, "ticking percentiles"},
        {4, none, nullptr, {"optPcntRadioMedian", "optPcntRadioDeciles"}, false, "percentiles off by default"},
        {4, none, nullptr, {"txtCIStdDev", "lblCIStdDev"}, false, "t-Test needs no deviation"},
        {4, none, "optConfidenceNormal", {"txtCIStdDev", "lblCIStdDev"}, true, "Normal needs it"},
        {4, none, "optFreqGroupRadioSpec", {"txtFreqInit", "lblFreqInit", "txtFreqWidth", "lblFreqWidth"}, true,
         "specified intervals"},
        {4, none, nullptr, {"txtFreqInit", "txtFreqWidth"}, false, "default intervals"},
        {4, none, nullptr, {"txtCIUser", "chkCI95", "txtTTestValue", "txtInterV"}, true, "tied to nothing"},
        {5, [](S_& s) { s.SetFreqGroupRadio("Default"); }, "optFreqGroupRadioSpec",
         {"txtFreqInit", "lblFreqInit", "txtFreqWidth", "lblFreqWidth"}, true, "specified"},
        {5, [](S_& s) { s.SetFreqGroupRadio("Specified:"); }, "optFreqGroupRadioDefault",
         {"txtFreqInit", "lblFreqInit", "txtFreqWidth", "lblFreqWidth"}, false, "default"},
        {8, none, nullptr, {"optMProbTail1", "optMProbTail2"}, false, "no probability, no tails"},
        {8, none, "chkMProb", {"optMProbTail1", "optMProbTail2"}, true, "probability asks for its tails"},
        {9, none, nullptr, {"lblRPoly", "txtRPoly", "lbl2to9"}, false, "simple regression"},
        {9, none, "optRegressTypePoly", {"lblRPoly", "txtRPoly", "lbl2to9"}, true, "polynomial"},
        {9, poly, "optRegressTypeMultiple", {"txtRPoly"}, false, "multiple"},
        {10, none, "optXTypeAvg", {"fraChiOptions", "chkxExpectPcnt", "chkxExpect", "chkXChi"}, false, "average"},
        {10, [](S_& s) { s.SetXType("A"); }, "optXTypeSum", {"fraChiOptions", "chkxExpect", "chkXChi"}, true, "sum"},
        {10, [](S_& s) { s.SetXType("D"); }, nullptr, {"chkXChi"}, false, "std. deviation stored"},
        {10, [](S_& s) { s.SetXType("Z"); }, nullptr, {"chkXChi"}, false, "unknown letter: Count shown, no chi-square"},
        {10, none, nullptr, {"chkXRowPcnt", "chkXColPcnt", "chkXTotPcnt"}, true, "percentages always"},
        {13, none, nullptr, {"txtSignValue"}, false, "no custom value"},
        {13, none, "chkSignCustom", {"txtSignValue"}, true, "custom value"},
    };
    for (const EnableRow& r : rows) {
        PageUnderTest t(r.page, r.prepare);
        const auto before = ScenarioOptionValues(t.wiz.Scenario());
        if (r.click) {
            if (auto* b = t.page->Control<QAbstractButton>(r.click)) b->click();
            else ADD_FAILURE() << r.click;
        }
        for (const char* c : r.controls)
            if (QWidget* w = t.C(c)) {
                EXPECT_EQ(w->isEnabled(), r.enabled) << c << ": " << r.reason;
            }
        if (!r.click) {
            EXPECT_EQ(ScenarioOptionValues(t.wiz.Scenario()), before) << r.reason;
        }
    }
}

TEST(OptionsPages, DisabledControlsKeepTheirValues) {
    Script script; // no message is expected
    PageUnderTest xt(10, [](S_& s) { s.SetXChi(true); });
    xt.C<QRadioButton>("optXTypeMin")->click();
    EXPECT_TRUE(xt.wiz.XChi());
    EXPECT_TRUE(xt.C<QCheckBox>("chkXChi")->isChecked());
    xt.C<QRadioButton>("optXTypeCount")->click(); // enabled again, as it was
    EXPECT_TRUE(xt.C<QCheckBox>("chkXChi")->isEnabled() && xt.C<QCheckBox>("chkXChi")->isChecked());

    PageUnderTest m(8, [](S_& s) { s.SetMProb(true); s.SetMProbTail("1-tail"); });
    m.C<QCheckBox>("chkMProb")->click();
    EXPECT_FALSE(m.C("optMProbTail1")->isEnabled());
    EXPECT_TRUE(m.C<QRadioButton>("optMProbTail1")->isChecked());
    EXPECT_EQ(m.wiz.MProbTail(), "1-tail");

    PageUnderTest r(9, [](S_& s) { s.SetRegressType("P"); s.SetRPoly(4); });
    r.C<QRadioButton>("optRegressTypeSimple")->click();
    EXPECT_EQ(r.wiz.RPoly(), 4);

    PageUnderTest sg(13, [](S_& s) { s.SetSignCustom(true); s.SetSignValue(dao::Variant(3.5)); });
    EXPECT_EQ(sg.C<QLineEdit>("txtSignValue")->text(), "3.5");
    sg.C<QCheckBox>("chkSignCustom")->click();
    EXPECT_FALSE(sg.C("txtSignValue")->isEnabled());
    EXPECT_EQ(sg.wiz.SignValue().ToDouble(), 3.5);

    PageUnderTest d(4, [](S_& s) { s.SetVarNRadio("N"); });
    d.C<QCheckBox>("chkVarStd")->click();
    EXPECT_FALSE(d.C("optMethodN")->isEnabled());
    EXPECT_EQ(d.wiz.VarNRadio(), "N");
}

TEST(OptionsPages, F1OnAPageOpensItsHelpTopicAsItsHelpButtonDoes) {
    Script script; // no message is expected
    std::vector<int> opened;
    auto previous = platform::ui::SetHelpHandler([&](const QString&, unsigned, const QVariant& data) {
        opened.push_back(data.toInt());
        return true;
    });
    // Topics as the caption-and-topic table above has them.
    for (const auto& [number, topic] : std::vector<std::pair<long, int>>{{5, 80}, {13, 169}}) {
        PageUnderTest t(number);
        t.Show();
        opened.clear();
        QTest::keyClick(t.page.get(), Qt::Key_F1);
        t.page->cmdNav(0)->click();
        EXPECT_EQ(opened, (std::vector<int>{topic, topic})) << number << ": F1, then the button";
    }
    platform::ui::SetHelpHandler(previous);
}

// The number boxes: text typed, then the box is left.
struct BoxRow {
    long page;
    std::function<void(S_&)> prepare;
    const char* box;
    const char* typed;
    COptionsPage::BoxResult result;
    const char* stored;  // the property afterwards, as text
    const char* message; // shown, or null
    const char* boxAfter; // the box's text afterwards
    const char* reason;
};

using BR = COptionsPage::BoxResult;

QString PropertyText(const CMelvarsPropWiz& w, const char* box) {
    const std::string b = box;
    auto text = [](const dao::Variant& v) { return QString::fromStdString(v.IsNull() || v.IsEmpty() ? "<empty>" : v.ToString()); };
    if (b == "txtCIStdDev") return text(w.CIStdDev());
    if (b == "txtCIUser") return text(w.CIUser());
    if (b == "txtInterV") return QString::number(w.InterV());
    if (b == "txtTTestValue") return QString::fromStdString(dao::FormatDouble(w.TTestValue()));
    if (b == "txtFreqInit") return text(w.FreqInit());
    if (b == "txtFreqWidth") return text(w.FreqWidth());
    if (b == "txtRPoly") return QString::number(w.RPoly());
    if (b == "txtSignValue") return text(w.SignValue());
    return {};
}

TEST(OptionsPages, NumberBoxesKeepTheirBoundsAndMessages) {
    auto freqN = [](S_& s) { s.SetFreqN(true); };
    const char* gt0 = "Please enter a number greater than zero.";
    const char* pct = "Please enter a value between 1 and 99.999";
    const char* i50 = "Please enter a number between 2 and 50.";
    const char* i9 = "Please enter a number between 2 and 9.";
    // More digits than a double holds: the run-time error Overflow, not Infinity stored.
    const std::string nines(400, '9');
    const BoxRow rows[] = {
        {4, none, "txtCIStdDev", "0", BR::Refused, "<empty>", gt0, "0", "zero refused"},
        {4, none, "txtCIStdDev", "0.5", BR::Stored, "0.5", nullptr, "0.5", "stored"},
        {4, none, "txtCIStdDev", "-", BR::Refused, "<empty>", gt0, "-", "a lone minus is no number"},
        {4, [](S_& s) { s.SetCIStdDev(dao::Variant(2.0)); }, "txtCIStdDev", "", BR::Stored, "", nullptr, "", "emptied: empty text"},
        {4, none, "txtCIUser", "1", BR::Stored, "1", nullptr, "1", "lower end"},
        {4, none, "txtCIUser", "99.999", BR::Stored, "99.999", nullptr, "99.999", "upper end"},
        {4, none, "txtCIUser", "0.5", BR::Refused, "<empty>", pct, "0.5", "below"},
        {4, none, "txtCIUser", "100", BR::Refused, "<empty>", pct, "100", "above"},
        {4, none, "txtCIUser", "-", BR::Refused, "<empty>", pct, "-", "no number"},
        {4, [](S_& s) { s.SetCIUser(dao::Variant(90.0)); }, "txtCIUser", "", BR::Stored, "", nullptr, "", "emptied"},
        {4, none, "txtInterV", "2", BR::Stored, "2", nullptr, "2", "lower end"},
        {4, none, "txtInterV", "50", BR::Stored, "50", nullptr, "50", "upper end"},
        {4, none, "txtInterV", "1", BR::Refused, "10", i50, "1", "below"},
        {4, none, "txtInterV", "51", BR::Refused, "10", i50, "51", "above"},
        {4, none, "txtInterV", "2.5", BR::Stored, "2", nullptr, "2.5", "half to the even 2"},
        {4, none, "txtInterV", "3.5", BR::Stored, "4", nullptr, "3.5", "half to the even 4"},
        {4, none, "txtInterV", "", BR::Unchanged, "10", nullptr, "", "empty without a frequency: nothing"},
        {4, freqN, "txtInterV", "", BR::Refused, "10", i50, "", "empty with a frequency: refused"},
        {4, none, "txtTTestValue", "", BR::Stored, "0", nullptr, "0", "emptied shows and stores 0"},
        {4, none, "txtTTestValue", "-2.25", BR::Stored, "-2.25", nullptr, "-2.25", "any number"},
        {4, none, "txtFreqInit", "1-2", BR::Stored, "1", nullptr, "1-2", "the leading number"},
        {4, [](S_& s) { s.SetFreqInit(dao::Variant(5.0)); }, "txtFreqInit", "", BR::Stored, "0", nullptr, "", "emptied stores 0"},
        {4, none, "txtFreqWidth", "-", BR::Stored, "0", nullptr, "-", "a lone minus gives 0"},
        {4, none, "txtFreqWidth", nines.c_str(), BR::Unchanged, "<empty>", nullptr, nines.c_str(), "beyond a double: overflow"},
        {13, none, "txtSignValue", nines.c_str(), BR::Unchanged, "<empty>", nullptr, nines.c_str(), "beyond a double: overflow"},
        {5, none, "txtInterV", "50", BR::Stored, "50", nullptr, "50", "upper end"},
        {5, none, "txtInterV", "50.1", BR::Refused, "10", i50, "50.1", "just above"},
        {5, none, "txtInterV", "1.9", BR::Refused, "10", i50, "1.9", "just below"},
        {5, none, "txtInterV", "", BR::Refused, "10", i50, "", "empty refused here"},
        {5, none, "txtInterV", "10", BR::Unchanged, "10", nullptr, "10", "unchanged text: nothing"},
        {5, none, "txtFreqWidth", "0", BR::Stored, "0", nullptr, "0", "no bounds on the width"},
        {5, none, "txtFreqInit", "-3.5", BR::Stored, "-3.5", nullptr, "-3.5", "not rewritten"},
        {9, none, "txtRPoly", "9", BR::Stored, "9", nullptr, "9", "upper end"},
        {9, none, "txtRPoly", "9.1", BR::Refused, "2", i9, "9.1", "above"},
        {9, none, "txtRPoly", "1.9", BR::Refused, "2", i9, "1.9", "below"},
        {9, none, "txtRPoly", "8.5", BR::Stored, "8", nullptr, "8.5", "half to even, text kept"},
        {9, none, "txtRPoly", "8.6", BR::Stored, "9", nullptr, "8.6", "rounded"},
        {9, none, "txtRPoly", ".", BR::Refused, "2", i9, ".", "a lone point is no number"},
        {9, none, "txtRPoly", "", BR::Refused, "2", i9, "", "emptied"},
        {9, [](S_& s) { s.SetRPoly(12); }, "txtRPoly", "12", BR::Unchanged, "12", nullptr, "12", "unchanged out of range"},
        {13, none, "txtSignValue", "2.50", BR::Stored, "2.5", nullptr, "2.5", "rewritten from the value"},
        {13, [](S_& s) { s.SetSignValue(dao::Variant(4.0)); }, "txtSignValue", "", BR::Stored, "0", nullptr, "0", "emptied: 0"},
        {13, none, "txtSignValue", "1.2.3", BR::Stored, "1.2", nullptr, "1.2", "leading number"},
        {13, none, "txtSignValue", "-", BR::Stored, "0", nullptr, "0", "lone minus"},
    };
    for (const BoxRow& r : rows) {
        Script script;
        // Every box live, as the user types only into those.
        PageUnderTest t(r.page, [&](S_& s) {
            s.SetCITypeRadio("Normal");
            s.SetRegressType("P");
            s.SetSignCustom(true);
            s.SetFreqGroupRadio(r.page == 5 ? "Specified:" : "Specified");
            r.prepare(s);
        });
        t.Show();
        ASSERT_TRUE(t.C(r.box)->isEnabled()) << r.box;
        const BR result = t.Type(r.box, QString::fromLatin1(r.typed));
        EXPECT_EQ(result, r.result) << r.box << " " << r.typed << ": " << r.reason;
        EXPECT_EQ(PropertyText(t.wiz, r.box), QString::fromLatin1(r.stored)) << r.box << " " << r.typed << ": " << r.reason;
        EXPECT_EQ(t.wiz.Changed(), r.result == BR::Stored) << r.reason;
        EXPECT_EQ(script.MessageTexts(), Said(r.message)) << r.reason;
        EXPECT_EQ(t.C<QLineEdit>(r.box)->text(), QString::fromLatin1(r.boxAfter)) << r.reason;
        if (r.result == BR::Refused) {
            EXPECT_EQ(t.page->focusWidget(), t.C(r.box)) << r.reason << ": the focus goes back";
        }
    }
}

TEST(OptionsPages, BoxesTakeOnlyDigitsPointAndMinusAndSelectAllOnFocus) {
    PageUnderTest t(9, poly);
    t.Show();
    auto* box = t.C<QLineEdit>("txtRPoly");
    box->clear();
    box->setFocus();
    for (QChar c : QStringLiteral("3a-.,e 7")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
    EXPECT_EQ(box->text(), QStringLiteral("3-.7"));
    // Leaving the box by focus runs its rule: "3-.7" is no number.
    Script script;
    t.C<QCheckBox>("chkRYInt")->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(script.MessageTexts(), QStringList{"Please enter a number between 2 and 9."});
    EXPECT_EQ(t.page->focusWidget(), box);
    box->setText(QStringLiteral("7"));
    t.C<QCheckBox>("chkRYInt")->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(t.wiz.RPoly(), 7);
    box->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(box->selectedText(), QStringLiteral("7"));
    // Cancel hides the page with an entry that would be refused: no message.
    box->setText(QStringLiteral("99"));
    t.page->cmdNav_Click(4);
    QApplication::processEvents();
    EXPECT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(t.wiz.RPoly(), 7);
}

// Next: the page's checks, their message and the control that gets the focus.
struct CheckCase {
    long page;
    std::function<void(S_&)> prepare;
    std::function<void(PageUnderTest&)> act; // what the user does on the page
    const char* message;                     // null: Next passes
    const char* focus;
    const char* reason;
};

TEST(OptionsPages, NextRunsThePageChecksAndStaysWithTheirMessage) {
    auto nothing = [](PageUnderTest&) {};
    auto ci = [](S_& s) { s.SetCI(true); s.SetCI95(false); };
    const CheckCase cases[] = {
        {4, ci, nothing, "Confidence Interval value (95% or Other%) required", "chkCI95", "no interval chosen"},
        {4, [](S_& s) { s.SetCI(true); s.SetCIUser(dao::Variant(95.0)); }, nothing,
         "Duplicate Confidence Interval % selected", "txtCIUser", "95 twice"},
        {4, [](S_& s) { s.SetCI(true); s.SetCIUser(dao::Variant(95.5)); }, nothing, nullptr, nullptr, "95.5 passes"},
        {4, [](S_& s) { s.SetCI(true); s.SetCITypeRadio("Normal"); }, nothing,
         "Confidence Interval standard deviation required", "txtCIStdDev", "Normal needs a deviation"},
        {4, [](S_& s) { s.SetCI(false); s.SetCI95(false); s.SetCITypeRadio("Normal"); }, nothing, nullptr, nullptr,
         "no intervals: nothing checked"},
        {4, [](S_& s) { s.SetFreqP(true); }, [](PageUnderTest& t) { t.C<QLineEdit>("txtInterV")->clear(); },
         "Frequency: Number of intervals required", "txtInterV", "the box, not the stored count"},
        {4, none, [](PageUnderTest& t) { t.C<QLineEdit>("txtInterV")->clear(); }, nullptr, nullptr,
         "no frequency: no count needed"},
        {5, none, [](PageUnderTest& t) { t.C<QRadioButton>("optFreqGroupRadioSpec")->click(); },
         "Frequency: Specified Initial Value required", "txtFreqInit", "specified needs the initial value"},
        {5, [](S_& s) { s.SetFreqGroupRadio("Specified:"); s.SetFreqInit(dao::Variant(0.0)); }, nothing,
         "Frequency: Specified Interval Width required", "txtFreqWidth", "then the width"},
        {5, [](S_& s) { s.SetFreqGroupRadio("Specified:"); s.SetFreqInit(dao::Variant(0.0)); s.SetFreqWidth(dao::Variant(2.0)); },
         nothing, nullptr, nullptr, "both given"},
        {5, [](S_& s) { s.SetCI(true); s.SetCI95(false); }, nothing,
         "Confidence Interval value (95% or Other%) required", nullptr, "describe options left from another type"},
        {8, ci, nothing, "Confidence Interval value (95% or Other%) required", nullptr, "the same on Matrix"},
        {8, [](S_& s) { s.SetMCnt(false); }, nothing, nullptr, nullptr, "no statistic at all is allowed"},
        {7, ci, [](PageUnderTest& t) { for (const char* b : {"chkCountXY", "chkMeanXY", "chkCorrXY", "chktTest"}) t.C<QCheckBox>(b)->click(); },
         nullptr, nullptr, "Compare: nothing checked, not even describe options"},
        {10, ci, nothing, nullptr, nullptr, "Crosstab checks nothing"},
        {13, none, [](PageUnderTest& t) { t.C<QCheckBox>("chkSignMean")->click(); }, "No test type selected",
         "chkSignMean", "no cut-off"},
        {13, none, [](PageUnderTest& t) { t.C<QCheckBox>("chkSignCustom")->click(); }, "Custom value required",
         "txtSignValue", "custom without a value"},
        {13, [](S_& s) { s.SetSignCustom(true); s.SetSignValue(dao::Variant(0.0)); }, nothing, nullptr, nullptr,
         "0 is a value"},
        {14, none, [](PageUnderTest& t) { for (const char* b : {"chkFitUniform", "chkFitPoisson"}) t.C<QCheckBox>(b)->click(); },
         "No test type selected", "chkFitUniform", "no distribution"},
        {14, [](S_& s) { s.SetFitUniform(false); s.SetFitPoisson(false); s.SetFitNormal(true); }, nothing, nullptr,
         nullptr, "only Normal"},
        {17, none,
         [](PageUnderTest& t) { for (const char* b : {"chknPPair_Sign", "chkNPPair_Wilcoxon", "chkNPPair_Spearman"}) t.C<QCheckBox>(b)->click(); },
         "At least one analysis type must be selected", "chknPPair_Sign", "no paired test"},
        {17, [](S_& s) { s.SetNPPair_Sign(false); s.SetNPPair_Wilcoxon(false); s.SetNPPair_Spearman(false); s.SetNPPair_Tau(true); },
         nothing, "At least one analysis type must be selected", "chknPPair_Sign", "Tau counts for nothing"},
        {15, [](S_& s) { s.SetNPTwoType("other"); }, nothing, nullptr, nullptr, "no type chosen still passes"},
    };
    for (const CheckCase& c : cases) {
        Script script;
        PageUnderTest t(c.page, c.prepare);
        t.Show();
        c.act(t);
        t.page->cmdNav(2)->click();
        EXPECT_EQ(script.MessageTexts(), Said(c.message)) << c.reason;
        EXPECT_EQ(t.page->NavResult(), c.message ? 0 : 2) << c.reason;
        EXPECT_EQ(t.page->isVisible(), c.message != nullptr) << c.reason;
        if (c.focus) {
            EXPECT_EQ(t.page->focusWidget(), t.C(c.focus)) << c.reason;
        }
    }
}

TEST(OptionsPages, DescribeSpecifiedWithoutColonStillNeedsInitialValueAndWidth) {
    // The Describe page stores "Specified"; the check knew only the
    // Frequency page's "Specified:" and let empty boxes through.
    Script script;
    PageUnderTest t(4, [](S_& s) { s.SetFreqN(true); });
    t.Show();
    t.C<QRadioButton>("optFreqGroupRadioSpec")->click();
    ASSERT_EQ(t.wiz.FreqGroupRadio(), "Specified");
    t.page->cmdNav_Click(2);
    t.Type("txtFreqInit", "0");
    t.page->cmdNav_Click(2);
    t.Type("txtFreqWidth", "5");
    t.page->cmdNav_Click(2);
    EXPECT_EQ(script.MessageTexts(), QStringList({"Frequency: Specified Initial Value required",
                                                  "Frequency: Specified Interval Width required"}));
    EXPECT_EQ(t.page->NavResult(), 2);
}

TEST(OptionsPages, DescribeNumbersAreStoredAsDoubles) {
    Script script; // no message is expected
    // 1.1, 0.3 and 97.3 are stored as the doubles nearest to them, not as
    // the single-precision 1.10000002 and so on.
    PageUnderTest t(4);
    t.Type("txtTTestValue", "1.1");
    t.Type("txtCIStdDev", "0.3");
    t.Type("txtCIUser", "97.3");
    EXPECT_EQ(t.wiz.TTestValue(), 1.1);
    EXPECT_EQ(t.wiz.CIStdDev().ToDouble(), 0.3);
    EXPECT_EQ(t.wiz.CIUser().ToDouble(), 97.3);
    // Leaving the box again with its text is no change.
    t.wiz.SetChanged(false);
    EXPECT_EQ(t.Type("txtTTestValue", "1.1"), BR::Unchanged);
    EXPECT_FALSE(t.wiz.Changed());
}

TEST(OptionsPages, DescribeMeanToTestThatIsNoNumberIsRefusedWithAMessage) {
    // It used to be dropped without a word, the box showing what the
    // analysis would not use.
    for (const char* text : {"-", "1.2.3", "1-2", "."}) {
        Script script;
        PageUnderTest t(4, [](S_& s) { s.SetTTestValue(2.5); });
        t.Show();
        EXPECT_EQ(t.Type("txtTTestValue", QString::fromLatin1(text)), BR::Refused) << text;
        EXPECT_EQ(t.wiz.TTestValue(), 2.5) << text;
        EXPECT_FALSE(t.wiz.Changed()) << text;
        EXPECT_EQ(script.MessageTexts(), QStringList{"Please enter a number for the mean to test."}) << text;
        EXPECT_EQ(t.page->focusWidget(), t.C("txtTTestValue")) << text;
        // Next while the refused text stands keeps the page without a second message.
        t.page->cmdNav_Click(2);
        EXPECT_EQ(t.page->NavResult(), 0) << text;
        EXPECT_EQ(script.messages.size(), 1u) << text;
    }
}

TEST(OptionsPages, NextTakesTheBoxBeingEditedFirst) {
    // By keyboard the focus never leaves the box: Next stores its entry, or
    // stays with the box's message.
    Script script;
    auto next = [](const char* typed) {
        auto t = std::make_unique<PageUnderTest>(9, poly);
        t->Show();
        auto* box = t->C<QLineEdit>("txtRPoly");
        box->setFocus();
        box->setText(QString::fromLatin1(typed));
        t->page->cmdNav_Click(2);
        return t;
    };
    const auto t = next("5");
    EXPECT_EQ(t->wiz.RPoly(), 5);
    EXPECT_EQ(t->page->NavResult(), 2);
    EXPECT_EQ(next("11")->page->NavResult(), 0);
    EXPECT_EQ(script.MessageTexts(), QStringList{"Please enter a number between 2 and 9."});
}

TEST(OptionsPages, NavigationCodesAndOneFillingPerDesignerRun) {
    for (long p = 4; p <= 18; ++p) {
        Script script;
        PageUnderTest t(p, [](S_& s) { s.SetFitUniform(false); s.SetFitPoisson(false); s.SetNPPair_Sign(false);
                                        s.SetNPPair_Wilcoxon(false); s.SetNPPair_Spearman(false); s.SetSignMean(false); });
        t.Show();
        // Back and Cancel run no check (K-S Fit, Paired Fields and Sign Test would fail theirs).
        t.page->cmdNav(1)->click();
        EXPECT_EQ(t.page->NavResult(), 1) << p;
        EXPECT_FALSE(t.page->isVisible()) << p;
        t.Show();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(t.page.get(), &esc);
        EXPECT_EQ(t.page->NavResult(), 4) << p << ": Escape is Cancel";
        t.page->cmdNav_Click(4);
        EXPECT_EQ(t.page->NavResult(), 4) << p;
        t.page->cmdNav_Click(3); // no such button
        EXPECT_EQ(t.page->NavResult(), 4) << p;
        EXPECT_TRUE(script.messages.empty()) << p;
        EXPECT_FALSE(t.wiz.Changed()) << p;
    }
    // A page shown again keeps what the user left; a second wizard is ignored.
    PageUnderTest t(7);
    t.C<QCheckBox>("chkCountXY")->click();
    t.wiz.SetCountXY(true); // would show again only by a refill
    t.page->SetWiz(&t.wiz);
    EXPECT_FALSE(t.C<QCheckBox>("chkCountXY")->isChecked());
    CMelvarsPropWiz other;
    t.page->SetWiz(&other);
    t.C<QCheckBox>("chkMeanXY")->click();
    EXPECT_FALSE(t.wiz.MeanXY());
    EXPECT_FALSE(other.MeanXY() || other.Changed());
}

TEST(OptionsPages, ClicksWhileLoadingStoreNothing) {
    Script script; // no message is expected
    PageUnderTest t(10);
    t.page->SetLoading(true);
    t.C<QRadioButton>("optXTypeMax")->click();
    t.C<QCheckBox>("chkXRowPcnt")->click();
    EXPECT_EQ(t.wiz.XType(), "C");
    EXPECT_FALSE(t.wiz.XRowPCnt());
    EXPECT_FALSE(t.wiz.Changed());
}

} // namespace
