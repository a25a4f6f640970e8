// The designer's page loop, its page table by analysis type and the cancel
// question, driven through the page contract: each scripted step acts as the
// page that is shown and leaves it with a navigation code.
#include "DesignerTestSupport.h"

#include "designer/OptionsPages.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_Finish.h"
#include "engine/AnalysisCatalogue.h"
#include "scenario/ScenarioSave.h"

namespace {

using dtest::Script;

// A stand-in options page: it only leaves with the code it is told.
class FakeOptionsPage : public CWizPage {
public:
    using CWizPage::CWizPage;
    void SetWiz(CMelvarsPropWiz* wiz) override {
        if (!m_Wiz) m_Wiz = wiz;
    }
};

class OptionsPagesFromTest {
public:
    OptionsPagesFromTest() {
        m_old = SetOptionsPageFactory([](long page, QWidget* parent) -> CWizPage* {
            auto* p = new FakeOptionsPage(parent);
            p->setObjectName(QStringLiteral("options%1").arg(page));
            return p;
        });
    }
    ~OptionsPagesFromTest() { SetOptionsPageFactory(m_old); }

private:
    OptionsPageFactory m_old;
};

// One visit: the window expected and the code it is left with (0: close the
// window without a code, as the window's close box does).
struct Visit {
    const char* window;
    long code;
    bool edit = false; // the user changed something first
};

struct LoopCase {
    const char* reason;
    const char* calcType;
    long startPage;
    std::vector<Visit> visits;
    std::vector<int> answers; // to the cancel question
    bool result;
    int questions;            // cancel or exit questions asked
};

using dtest::DesignerTest;

class WizardLoop : public DesignerTest, public ::testing::WithParamInterface<LoopCase> {};

TEST_P(WizardLoop, VisitsThePagesOfTheTransitionTable) {
    const LoopCase& c = GetParam();
    OptionsPagesFromTest fakes;
    Script script;
    for (int a : c.answers) script.Answer(a);
    QStringList expected;
    for (const Visit& v : c.visits) {
        expected << QString::fromLatin1(v.window);
        script.Then([v](QDialog& d) {
            auto& page = dynamic_cast<CWizPage&>(d);
            if (v.edit) page.Wiz()->SetChanged(true);
            if (v.code == 0) page.hide();
            else page.LeaveWith(v.code);
        });
    }
    dtest::Wizard wiz(c.calcType);
    wiz.SetOutputTable1("out1");
    EXPECT_EQ(wiz.ShowStatWizard(c.startPage), c.result) << c.reason;
    EXPECT_EQ(script.shown, expected) << c.reason;
    EXPECT_EQ(static_cast<int>(script.messages.size()), c.questions) << c.reason;
    EXPECT_TRUE(script.steps.empty()) << c.reason;
}

// Page objects: frmQuorb_Create 1, frmQuorb_SelectTable 2, frmQuorb_Fields 3,
// optionsN, frmQuorb_Finish 50.
INSTANTIATE_TEST_SUITE_P(
    Designer, WizardLoop,
    ::testing::Values(
        LoopCase{"back on the type page ends at once", "Describe", 1, {{"frmQuorb_Create", 1}}, {}, false, 0},
        // The type and table pages had no way out but Back.
        LoopCase{"cancel on the type page ends the designer", "Describe", 1, {{"frmQuorb_Create", 4}}, {}, false, 0},
        LoopCase{"cancel on the table page after changes asks; No stays, Yes ends", "Describe", 1,
                 {{"frmQuorb_Create", 2, true}, {"frmQuorb_SelectTable", 4}, {"frmQuorb_SelectTable", 4}}, {7, 6},
                 false, 2},
        LoopCase{"the whole road of a new scenario ends True with save and run", "Describe", 1,
                 {{"frmQuorb_Create", 2}, {"frmQuorb_SelectTable", 2}, {"frmQuorb_Fields", 2}, {"options4", 2},
                  {"frmQuorb_Finish", 3}},
                 {}, true, 0},
        LoopCase{"back from the table page returns to the type page", "ANOVA", 1,
                 {{"frmQuorb_Create", 2}, {"frmQuorb_SelectTable", 1}, {"frmQuorb_Create", 1}}, {}, false, 0},
        LoopCase{"a closed window shows the same page again", "Describe", 2,
                 {{"frmQuorb_SelectTable", 0}, {"frmQuorb_SelectTable", 1}, {"frmQuorb_Create", 1}}, {}, false, 0},
        LoopCase{"start 30 shows the options first; back goes to the fields page, whose back ends", "Crosstab", 30,
                 {{"options10", 1}, {"frmQuorb_Fields", 1}}, {}, false, 0},
        LoopCase{"start 50: back goes to the options page of the type", "Two way ANOVA", 50,
                 {{"frmQuorb_Finish", 1}, {"options11", 2}, {"frmQuorb_Finish", 2}}, {}, false, 0},
        LoopCase{"a plain save ends False", "N Fields", 50, {{"frmQuorb_Finish", 2}}, {}, false, 0},
        LoopCase{"a type without options page: no forward", "Bogus", 3, {{"frmQuorb_Fields", 2}}, {}, false, 1},
        LoopCase{"cancel without changes asks nothing", "K-S Fit", 30, {{"options14", 4}}, {}, false, 0},
        LoopCase{"cancel with changes and No keeps the page; Yes ends", "Sign Test", 30,
                 {{"options13", 4, true}, {"options13", 4}}, {7, 6}, false, 2},
        LoopCase{"cancel on the fields page asks the same question", "Chi-Square", 3,
                 {{"frmQuorb_Fields", 4, true}}, {6}, false, 1}));

using DesignerLoop = DesignerTest;

TEST_F(DesignerLoop, WithoutOptionsPageTheOptionsStepPassesInTheDirectionOfTravel) {
    // A page number the page maker has no page for: next from the fields
    // page goes on to Finish, back from Finish goes back to the fields page.
    const OptionsPageFactory old = SetOptionsPageFactory([](long, QWidget*) -> CWizPage* { return nullptr; });
    Script script;
    script.Then([](QDialog& d) { dynamic_cast<CWizPage&>(d).LeaveWith(2); })   // fields: next
        .Then([](QDialog& d) { dynamic_cast<CWizPage&>(d).LeaveWith(1); })     // Finish: back
        .Then([](QDialog& d) { dynamic_cast<CWizPage&>(d).LeaveWith(1); });    // fields: back ends
    dtest::Wizard wiz("Regression");
    EXPECT_FALSE(wiz.ShowStatWizard(3));
    EXPECT_EQ(script.shown, QStringList({"frmQuorb_Fields", "frmQuorb_Finish", "frmQuorb_Fields"}));
    SetOptionsPageFactory(old);
}

// The type tables: options page, group letter, sort rank, field frame and the
// Finish page's first word, one row per type name.
struct TypeRow {
    const char* type;
    long optionsPage;
    const char* group;
    std::int16_t sort;
    int frame;
    const char* firstWord;
};

TEST(DesignerTypes, EachTypeHasItsPageGroupSortFrameAndName) {
    const TypeRow rows[] = {
        {"Describe", 4, "P", 100, 1, "Describe"},         {"Frequency", 5, "P", 200, 1, "Frequency"},
        {"Percentiles", 6, "P", 300, 1, "Percentiles"},   {"Compare", 7, "P", 400, 3, "Compare"},
        {"Matrix", 8, "P", 500, 1, "Matrix"},             {"Regression", 9, "P", 600, 3, "Regression"},
        {"Crosstab", 10, "P", 700, 5, "Crosstab"},        {"Two Sample t-Test", 11, "G", 100, 2, "Two Sample t-Test"},
        {"ANOVA", 11, "G", 200, 2, "ANOVA"},              {"Two way ANOVA", 11, "G", 300, 4, "Two Way ANOVA"},
        {"Chi-Square", 12, "N", 100, 6, "Chi-Square"},    {"Sign Test", 13, "N", 200, 1, "SignTest"},
        {"K-S Fit", 14, "N", 300, 1, "K-S Fit"},          {"2 Sample", 15, "N", 400, 2, "2 Sample"},
        {"N Sample", 16, "N", 500, 2, "N Sample Kruskal"}, {"Paired Fields", 17, "N", 600, 3, "PairedFields"},
        {"N Fields", 18, "N", 700, 1, "N Fields Friedman"},
        // Names are compared exactly for pages and ranks; the field frame ignores case.
        {"describe", 99, "", 0, 1, ""},                   {"Chi Square", 99, "", 0, 0, ""},
        {"", 99, "", 0, 0, ""},
    };
    for (const TypeRow& r : rows) {
        EXPECT_EQ(CMelvarsPropWiz::GetOptionsPageOf(r.type), r.optionsPage) << r.type;
        EXPECT_EQ(CMelvarsPropWiz::GroupOfType(r.type), r.group) << r.type;
        EXPECT_EQ(GetScenarioSort(r.type), r.sort) << r.type;
        EXPECT_EQ(frmQuorb_Fields::GetFieldFrame(r.type), r.frame) << r.type;
        EXPECT_EQ(frmQuorb_Finish::WordsOf(r.type).first, r.firstWord) << r.type;
    }
}

TEST(DesignerProperties, GroupLetterKeepsOnlyPGNAndLetsDoNotMarkChanged) {
    CMelvarsPropWiz wiz;
    wiz.SetScenario_Type("G");
    for (const char* bad : {"X", "p", "", "PG"}) {
        wiz.SetScenario_Type(bad);
        EXPECT_EQ(wiz.Scenario_Type(), "G") << bad;
    }
    wiz.SetMissingLow(dao::Variant::Null());
    EXPECT_TRUE(wiz.MissingLow().IsNull());
    EXPECT_TRUE(wiz.MissingHigh().IsEmpty());
    wiz.SetCI(true);
    wiz.SetOutputTable1("x");
    EXPECT_FALSE(wiz.Changed());
}

} // namespace
