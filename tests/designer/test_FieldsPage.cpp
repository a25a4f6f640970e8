// The field assignment page: reading and merging the stored assignments, the
// transfers between the lists, and the minimum assignments of every type.
#include "DesignerTestSupport.h"

#include "designer/frmQuorb_Fields.h"
#include "support/ShownText.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

namespace {

using dtest::DesignerTest;
using dtest::FieldPageOn;
using dtest::Names;
using dtest::Script;
using dtest::Transfer;

QStringList Available(const frmQuorb_Fields& page) { return dtest::TreeRows(page.lvwAvailableFields()); }

struct Step {
    const char* control;
    const char* field;
};

struct MinimumCase {
    const char* type;
    const char* emptyMessage;     // Next with nothing assigned
    std::vector<Step> steps;      // the minimum assignment
    const char* beforeLastMessage; // Next before the last step
};

using FieldsPage = DesignerTest;

TEST_F(FieldsPage, EachTypeNeedsItsMinimumAssignments) {
    const MinimumCase cases[] = {
        {"Describe", "Independent (X) field must be assigned.", {{"cmdTX", "Score"}}, nullptr},
        {"Sign Test", "Independent (X) field must be assigned.", {{"cmdTX", "Units"}}, nullptr},
        {"N Fields", "At least 2 Independent (X) fields must be assigned.", {{"cmdTX", "Score"}, {"cmdTX", "Score2"}},
         "At least 2 Independent (X) fields must be assigned."},
        {"Two Sample t-Test", "Compare field must be assigned.", {{"cmdTCXComp", "Class"}, {"cmdTCX", "Score"}},
         "At least one Dependent field must be assigned."},
        {"N Sample", "Compare field must be assigned.", {{"cmdTCXComp", "Region"}, {"cmdTCX", "Units"}},
         "At least one Dependent field must be assigned."},
        {"Regression", "Independent (X) field must be assigned.", {{"cmdTXY", "Score"}, {"cmdTXYDep", "Score2"}},
         "Dependent (Y) field must be assigned."},
        {"Paired Fields", "Independent (X) field must be assigned.", {{"cmdTXY", "Score"}, {"cmdTXYDep", "Score2"}},
         "Dependent (Y) field must be assigned."},
        {"Two way ANOVA", "Two Comparison fields must be assigned.",
         {{"cmdTAnovaComp", "Class"}, {"cmdTAnovaComp", "Region"}, {"cmdTAnovaDep", "Score"}},
         "At least one Dependent field must be assigned."},
        {"Crosstab", "At least one Row field must be assigned.", {{"cmdTGroup", "Class"}, {"cmdTXTabCol", "Region"}},
         "Column field must be assigned."},
        {"Chi-Square", "At least one Comparison field must be assigned.", {{"cmdTChi", "Region"}}, nullptr},
    };
    for (const MinimumCase& c : cases) {
        Script script;
        FieldPageOn f(c.type);
        frmQuorb_Fields& page = f.page;
        EXPECT_FALSE(page.CheckFields(c.type)) << c.type;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            if (i + 1 == c.steps.size() && c.beforeLastMessage) {
                EXPECT_FALSE(page.CheckFields(c.type)) << c.type;
            }
            Transfer(page, c.steps[i].control, 1, QString::fromLatin1(c.steps[i].field));
        }
        EXPECT_TRUE(page.CheckFields(c.type)) << c.type;
        QStringList expected{QString::fromLatin1(c.emptyMessage)};
        if (c.beforeLastMessage) expected << QString::fromLatin1(c.beforeLastMessage);
        EXPECT_EQ(script.MessageTexts(), expected) << c.type;
    }
}

TEST_F(FieldsPage, CrosstabWeightWithoutValueFieldIsRefusedWithoutSuffix) {
    Script script;
    FieldPageOn f("Crosstab");
    frmQuorb_Fields& page = f.page;
    Transfer(page, "cmdTGroup", 1, "Class");
    Transfer(page, "cmdTXTabCol", 1, "Region");
    Transfer(page, "cmdTWeight", 1, "Weight");
    EXPECT_FALSE(page.CheckFields("Crosstab"));
    EXPECT_EQ(script.MessageTexts(), QStringList({"Weight field requires a value field. Or, you can make the Weight "
                                                  "field a Value field and use the Sum Crosstab option."}));
    EXPECT_EQ(page.fraGroup()->title(), QStringLiteral("Row Fields"));
}

