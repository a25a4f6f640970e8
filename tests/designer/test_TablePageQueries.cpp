// The table page's Queries and Both tabs list the select queries a scenario
// can read, the file's own views among them, and never union, crosstab,
// action or unreadable queries; the field page offers a view's fields. A click
// on a list's header sorts its names by their letters, whatever their case.
#include "DesignerTestSupport.h"
#include "support/OtherProgram.h"

#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_SelectTable.h"

#include <QHeaderView>
#include <QTabBar>
#include <QTreeWidget>

namespace {

using dtest::DesignerTest;
using dtest::Script;

// The test file with the view "vHigh", made by another program.
class TablePageQueries : public DesignerTest {
protected:
    void SetUp() override {
        DesignerTest::SetUp();
        vtest::OtherProgram other(m_tmp.file("designer.db"));
        other.Exec("CREATE VIEW vHigh AS SELECT Class, Score FROM Data WHERE Score > 1");
    }
};

TEST_F(TablePageQueries, ListsSelectQueriesAndTheFilesViewsButNoUnionCrosstabOrUnreadableQuery) {
    m_db->CreateQueryDef("qUnion", "SELECT Class FROM Data UNION SELECT Region FROM Data");
    m_db->CreateQueryDef("qCross", "TRANSFORM Sum(Score) SELECT Class FROM Data GROUP BY Class PIVOT Region");
    m_db->CreateQueryDef("qUnknown", "SELECT NoSuchFunction(Score) FROM Data");
    frmQuorb_SelectTable page;
    const QStringList tables{"Data/Table"};
    const QStringList queries{"DataQuery/Query", "vHigh/Query"};
    const struct {
        int tab;
        QStringList rows;
        const char* why;
    } cases[] = {
        {1, queries, "Queries: the select query and the view"},
        {2, tables + queries, "Both"},
        {0, tables, "Tables: no view"},
    };
    for (const auto& c : cases) {
        page.tabSource()->setCurrentIndex(c.tab);
        EXPECT_EQ(dtest::TreeRows(page.lvwTableQuery()), c.rows) << c.why;
    }
}

TEST_F(TablePageQueries, AClickOnTheNameHeaderSortsNamesWithoutRegardToLetterCase) {
    {
        // Another program's tables, named in small and capital letters.
        vtest::OtherProgram other(m_tmp.file("designer.db"));
        other.Exec("CREATE TABLE beta (K INTEGER); CREATE TABLE Alpha (K INTEGER); CREATE TABLE gamma (K INTEGER);"
                   " CREATE TABLE \"\u00C9pices\" (K INTEGER); CREATE TABLE \"\u00E9clair\" (K INTEGER)");
    }
    frmQuorb_SelectTable page;
    page.tabSource()->setCurrentIndex(0);
    emit page.lvwTableQuery()->header()->sectionClicked(0);
    // A, B, D, G, then the E acute of both cases: "clair" before "pices".
    EXPECT_EQ(dtest::TreeRows(page.lvwTableQuery()),
              (QStringList{"Alpha/Table", "beta/Table", "Data/Table", "gamma/Table", "\u00E9clair/Table",
                           "\u00C9pices/Table"}));
}

TEST_F(TablePageQueries, AClickOnTheFieldHeaderSortsFieldNamesWithoutRegardToLetterCase) {
    {
        vtest::OtherProgram other(m_tmp.file("designer.db"));
        other.Exec("CREATE TABLE Theirs (beta DOUBLE, Alpha DOUBLE, gamma DOUBLE, Delta DOUBLE)");
    }
    Script script;
    dtest::FieldPageOn f("Describe", "Theirs");
    emit f.page.lvwAvailableFields()->header()->sectionClicked(0);
    EXPECT_EQ(dtest::TreeRows(f.page.lvwAvailableFields()),
              QStringList({"Alpha/#, Double", "beta/#, Double", "Delta/#, Double", "gamma/#, Double"}));
}

TEST_F(TablePageQueries, TheFieldPageOffersTheFieldsOfAView) {
    Script script;
    dtest::FieldPageOn f("Describe", "vHigh");
    EXPECT_EQ(dtest::TreeRows(f.page.lvwAvailableFields()), QStringList({"Class/Text", "Score/#, Double"}));
    EXPECT_TRUE(script.MessageTexts().isEmpty()) << script.MessageTexts().join(QLatin1Char('\n')).toStdString();
}

} // namespace
