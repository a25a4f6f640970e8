// The table page's Queries and Both tabs list the select queries a scenario
// can read, the file's own views among them, and never union, crosstab,
// action or unreadable queries; the field page offers a view's fields. A click
// on a list's header sorts its names by their letters, whatever their case.
#include "DesignerTestSupport.h"
#include "support/OtherProgram.h"

#include "designer/frmDataGridDialog.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_SelectTable.h"

#include <QHeaderView>
#include <QTabBar>
#include <QTableView>
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

namespace {

using dtest::DesignerTest;
using dtest::Script;

// A legacy program's table "Donn\xE9es" with the fields "Cat\xE9gorie" and
// "Pr\xEEt", named in Latin-1 bytes: the table page lists the table by the
// word it spells, and the field page, given that word, finds the table and
// lists its fields by their words.
TEST_F(DesignerTest, Latin1NamedTableAndFieldsAreListedByTheWordsTheySpell) {
    vtest::WriteLatin1Table(m_tmp.file("designer.db"), "\"Cat\xE9gorie\" DOUBLE, \"Pr\xEEt\" DOUBLE");
    frmQuorb_SelectTable page;
    page.tabSource()->setCurrentIndex(0);
    EXPECT_TRUE(dtest::TreeRows(page.lvwTableQuery()).contains(QStringLiteral("Donn\u00E9es/Table")))
        << dtest::TreeRows(page.lvwTableQuery()).join(QLatin1Char(' ')).toStdString();
    Script script;
    dtest::FieldPageOn f("Describe", "Donn\xC3\xA9" "es");
    EXPECT_EQ(dtest::TreeRows(f.page.lvwAvailableFields()),
              QStringList({"Cat\u00E9gorie/#, Double", "Pr\u00EEt/#, Double"}));
    EXPECT_EQ(script.MessageTexts(), QStringList());
}

} // namespace

namespace {

// The table viewer opened on that table by the word its name spells shows
// its rows, its columns headed by their words and its texts as their words.
TEST_F(DesignerTest, Latin1NamedTableIsShownInTheViewerWithItsWords) {
    vtest::WriteLatin1Table(m_tmp.file("designer.db"), "\"Cat\xE9gorie\" TEXT, \"Pr\xEEt\" DOUBLE", "('caf\xE9', 1), ('th\xC3\xA9', 2)");
    dtest::Script script;
    QStringList headers, texts;
    int rows = -1;
    script.Then([&](QDialog& d) {
        const QAbstractItemModel* m = dynamic_cast<frmDataGridDialog&>(d).grdDataGrid()->model();
        ASSERT_NE(m, nullptr);
        for (int c = 0; c < m->columnCount(); ++c) headers << m->headerData(c, Qt::Horizontal).toString();
        rows = m->rowCount();
        for (int r = 0; r < rows; ++r) texts << m->data(m->index(r, 0)).toString();
        d.hide();
    });
    frmDataGridDialog viewer;
    EXPECT_TRUE(viewer.ShowTableData(QStringLiteral("Donn\u00E9es"), QStringLiteral("Input table or query - ")))
        << script.MessageTexts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(headers, (QStringList{QStringLiteral("Cat\u00E9gorie"), QStringLiteral("Pr\u00EEt")}));
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("caf\u00E9"), QStringLiteral("th\u00E9")}));
}

} // namespace