TEST_F(FieldsPage, TransfersKeepListsAndCollectionInStep) {
    Script script;
    FieldPageOn on("Describe");
    auto& [wiz, page] = on;
    // A table offers only Boolean, Integer, Long, Currency, Double, Date and Text fields.
    EXPECT_EQ(Available(page), QStringList({"Class/Text", "Region/Text", "Score/#, Double", "Score2/#, Double",
                                            "Units/#, Long", "Weight/#, Double", "Flag/Yes/No", "Day/Date/Time"}));
    EXPECT_FALSE(wiz.Changed()); // filling is no edit

    Transfer(page, "cmdTX", 1, "Class"); // text into a numeric list
    EXPECT_EQ(script.MessageTexts(), QStringList({"Field must be numeric."}));
    EXPECT_TRUE(wiz.Changed()); // every transfer counts as a change
    EXPECT_TRUE(Names(page.lisIndependentFields(1)).isEmpty());

    for (const char* f : {"Score", "Units", "Score2"}) Transfer(page, "cmdTX", 1, f);
    page.lisIndependentFields(1)->setCurrentRow(2);
    Transfer(page, "cmdTX", 3); // Score2 up
    page.lisIndependentFields(1)->setCurrentRow(0);
    Transfer(page, "cmdTX", 3); // up on the first entry: nothing
    EXPECT_EQ(Names(page.lisIndependentFields(1)), QStringList({"Score", "Score2", "Units"}));
    QStringList ordinals;
    for (const CScenarioField& f : wiz.ScenarioFields())
        if (f.Choice() == "X") ordinals << QString::fromStdString(f.FieldName()) + QString::number(f.OrdinalPosition());
    EXPECT_EQ(ordinals, QStringList({"Score1", "Score22", "Units3"})); // in collection order, numbered by list order

    // A one-field list: the new field replaces the old, which returns to the end.
    Transfer(page, "cmdTWeight", 1, "Weight");
    Transfer(page, "cmdTWeight", 1, "Day"); // not numeric: refused, Weight stays
    EXPECT_EQ(Names(page.lisWeightField()), QStringList({"Weight"}));
    Transfer(page, "cmdTGroup", 1, "Class");
    Transfer(page, "cmdTGroup", 1, "Region");
    Transfer(page, "cmdTGroup", 4); // remove all
    EXPECT_TRUE(Names(page.lisGroupFields()).isEmpty());
    EXPECT_EQ(Available(page).mid(Available(page).size() - 2), QStringList({"Class/Text", "Region/Text"}));
}

TEST_F(FieldsPage, DoubleClickPutsNumbersIntoTheTypesListAndTextIntoGroups) {
    struct Case {
        const char* type;
        const char* field;
        const char* expectedRole;
        int frame;
    };
    const Case cases[] = {
        {"Regression", "Score", "X", 3}, // never into the Y list
        {"Chi-Square", "Score", "C", 6},
        {"Describe", "Class", "G", 1},
    };
    for (const Case& c : cases) {
        Script script;
        FieldPageOn f(c.type);
        ASSERT_TRUE(f.page.SelectAvailable(c.field));
        f.page.lvwAvailableFields_DblClick();
        EXPECT_EQ(f.wiz.ScenarioFields().Item(c.field)->Choice(), c.expectedRole) << c.type;
    }
}

// With a type outside the frame table no field frame is shown; the double
// click indexed a list that does not exist.
TEST_F(FieldsPage, DoubleClickWithNoRoleFrameShownDoesNothing) {
    Script script;
    FieldPageOn f("Bogus");
    auto& [wiz, page] = f;
    EXPECT_EQ(page.FieldFrame(), 0);
    ASSERT_TRUE(page.SelectAvailable("Score"));
    page.lvwAvailableFields_DblClick();
    EXPECT_EQ(wiz.ScenarioFields().Item("Score")->Choice(), "");
    EXPECT_FALSE(wiz.Changed());
    EXPECT_TRUE(script.messages.empty());
}

