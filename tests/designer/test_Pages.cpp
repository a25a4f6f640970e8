// The type page, the table page with its viewer, the missing-value dialog and
// the Finish page: what they show and what they store into the wizard.
#include "DesignerTestSupport.h"

#include "designer/frmDataGridDialog.h"
#include "designer/frmIgnore.h"
#include "designer/frmQuorb_Create.h"
#include "designer/frmQuorb_Finish.h"
#include "designer/frmQuorb_SelectTable.h"
#include "engine/Varnello.h"
#include "util/CProgramSettings.h"
#include "support/HookRecorder.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTableView>
#include <QTreeWidget>

namespace {

using dtest::DesignerTest;
using dtest::Script;

TEST(TypePage, FillingSelectsTheWizardsTypeWithoutWritingIt) {
    struct Case {
        const char* type;
        int button;
        const char* typeAfter;
    };
    const Case cases[] = {
        {"Two way ANOVA", 22, "Two way ANOVA"},
        {"", 1, "Describe"},        // an empty type selects Describe as a user would
        {"describe", 1, "Describe"}, // names are compared exactly
        {"Chi Square", 1, "Describe"},
    };
    for (const Case& c : cases) {
        CMelvarsPropWiz wiz;
        wiz.SetCalcType(c.type);
        frmQuorb_Create page;
        page.SetWiz(&wiz);
        EXPECT_TRUE(page.optType(c.button)->isChecked()) << c.type;
        EXPECT_EQ(wiz.CalcType(), c.typeAfter) << c.type;
        EXPECT_FALSE(wiz.Changed()) << c.type;
    }
}

// The type page wrote only the type name: a type chosen under another
// heading kept the old group letter and the scenario was stored (and listed)
// under the wrong group.
TEST(TypePage, TypeChosenUnderAnotherHeadingTakesThatHeadingsGroup) {
    struct Case {
        const char* group;
        int button;
        const char* type;
        const char* groupAfter;
    };
    const Case cases[] = {
        {"P", 30, "Chi-Square", "N"}, {"P", 21, "ANOVA", "G"}, {"N", 7, "Crosstab", "P"},
        {"G", 36, "N Fields", "N"},   {"G", 20, "Two Sample t-Test", "G"},
    };
    for (const Case& c : cases) {
        CMelvarsPropWiz wiz;
        wiz.SetScenario_Type(c.group);
        wiz.SetCalcType("Describe");
        frmQuorb_Create page;
        page.SetWiz(&wiz);
        page.optType(c.button)->click();
        EXPECT_EQ(wiz.CalcType(), c.type);
        EXPECT_EQ(wiz.Scenario_Type(), c.groupAfter) << c.type;
    }
}

// The type page's only way out was Back: it has Cancel as the other pages
// have, and takes only back, next and cancel.
TEST(TypePage, NavResultTakesOnlyBackNextAndCancel) {
    frmQuorb_Create page;
    page.cmdNav(2)->click();
    EXPECT_EQ(page.NavResult(), 2);
    for (long code : {3L, 7L}) page.SetNavResult(code);
    EXPECT_EQ(page.NavResult(), 2);
    EXPECT_TRUE(page.isHidden());
    page.cmdNav(4)->click();
    EXPECT_EQ(page.NavResult(), 4);
}

using TablePage = DesignerTest;

TEST_F(TablePage, ListsTablesAndSelectQueriesWithoutSystemAndTemporaryNames) {
    for (const char* name : {"msysX", "UsysMine", "~tmpclp1", "Other"}) AddTable(name);
    m_db->CreateQueryDef("usysView", "SELECT * FROM Other");
    m_db->CreateQueryDef("Purge", "DELETE * FROM Other");
    frmQuorb_SelectTable page;
    auto rows = [&page] { return dtest::TreeRows(page.lvwTableQuery()); };
    const QStringList tables{"Data/Table", "Other/Table"};
    const QStringList queries{"DataQuery/Query", "usysView/Query"}; // no system test for queries; no action query
    page.tabSource()->setCurrentIndex(0);
    EXPECT_EQ(rows(), tables);
    page.tabSource()->setCurrentIndex(1);
    EXPECT_EQ(rows(), queries);
    page.tabSource()->setCurrentIndex(2);
    EXPECT_EQ(rows(), tables + queries);
}

TEST_F(TablePage, NextNeedsANonBlankNameAndStoresItAsTyped) {
    CMelvarsPropWiz wiz;
    frmQuorb_SelectTable page;
    page.SetWiz(&wiz);
    EXPECT_FALSE(page.cmdNav(2)->isEnabled());
    page.txtTable()->setText(QStringLiteral("   "));
    EXPECT_FALSE(page.cmdNav(2)->isEnabled());
    page.txtTable()->setText(QStringLiteral(" Data"));
    page.cmdNav(2)->click();
    EXPECT_EQ(page.NavResult(), 2);
    EXPECT_EQ(wiz.Table(), " Data");
}

// A scenario keeps its input table's name in a column of 64 characters;
// other programs make tables of longer names. Such a table was taken on Next,
// and every save of the scenario then failed with the column's own message
// ("The field 'Scenario_Input_Table_Name' is too small ..."). Next now
// refuses it, naming the table and the limit, and stays on the page; 64
// characters (counted as characters, not bytes) are taken.
TEST_F(TablePage, ATableNameLongerThanAScenarioKeepsIsRefusedOnNext) {
    std::string e64;
    for (int i = 0; i < 64; ++i) e64 += "\xC3\xA9"; // é, two bytes each
    const std::string a65(65, 'a');
    CMelvarsPropWiz wiz;
    frmQuorb_SelectTable page;
    page.SetWiz(&wiz);
    Script script;
    page.txtTable()->setText(QString::fromStdString(a65));
    page.cmdNav(2)->click();
    EXPECT_EQ(script.MessageTexts(),
              QStringList({QString::fromStdString("The table or query '" + a65 +
                                                  "' has a name of 65 characters; a scenario keeps table and query "
                                                  "names of at most 64 characters.")}));
    EXPECT_NE(page.NavResult(), 2);
    EXPECT_EQ(wiz.Table(), "");
    page.txtTable()->setText(QString::fromStdString(e64));
    page.cmdNav(2)->click();
    EXPECT_EQ(script.MessageTexts().size(), 1);
    EXPECT_EQ(page.NavResult(), 2);
    EXPECT_EQ(wiz.Table(), e64);
}

TEST_F(TablePage, ViewerShowsTheSelectedRowsDataOrTheMessage) {
    Script script;
    frmQuorb_SelectTable page;
    page.lvwTableQuery()->setCurrentItem(page.lvwTableQuery()->topLevelItem(0)); // Data
    page.lvwTableQuery()->topLevelItem(0)->setSelected(true);
    page.txtTable()->setText(QStringLiteral("typed, not shown"));
    int rowsShown = -1;
    QString title;
    script.Then([&](QDialog& d) {
        auto& viewer = dynamic_cast<frmDataGridDialog&>(d);
        rowsShown = viewer.grdDataGrid()->model()->rowCount();
        title = viewer.windowTitle();
        viewer.hide();
    });
    page.cmdViewTable_Click();
    EXPECT_EQ(rowsShown, 6);
    EXPECT_EQ(title, QStringLiteral("Input table or query - : Data"));

    frmDataGridDialog missing;
    EXPECT_FALSE(missing.ShowTableData(QStringLiteral("NoSuch"), QStringLiteral("x")));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_TRUE(script.messages[0].text.startsWith(QStringLiteral("The table [NoSuch] does not exist")));
    // 80 % of the frame, 10 % in from its left and top edges.
    EXPECT_EQ(frmDataGridDialog::PlaceOver(QRect(100, 50, 1000, 500)), QRect(200, 100, 800, 400));
}

// ---- the missing-value dialog ----------------------------------------------------

struct IgnoreCase {
    const char* reason;
    int option;
    const char *equal, *low, *high;
    const char* message;   // nullptr: stored
    const char* stored;    // "type|equal|low|high" after OK
};

TEST(MissingValueDialog, ChecksAndStoresTheEntriesOfTheChosenRule) {
    const IgnoreCase cases[] = {
        {"all values: every box emptied", 0, "5", "1", "9", nullptr, "0|Null|Null|Null"},
        {"one value: range boxes emptied", 1, "0", "1", "9", nullptr, "1|0|Null|Null"},
        {"one value missing", 1, "", "", "", "Missing required value", nullptr},
        {"equal bounds pass", 2, "", "10", "10", nullptr, "2|Null|10|10"},
        {"only the high bound", 2, "7", "", "12.5", nullptr, "2|Null|Null|12.5"},
        {"low above high", 2, "", "10", "5", "Greater Than Value must be Larger than Less Than Value", nullptr},
        {"no bound", 2, "", "", "", "Missing required value", nullptr},
        // The key filter lets these through; they were stored unconverted.
        {"a lone minus sign", 1, "-", "", "", "'-' is not a number.", nullptr},
        {"two decimal points", 2, "", "1.2.3", "", "'1.2.3' is not a number.", nullptr},
        {"a minus after the digits", 2, "", "1", "5-", "'5-' is not a number.", nullptr},
        // Pasted text passes no key filter: "inf" and "nan" were stored as an
        // infinite bound and a bound no value is equal to.
        {"a pasted inf", 1, "inf", "", "", "'inf' is not a number.", nullptr},
        {"a pasted -Infinity", 2, "", "-Infinity", "5", "'-Infinity' is not a number.", nullptr},
        {"a pasted nan", 2, "", "", "NaN", "'NaN' is not a number.", nullptr},
    };
    auto text = [](const dao::Variant& v) { return v.IsNull() ? std::string("Null") : v.ToString(); };
    for (const IgnoreCase& c : cases) {
        Script script;
        CMelvarsPropWiz wiz;
        wiz.SetMissingType("1");
        wiz.SetMissingEqual(dao::Variant(std::string("-1")));
        frmIgnore dialog;
        dialog.SetWiz(&wiz);
        EXPECT_TRUE(dialog.txtMissingEqual()->isEnabled()) << c.reason;
        EXPECT_FALSE(dialog.txtMissingLow()->isEnabled()) << c.reason;
        dialog.optMissingtype(c.option)->click();
        dialog.txtMissingEqual()->setText(QString::fromLatin1(c.equal));
        dialog.txtMissingLow()->setText(QString::fromLatin1(c.low));
        dialog.txtMissingHigh()->setText(QString::fromLatin1(c.high));
        dialog.cmdOK()->click();
        EXPECT_EQ(script.MessageTexts(), dtest::Said(c.message)) << c.reason;
        EXPECT_EQ(wiz.Changed(), c.message == nullptr) << c.reason;
        if (c.message) {
            EXPECT_EQ(wiz.MissingType() + "|" + text(wiz.MissingEqual()), "1|-1") << c.reason;
        } else {
            EXPECT_EQ(wiz.MissingType() + "|" + text(wiz.MissingEqual()) + "|" + text(wiz.MissingLow()) + "|" +
                          text(wiz.MissingHigh()),
                      c.stored)
                << c.reason;
            EXPECT_TRUE(wiz.Changed()) << c.reason;
        }
    }
}

// The boxes show fifteen digits: OK read a value of more back from the box
// as another number (0.30000000000000004 became 0.3), though nothing was
// typed.
TEST(MissingValueDialog, ABoxLeftAsShownKeepsAValueOfSeventeenDigits) {
    struct Case {
        const char* type;
        dao::Variant equal, low, high;
        const char* reason;
    };
    const Case cases[] = {
        {"1", 0.1 + 0.2, {}, {}, "0.30000000000000004, shown as 0.3"},
        {"2", {}, 1.0 / 3, 2.0 / 3, "a third and two thirds"},
    };
    for (const Case& c : cases) {
        Script script;
        CMelvarsPropWiz wiz;
        wiz.SetMissingType(c.type);
        wiz.SetMissingEqual(c.equal);
        wiz.SetMissingLow(c.low);
        wiz.SetMissingHigh(c.high);
        frmIgnore dialog;
        dialog.SetWiz(&wiz);
        dialog.cmdOK()->click();
        EXPECT_TRUE(script.MessageTexts().isEmpty()) << c.reason;
        const std::pair<dao::Variant, const dao::Variant&> held[] = {
            {wiz.MissingEqual(), c.equal}, {wiz.MissingLow(), c.low}, {wiz.MissingHigh(), c.high}};
        for (const auto& [now, before] : held) {
            if (before.IsEmpty())
                EXPECT_TRUE(now.IsNull() || now.IsEmpty()) << c.reason;
            else
                EXPECT_EQ(now.ToDouble(), before.ToDouble()) << c.reason; // the same double, bit for bit
        }
    }
}

TEST(MissingValueDialog, CancelStoresNothingAndAnUnknownCodeSelectsNoButton) {
    CMelvarsPropWiz wiz;
    wiz.SetMissingType("");
    frmIgnore dialog;
    dialog.SetWiz(&wiz);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(dialog.optMissingtype(i)->isChecked()) << i;
    dialog.optMissingtype(1)->click();
    dialog.txtMissingEqual()->setText(QStringLiteral("3"));
    dialog.cmdCancel()->click();
    EXPECT_EQ(wiz.MissingType(), "");
    EXPECT_TRUE(wiz.MissingEqual().IsEmpty());
    EXPECT_FALSE(wiz.Changed());
}

// ---- the Finish page ------------------------------------------------------------

// The Finish page's two overwrite questions, before the list of tables.
const QString kDataQuestion = QStringLiteral(
    "The following table(s) of the current database hold data: no scenario writes them. Running this scenario "
    "would replace them, and their data would be lost for good. Do you want to overwrite them?\r\n\r\n");
const QString kOutputQuestion = QStringLiteral(
    "The following output table(s) already exist in the current database. Do you want to overwrite them?\r\n\r\n");

class FinishPage : public DesignerTest {
protected:
    void SetUp() override {
        DesignerTest::SetUp();
        m_settings = std::make_shared<CProgramSettings>();
        m_settings->SetRegBase("ZUR");
        m_settings->SetProgram("Varnello Test");
        Prepare(m_wiz, "P", "Describe");
    }
    // A wizard of the group and type over "Data", with the test's settings.
    void Prepare(CMelvarsPropWiz& wiz, const char* group, const char* type) {
        wiz.SetSettings(m_settings);
        wiz.SetScenario_Type(group);
        wiz.SetCalcType(type);
        wiz.SetTable("Data");
    }
    // Types the output names (the second unless null) and marks the scenario changed.
    static void Name(frmQuorb_Finish& page, CMelvarsPropWiz& wiz, const char* first, const char* second = nullptr) {
        page.txtScenario_Output_Table1_Name()->setText(QString::fromLatin1(first));
        if (second) page.txtScenario_Output_Table2_Name()->setText(QString::fromLatin1(second));
        wiz.SetChanged(true);
    }
    vtest::RegistryRedirect m_registry;
    std::shared_ptr<CProgramSettings> m_settings;
    CMelvarsPropWiz m_wiz;
};

TEST_F(FinishPage, ProposesDefaultNamesAndTheSecondTableByTypeAndOptions) {
    struct Case {
        const char* type;
        std::function<void(CMelvarsPropWiz&)> options;
        const char* prefix;
        const char* first;
        const char* second; // nullptr: no second table
        const char* label1;
    };
    const Case cases[] = {
        {"Describe", {}, "", "VRNL_Describe", nullptr, "Name for Describe output table: "},
        {"Describe", {}, "My_", "My_Describe", nullptr, "Name for Describe output table: "},
        {"Frequency", {}, "", "VRNL_Frequency", nullptr, "Name for Frequency output table: "}, // no longer misspelt
        {"Regression", [](CMelvarsPropWiz& w) { w.SetResidual(true); }, "", "VRNL_Regression", "VRNL_Residual",
         "Name for Regression output table: "},
        {"Regression", {}, "", "VRNL_Regression", nullptr, "Name for Regression output table: "},
        {"Crosstab", [](CMelvarsPropWiz& w) { w.SetXChi(true); w.SetXType("S"); }, "", "VRNL_Crosstab",
         "VRNL_Crosstab Chi-Square", "Name for Crosstab output table: "},
        {"Crosstab", [](CMelvarsPropWiz& w) { w.SetXChi(true); w.SetXType("A"); }, "", "VRNL_Crosstab", nullptr,
         "Name for Crosstab output table: "},
        {"Sign Test", {}, "", "VRNL_SignTest", nullptr, "Name for SignTest output table: "},
        {"N Sample", [](CMelvarsPropWiz& w) { w.SetNPKruskalDetail(true); }, "", "VRNL_N Sample Kruskal",
         "VRNL_N Sample Kruskal Details", "Name for N Sample Kruskal output table: "},
        {"Chi-Square", [](CMelvarsPropWiz& w) { w.SetChiDetail(true); }, "", "VRNL_Chi-Square",
         "VRNL_Chi-Square Details", "Name for Chi-Square output table: "},
    };
    for (const Case& c : cases) {
        m_settings->WriteEntry("OutputTablePrefix", c.prefix);
        CMelvarsPropWiz wiz;
        wiz.SetSettings(m_settings);
        wiz.SetCalcType(c.type);
        wiz.SetOutputTable2("held");
        if (c.options) c.options(wiz);
        frmQuorb_Finish page;
        page.SetWiz(&wiz);
        EXPECT_EQ(page.txtScenario_Output_Table1_Name()->text(), QString::fromLatin1(c.first)) << c.type;
        EXPECT_EQ(page.lblScenario_Output_Table1_Name()->text(), QString::fromLatin1(c.label1)) << c.type;
        EXPECT_EQ(!page.lblScenario_Output_Table2_Name()->isHidden(), c.second != nullptr) << c.type;
        EXPECT_EQ(page.txtScenario_Output_Table2_Name()->text(), c.second ? QStringLiteral("held") : QString())
            << c.type << ": a held name stays, no second table empties it";
        EXPECT_EQ(page.fraOutputTables()->title(), c.second ? QStringLiteral("Output Tables")
                                                           : QStringLiteral("Output Table"))
            << c.type;
        EXPECT_FALSE(wiz.Changed()) << c.type;
    }
}

// Output names must be usable: not the scenario's input table, not a
// scenario table, different from each other whatever their case, and no
// longer than their columns.
TEST_F(FinishPage, NameChecksRefuseNamesThatWouldOverwriteOrCannotBeStored) {
    struct Case {
        const char* first;
        const char* second;
        bool detail;
        const char* message;
    };
    const Case cases[] = {
        {"", "", false, "Output table name required."},
        {"Out", "", true, "Second Output table name required."},
        {"Out", "out", true, "The first and second output table names must not be the same."},
        {"data", "", false, "The output table 'data' is the scenario's input table. Please choose another name."},
        {"USYSQUORBFIELDS", "", false,
         "The output table 'USYSQUORBFIELDS' is one of the scenario tables. Please choose another name."},
        {"Out", "usysQuorbScenarios", true,
         "The output table 'usysQuorbScenarios' is one of the scenario tables. Please choose another name."},
        // No table can be made under a query's name: every run failed.
        {"Out", "dataquery", true, "The output table 'dataquery' is a query of the database. Please choose another name."},
        // What a run refuses, with the run's own text.
        {"Old]Out", "", false,
         "'Old]Out' is not a valid name. Make sure that it does not include invalid characters or punctuation and "
         "that it is not too long."},
    };
    for (const Case& c : cases) {
        Script script;
        m_wiz.SetCalcType(c.detail ? "ANOVA" : "Describe");
        m_wiz.SetGroupDetail(c.detail);
        frmQuorb_Finish page;
        m_wiz.SetOutputTable1(c.first);
        m_wiz.SetOutputTable2(c.second);
        page.SetWiz(&m_wiz);
        Name(page, m_wiz, c.first, c.second);
        page.cmdNav(4)->click(); // Save and Run
        EXPECT_EQ(script.MessageTexts(), QStringList({QString::fromLatin1(c.message)})) << c.first << "/" << c.second;
        EXPECT_EQ(page.NavResult(), 0) << c.first;
        EXPECT_TRUE(TableExists("Data")) << "the input table was dropped";
        EXPECT_TRUE(TableExists("usysQuorbFields"));
        EXPECT_EQ(ScenarioCount(), 0) << c.first;
    }
}

TEST_F(FinishPage, NameBoxesTakeNoMoreThanTheirColumnsHold) {
    Script script;
    frmQuorb_Finish page;
    page.SetWiz(&m_wiz);
    page.txtScenario_Output_Table1_Name()->setText(QString(60, QLatin1Char('a')));
    EXPECT_EQ(page.txtScenario_Output_Table1_Name()->text().size(), 50);
    EXPECT_EQ(page.txtScenario_Output_Table2_Name()->maxLength(), 64);
    EXPECT_EQ(page.txtDescription()->maxLength(), 255);
    m_wiz.SetChanged(true);
    page.cmdNav(3)->click(); // Save
    EXPECT_EQ(page.NavResult(), 2);
    EXPECT_TRUE(script.messages.empty()) << script.MessageTexts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(Rows("SELECT Scenario_Output_Table1_Name FROM usysQuorbScenarios"),
              QStringList({"Scenario_Output_Table1_Name=" + QString(50, QLatin1Char('a'))}));
}

TEST_F(FinishPage, SaveAndRunAsksBeforeOverwritingAndDropsOnlyOnYes) {
    for (const char* name : {"Old", "Old2"}) AddTable(name);
    // Both are the outputs of a stored scenario (tables of data get another
    // question: DataTablesAreNamedAsDataBeforeTheyAreReplaced).
    vtest::ScenarioSpec other;
    other.inputTable = "Data";
    other.outputTable1 = "Old";
    other.outputTable2 = "Old2";
    const std::int32_t otherId = Store(other);
    m_wiz.SetCalcType("ANOVA");
    m_wiz.SetGroupDetail(true);
    frmQuorb_Finish page;
    page.SetWiz(&m_wiz);
    Name(page, m_wiz, "Old", "Old2");
    Script script;
    script.Answer(7).Answer(6);
    page.cmdNav(4)->click(); // No: the page stays, nothing dropped or saved
    EXPECT_EQ(page.NavResult(), 0);
    EXPECT_TRUE(TableExists("Old"));
    EXPECT_EQ(ScenarioCount(), 1); // only the other scenario
    page.cmdNav(4)->click(); // Yes: both dropped, saved, run asked for
    EXPECT_EQ(page.NavResult(), 3);
    EXPECT_FALSE(TableExists("Old"));
    EXPECT_FALSE(TableExists("Old2"));
    EXPECT_EQ(m_wiz.Scenario_ID(), otherId + 1);
    EXPECT_FALSE(m_wiz.Changed());
    const QString question = kOutputQuestion + "Old\r\nOld2";
    EXPECT_EQ(script.MessageTexts(), QStringList({question, question}));
}

// An output name with ".", "!" or "`" passed the page and every run of the
// scenario then failed with "not a valid name": the page refuses what a run
// refuses, with the run's own words.
TEST_F(FinishPage, OutputNamesARunRefusesAreRefusedWithTheRunsText) {
    struct Case {
        const char* name;
        const char* why;
    };
    const Case cases[] = {
        {"Out.Table", "a full stop"}, {"Out!Table", "an exclamation mark"}, {"Out`s", "a grave accent"},
        {" Out", "a leading blank"},  {"Old]Out", "a bracket"},           {"Out\tTab", "a control character"},
    };
    for (const Case& c : cases) {
        const std::string name = c.name;
        // What a run of a scenario with that output name says.
        vtest::ScenarioSpec spec;
        spec.inputTable = "Data";
        spec.outputTable1 = name;
        spec.fields = {{"Score", "X"}};
        const std::int32_t id = Store(spec);
        Varnello engine;
        engine.SetScenarioDatabase(m_db);
        EXPECT_FALSE(engine.RunScenario(id)) << c.why;
        const std::string ran = engine.ErrorInfo();
        EXPECT_NE(ran.find("is not a valid name"), std::string::npos) << c.why << ": " << ran;
        m_db->Execute("DELETE FROM usysQuorbFields");
        m_db->Execute("DELETE FROM usysQuorbOptions");
        m_db->Execute("DELETE FROM usysQuorbScenarios");
        // What the page says, before anything is saved or dropped.
        Script script;
        frmQuorb_Finish page;
        page.SetWiz(&m_wiz);
        Name(page, m_wiz, c.name);
        for (int button : {3, 4}) { // Save, Save and Run
            page.cmdNav(button)->click();
            EXPECT_EQ(page.NavResult(), 0) << c.why;
        }
        ASSERT_EQ(script.messages.size(), 2u) << c.why;
        for (const dtest::Message& m : script.messages)
            EXPECT_EQ(m.text.toStdString(), ran) << c.why;
        EXPECT_EQ(ScenarioCount(), 0) << c.why;
        EXPECT_EQ(page.focusWidget(), page.txtScenario_Output_Table1_Name()) << c.why;
    }
}

// A table that a stored scenario reads is refused as the scenario's own
// input table is, whether or not it exists now.
TEST_F(FinishPage, OutputNamesThatAStoredScenarioReadsAreRefused) {
    AddTable("Sales");
    for (const char* input : {"Sales", "Archive"}) { // "Archive" is not in the file
        vtest::ScenarioSpec reader;
        reader.inputTable = input;
        reader.outputTable1 = "Somewhere";
        Store(reader);
    }
    struct Case {
        const char* name;
        const char* message; // nullptr: accepted
    };
    const Case cases[] = {
        {"SALES", "The output table 'SALES' is the input table of a stored scenario. Please choose another name."},
        {"Archive", "The output table 'Archive' is the input table of a stored scenario. Please choose another name."},
        {"Somewhere", nullptr}, // another scenario's output: the overwrite question decides
    };
    for (const Case& c : cases) {
        Script script;
        frmQuorb_Finish page;
        page.SetWiz(&m_wiz);
        Name(page, m_wiz, c.name);
        page.cmdNav(3)->click(); // Save
        EXPECT_EQ(script.MessageTexts(), dtest::Said(c.message)) << c.name;
        EXPECT_EQ(page.NavResult(), c.message ? 0 : 2) << c.name;
    }
    EXPECT_TRUE(TableExists("Sales"));
}

// A table that no stored scenario writes holds data: "Save and Run" named
// it as an output table, and one Enter replaced it with a one-row result.
TEST_F(FinishPage, DataTablesAreNamedAsDataBeforeTheyAreReplaced) {
    struct Case {
        const char* why;
        const char* first;
        const char* second;
        std::vector<int> answers;
        QStringList questions;
        bool salesKept, prevKept, saved;
    };
    const Case cases[] = {
        {"data, Yes", "Sales", "", {6}, {kDataQuestion + "Sales"}, false, true, true},
        {"data, No", "Sales", "", {7}, {kDataQuestion + "Sales"}, true, true, false},
        {"another scenario's output, Yes", "PrevOut", "", {6}, {kOutputQuestion + "PrevOut"}, true, false, true},
        {"one of each: the data first", "PrevOut", "Sales", {6, 6},
         {kDataQuestion + "Sales", kOutputQuestion + "PrevOut"}, false, false, true},
        {"one of each, No to the data: nothing more asked or dropped", "PrevOut", "Sales", {7},
         {kDataQuestion + "Sales"}, true, true, false},
    };
    for (const Case& c : cases) {
        for (const char* name : {"Sales", "PrevOut"})
            if (!TableExists(name)) AddTable(name);
        m_db->Execute("DELETE FROM usysQuorbScenarios");
        vtest::ScenarioSpec writer;
        writer.inputTable = "Data";
        writer.outputTable1 = "PrevOut";
        Store(writer);
        Script script;
        for (int a : c.answers) script.Answer(a);
        CMelvarsPropWiz wiz;
        Prepare(wiz, "G", "ANOVA");
        wiz.SetGroupDetail(*c.second != 0);
        frmQuorb_Finish page;
        page.SetWiz(&wiz);
        Name(page, wiz, c.first, c.second);
        page.cmdNav(4)->click(); // Save and Run
        EXPECT_EQ(script.MessageTexts(), c.questions) << c.why;
        for (const dtest::Message& m : script.messages) EXPECT_EQ(m.style, 4) << c.why;
        EXPECT_EQ(TableExists("Sales"), c.salesKept) << c.why;
        EXPECT_EQ(TableExists("PrevOut"), c.prevKept) << c.why;
        EXPECT_EQ(page.NavResult(), c.saved ? 3 : 0) << c.why;
        EXPECT_EQ(ScenarioCount(), c.saved ? 2 : 1) << c.why;
    }
}

// A plain Save stored a table of data as the output name without a word; the
// scenario then wrote it, and every later question about it called it an
// output. Save names data as data before it stores the name (it drops
// nothing: the run replaces the table).
TEST_F(FinishPage, SaveNamesATableOfDataAsDataBeforeStoringItsName) {
    for (const char* name : {"Sales", "PrevOut"}) AddTable(name);
    vtest::ScenarioSpec writer;
    writer.inputTable = "Data";
    writer.outputTable1 = "PrevOut";
    const std::int32_t writerId = Store(writer);
    struct Case {
        const char* why;
        const char* name;
        std::vector<int> answers;
        QStringList questions;
        bool saved;
    };
    const Case cases[] = {
        {"a table of data, No: nothing stored", "Sales", {7}, {kDataQuestion + "Sales"}, false},
        {"a table of data, Yes: stored", "SALES", {6}, {kDataQuestion + "SALES"}, true},
        {"a stored scenario's output: no question", "PrevOut", {}, {}, true},
        {"no such table: no question", "Fresh", {}, {}, true},
    };
    for (const Case& c : cases) {
        m_db->Execute("DELETE FROM usysQuorbScenarios WHERE Scenario_ID <> " + std::to_string(writerId));
        Script script;
        for (int a : c.answers) script.Answer(a);
        CMelvarsPropWiz wiz;
        Prepare(wiz, "P", "Describe");
        frmQuorb_Finish page;
        page.SetWiz(&wiz);
        Name(page, wiz, c.name);
        page.cmdNav(3)->click(); // Save
        EXPECT_EQ(script.MessageTexts(), c.questions) << c.why;
        for (const dtest::Message& m : script.messages) EXPECT_EQ(m.style, 4) << c.why;
        EXPECT_EQ(page.NavResult(), c.saved ? 2 : 0) << c.why;
        EXPECT_EQ(ScenarioCount(), c.saved ? 2 : 1) << c.why;
        EXPECT_TRUE(TableExists("Sales")) << c.why;
        EXPECT_TRUE(TableExists("PrevOut")) << c.why;
    }
}

TEST_F(FinishPage, SaveWithoutChangesSavesNothingAndCancelAsksAfterChanges) {
    Script script;
    frmQuorb_Finish page;
    page.SetWiz(&m_wiz);
    page.cmdNav(3)->click();
    EXPECT_EQ(page.NavResult(), 2);
    EXPECT_EQ(ScenarioCount(), 0);
    page.SetNavResult(0);
    page.txtDescription()->setText(QStringLiteral("new text"));
    emit page.txtDescription()->editingFinished(); // leaving the box stores it
    EXPECT_TRUE(m_wiz.Changed());
    EXPECT_EQ(m_wiz.Scenario_Description(), "new text");
    script.Answer(7);
    page.cmdNav(2)->click();
    EXPECT_EQ(page.NavResult(), 0);
    EXPECT_EQ(script.MessageTexts(),
              QStringList({"You have made changes to this scenario. Are you sure you want to exit?"}));
}

} // namespace