// The stored assignments were matched with criteria built from the field
// names in double quotes: a name holding a quote broke the search.
TEST_F(FieldsPage, FieldNamesWithQuotesAreMatchedWithoutBuildingSql) {
    auto td = m_db->CreateTableDef("Odd");
    for (const char* name : {"Say \"hi\"", "It's", "Plain"})
        td->Fields().Append(td->CreateField(name, dao::dbDouble));
    m_db->TableDefs().Append(td);
    vtest::ScenarioSpec spec;
    spec.inputTable = "Odd";
    spec.fields = {{"It's", "X"}, {"Say \"hi\"", "X"}, {"Gone", "X"}}; // Gone left the table
    dtest::Wizard wiz("Describe", "Odd");
    wiz.SetScenario_ID(Store(spec));
    Script script;
    frmQuorb_Fields page;
    page.SetWiz(&wiz);
    EXPECT_EQ(Names(page.lisIndependentFields(1)), QStringList({"It's", "Say \"hi\""}));
    EXPECT_EQ(Available(page), QStringList({"Plain/#, Double"}));
    EXPECT_EQ(wiz.ScenarioFields().Count(), 3);
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(FieldsPage, QueryOffersEveryFieldAndChangeOfSourceDropsAssignments) {
    Script script;
    FieldPageOn f("Describe", "DataQuery");
    auto& [wiz, page] = f;
    EXPECT_EQ(Available(page), QStringList({"Class/Text", "Score/#, Double", "Notes/"})); // memo: no type text
    Transfer(page, "cmdTX", 1, "Score");
    script.Then([](QDialog& d) {
        auto& table = dynamic_cast<CWizPage&>(d);
        EXPECT_EQ(d.findChild<QWidget*>(QStringLiteral("cmdNav_2"))->property("text").toString(), QStringLiteral("OK"));
        d.findChild<QLineEdit*>(QStringLiteral("txtTable"))->setText(QStringLiteral("Data"));
        table.Wiz()->SetTable("Data");
        table.LeaveWith(2);
    });
    wiz.SetChanged(false);
    page.cmdChange_Click();
    EXPECT_EQ(page.lblTable()->text(), QStringLiteral("Data"));
    EXPECT_TRUE(Names(page.lisIndependentFields(1)).isEmpty());
    EXPECT_EQ(wiz.ScenarioFields().Count(), 8);
    EXPECT_TRUE(wiz.Changed());
}

// The source's name in the page's heading was taken for HTML when it looked
// like it: "<b>" vanished and the rest turned bold.
TEST_F(FieldsPage, ASourceNameThatLooksLikeHtmlIsShownAsItStands) {
    Script script; // answers the message that no such table exists
    FieldPageOn f("Describe", "Sales <b>2024</b>");
    ASSERT_TRUE(Qt::mightBeRichText(f.page.lblTable()->text()));
    EXPECT_EQ(vtest::ShownText(f.page.lblTable()), QStringLiteral("Sales <b>2024</b>"));
}

// A list entry is the name, " - (", the type and ")". The name was read up
// to the first " - (": a field named "Net - (after tax)" was taken for
// "Net", so taking it out of a list cleared another field's role (its own
// stayed assigned, and was saved), and "remove all" never ended.
TEST_F(FieldsPage, AFieldNameHoldingTheEntrySeparatorIsTakenBackItselfAndRemoveAllEnds) {
    // Without a field of the shorter name the entry was never taken out, and
    // "remove all" tried again and again.
    auto rates = m_db->CreateTableDef("Rates");
    rates->Fields().Append(rates->CreateField("Rate - (p.a.)", dao::dbDouble));
    m_db->TableDefs().Append(rates);
    Script script;
    FieldPageOn alone("Describe", "Rates");
    Transfer(alone.page, "cmdTX", 1, "Rate - (p.a.)");
    Transfer(alone.page, "cmdTX", 4); // remove all
    EXPECT_TRUE(Names(alone.page.lisIndependentFields(1)).isEmpty());
    EXPECT_EQ(Available(alone.page), QStringList({"Rate - (p.a.)/#, Double"}));

    // With one, the other field was taken instead.
    auto td = m_db->CreateTableDef("Costs");
    for (const char* name : {"Net", "Net - (after tax)", "Gross"})
        td->Fields().Append(td->CreateField(name, dao::dbDouble));
    m_db->TableDefs().Append(td);
    FieldPageOn on("Describe", "Costs");
    auto& [wiz, page] = on;
    QListWidget* xs = page.lisIndependentFields(1);
    for (const char* f : {"Net - (after tax)", "Gross"}) Transfer(page, "cmdTX", 1, f);
    xs->setCurrentRow(1);
    Transfer(page, "cmdTX", 3); // Gross up
    auto roles = [&wiz] {
        QStringList r;
        for (const CScenarioField& f : wiz.ScenarioFields())
            r << QString::fromStdString(f.FieldName() + ":" + f.Choice() + std::to_string(f.OrdinalPosition()));
        return r;
    };
    EXPECT_EQ(roles(), QStringList({"Net:0", "Net - (after tax):X2", "Gross:X1"}));
    xs->setCurrentRow(1);
    Transfer(page, "cmdTX", 0); // take "Net - (after tax)" back
    ASSERT_EQ(Names(xs), QStringList({"Gross"}));
    ASSERT_EQ(roles(), QStringList({"Net:0", "Net - (after tax):2", "Gross:X1"})); // its own role cleared
    ASSERT_EQ(Available(page), QStringList({"Net/#, Double", "Net - (after tax)/#, Double"}));
    EXPECT_TRUE(script.MessageTexts().isEmpty());
}

TEST_F(FieldsPage, BackAsksOnlyAfterChangesAndDescriptionIgnoresCase) {
    Script script;
    dtest::Wizard wiz("Describe");
    wiz.SetScenario_Description("Sales");
    frmQuorb_Fields page;
    page.SetWiz(&wiz);
    page.txtScenario_Description()->setText(QStringLiteral("SALES"));
    page.txtScenario_Description_LostFocus();
    EXPECT_FALSE(wiz.Changed()); // a change of letter case alone is not stored
    page.txtScenario_Description()->setText(QStringLiteral("Sales 2024"));
    page.txtScenario_Description_LostFocus();
    EXPECT_EQ(wiz.Scenario_Description(), "Sales 2024");
    script.Answer(7);
    page.cmdNav_Click(1);
    EXPECT_EQ(page.NavResult(), 0); // No: the page stays
    EXPECT_EQ(script.MessageTexts(),
              QStringList({"You have made changes to this scenario. Are you sure you want to exit?"}));
}

TEST_F(FieldsPage, ShownAgainAfterTheFinishPageItShowsTheDescriptionGivenThereAndNextKeepsIt) {
    // Filled only at its first showing, the page came back with the old
    // description, and leaving its box (Next) wrote it over the one typed on
    // the Finish page.
    Script script;
    dtest::Wizard wiz("Describe");
    wiz.SetScenario_Description("Sales");
    frmQuorb_Fields page;
    page.SetWiz(&wiz);
    wiz.SetScenario_Description("Sales by region"); // typed on the Finish page, then Back
    wiz.SetChanged(true);
    page.SetWiz(&wiz); // the wizard hands itself over before every showing
    EXPECT_EQ(page.txtScenario_Description()->text(), QStringLiteral("Sales by region"));
    page.txtScenario_Description_LostFocus();
    EXPECT_EQ(wiz.Scenario_Description(), "Sales by region");
    EXPECT_TRUE(script.MessageTexts().isEmpty());
}

} // namespace

// A scenario keeps a field's name in a column of 64 characters; other
// programs make fields of longer names. Such a field was taken into a role
// and the save then failed with the column's own message, losing the
// scenario. It is now refused when the user assigns it, naming the field and
// the limit; 64 characters (counted as characters, not bytes) are taken.
TEST_F(FieldsPage, AFieldNameLongerThanAScenarioKeepsIsRefusedWhenAssigned) {
    std::string e64;
    for (int i = 0; i < 64; ++i) e64 += "\xC3\xA9"; // é, two bytes each
    const std::string a65(65, 'a');
    auto td = m_db->CreateTableDef("Long");
    for (const std::string& name : {e64, a65}) td->Fields().Append(td->CreateField(name, dao::dbDouble));
    m_db->TableDefs().Append(td);
    const QString refused = QString::fromStdString("The field '" + a65 +
                                                   "' has a name of 65 characters; a scenario keeps field names of at "
                                                   "most 64 characters.");
    {
        Script script;
        FieldPageOn on("Describe", "Long");
        auto& [wiz, page] = on;
        Transfer(page, "cmdTX", 1, QString::fromStdString(a65));
        EXPECT_EQ(script.MessageTexts(), QStringList({refused}));
        EXPECT_TRUE(Names(page.lisIndependentFields(1)).isEmpty());
        EXPECT_EQ(wiz.ScenarioFields().Item(a65)->Choice(), "");
        Transfer(page, "cmdTX", 1, QString::fromStdString(e64));
        EXPECT_EQ(script.MessageTexts().size(), 1);
        EXPECT_EQ(Names(page.lisIndependentFields(1)), QStringList({QString::fromStdString(e64)}));
        EXPECT_EQ(wiz.ScenarioFields().Item(e64)->Choice(), "X");
    }
    {
        // A double click goes the same way.
        Script script;
        FieldPageOn on("Describe", "Long");
        auto& [wiz, page] = on;
        ASSERT_TRUE(page.SelectAvailable(QString::fromStdString(a65)));
        page.lvwAvailableFields_DblClick();
        EXPECT_EQ(script.MessageTexts(), QStringList({refused}));
        EXPECT_EQ(wiz.ScenarioFields().Item(a65)->Choice(), "");
    }
}