namespace {

// "Save and Run" ran a stale or half-written scenario after a save that
// failed silently: now the page stays, says why, and the wizard keeps no
// number.
TEST_F(FinishPage, FailedSaveKeepsThePageOpenAndRunsNothing) {
    m_db->TableDefs().Delete("usysQuorbFields"); // the save's last table is gone
    Script script;
    frmQuorb_Finish page;
    page.SetWiz(&m_wiz);
    m_wiz.SetChanged(true);
    page.cmdNav(4)->click();
    EXPECT_EQ(page.NavResult(), 0);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_TRUE(script.messages[0].text.startsWith(QStringLiteral("The scenario could not be saved.\r\n\r\n")));
    EXPECT_EQ(m_wiz.Scenario_ID(), 0);
    EXPECT_TRUE(m_wiz.Changed());
    EXPECT_EQ(ScenarioCount(), 0); // the header was rolled back
}

// The option checks the options pages call: the first fault's message and
// the control of the page that receives the focus.
TEST(OptionChecks, FirstFaultGivesItsMessageAndFocus) {
    struct Case {
        const char* reason;
        std::function<void(CMelvarsPropWiz&)> set;
        std::function<std::string(CMelvarsPropWiz&, QWidget&)> check;
        const char* message;
        const char* focus;
    };
    auto describe = [](CMelvarsPropWiz& w, QWidget& p) { return w.CheckDescribe(p); };
    auto frequency = [](CMelvarsPropWiz& w, QWidget& p) { return w.CheckFrequency(p, true, false); };
    auto sign = [](CMelvarsPropWiz& w, QWidget& p) { return w.CheckSignTest(p); };
    const Case cases[] = {
        {"no interval: nothing checked", [](CMelvarsPropWiz& w) { w.SetCI95(false); }, describe, "", nullptr},
        {"interval without a percentage", [](CMelvarsPropWiz& w) { w.SetCI(true); }, describe,
         "Confidence Interval value (95% or Other%) required", "chkCI95"},
        {"95 twice", [](CMelvarsPropWiz& w) { w.SetCI(true); w.SetCI95(true); w.SetCIUser(95); }, describe,
         "Duplicate Confidence Interval % selected", "txtCIUser"},
        {"95.5 is another percentage", [](CMelvarsPropWiz& w) { w.SetCI(true); w.SetCI95(true); w.SetCIUser(95.5); },
         describe, "", nullptr},
        {"normal method without deviation",
         [](CMelvarsPropWiz& w) { w.SetCI(true); w.SetCI95(true); w.SetCITypeRadio("Normal"); }, describe,
         "Confidence Interval standard deviation required", "txtCIStdDev"},
        {"specified intervals without start", [](CMelvarsPropWiz& w) { w.SetFreqGroupRadio("Specified:"); }, frequency,
         "Frequency: Specified Initial Value required", "txtFreqInit"},
        {"\"Specified\", as the Describe page stores it, needs the boxes too",
         [](CMelvarsPropWiz& w) { w.SetFreqGroupRadio("Specified"); }, frequency,
         "Frequency: Specified Initial Value required", "txtFreqInit"},
        {"no sign test chosen", [](CMelvarsPropWiz&) {}, sign, "No test type selected", "chkSignMean"},
        {"custom value 0 is a value", [](CMelvarsPropWiz& w) { w.SetSignCustom(true); w.SetSignValue(0); }, sign, "",
         nullptr},
        {"custom value blank", [](CMelvarsPropWiz& w) { w.SetSignCustom(true); w.SetSignValue(""); }, sign,
         "Custom value required", "txtSignValue"},
        // The options table's column is a 16-bit Integer.
        {"custom value 2.5, which the save made 2", [](CMelvarsPropWiz& w) { w.SetSignCustom(true); w.SetSignValue(2.5); },
         sign, "Custom value must be a whole number from -32768 to 32767", "txtSignValue"},
        {"custom value 40000, which the save refused", [](CMelvarsPropWiz& w) { w.SetSignCustom(true); w.SetSignValue(40000.0); },
         sign, "Custom value must be a whole number from -32768 to 32767", "txtSignValue"},
        {"custom value -32768 fits", [](CMelvarsPropWiz& w) { w.SetSignCustom(true); w.SetSignValue(-32768.0); }, sign,
         "", nullptr},
        {"a fraction not asked for is not checked",
         [](CMelvarsPropWiz& w) { w.SetSignMean(true); w.SetSignValue(2.5); }, sign, "", nullptr},
        {"no fit chosen", [](CMelvarsPropWiz&) {},
         [](CMelvarsPropWiz& w, QWidget& p) { return w.CheckKSFit(p); }, "No test type selected", "chkFitUniform"},
        {"no paired test chosen", [](CMelvarsPropWiz& w) { w.SetNPPair_Tau(true); },
         [](CMelvarsPropWiz& w, QWidget& p) { return w.CheckPaired(p); },
         "At least one analysis type must be selected", "chknPPair_Sign"},
    };
    for (const Case& c : cases) {
        QDialog page;
        for (const char* name : {"chkCI95", "txtCIUser", "txtCIStdDev", "txtFreqInit", "txtFreqWidth", "chkSignMean",
                                 "txtSignValue", "chkFitUniform", "chknPPair_Sign"}) {
            auto* box = new QLineEdit(&page);
            box->setObjectName(QString::fromLatin1(name));
        }
        auto* intervals = new QLineEdit(QStringLiteral("10"), &page);
        intervals->setObjectName(QStringLiteral("txtInterV"));
        page.show();
        CMelvarsPropWiz wiz;
        c.set(wiz);
        EXPECT_EQ(c.check(wiz, page), c.message) << c.reason;
        if (c.focus) {
            ASSERT_NE(page.focusWidget(), nullptr) << c.reason;
            EXPECT_EQ(page.focusWidget()->objectName(), QString::fromLatin1(c.focus)) << c.reason;
        }
    }
}

} // namespace
