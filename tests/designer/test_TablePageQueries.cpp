// The table page's Queries and Both tabs list the select queries a scenario
// can read, the file's own views among them, and never union, crosstab,
// action or unreadable queries; the field page offers a view's fields.
#include "DesignerTestSupport.h"
#include "support/OtherProgram.h"

#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_SelectTable.h"

#include <QTabBar>
#include <QTreeWidget>

namespace {

using dtest::DesignerTest;
using dtest::Script;

QStringList ListedRows(const frmQuorb_SelectTable& page) {
    QStringList r;
    for (int i = 0; i < page.lvwTableQuery()->topLevelItemCount(); ++i)
        r << page.lvwTableQuery()->topLevelItem(i)->text(0) + QLatin1Char('/') + page.lvwTableQuery()->topLevelItem(i)->text(1);
    return r;
}

using TablePageQueries = DesignerTest;

TEST_F(TablePageQueries, ListsSelectQueriesAndTheFilesViewsButNoUnionCrosstabOrUnreadableQuery) {
    {
        vtest::OtherProgram other(m_tmp.file("designer.db"));
        other.Exec("CREATE VIEW vHigh AS SELECT Class, Score FROM Data WHERE Score > 1");
    }
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
        EXPECT_EQ(ListedRows(page), c.rows) << c.why;
    }
}

TEST_F(TablePageQueries, TheFieldPageOffersTheFieldsOfAView) {
    {
        vtest::OtherProgram other(m_tmp.file("designer.db"));
        other.Exec("CREATE VIEW vHigh AS SELECT Class, Score FROM Data WHERE Score > 1");
    }
    Script script;
    CMelvarsPropWiz wiz;
    wiz.SetCalcType("Describe");
    wiz.SetTable("vHigh");
    frmQuorb_Fields page;
    page.SetWiz(&wiz);
    QStringList names;
    for (int i = 0; i < page.lvwAvailableFields()->topLevelItemCount(); ++i)
        names << page.lvwAvailableFields()->topLevelItem(i)->text(0) + QLatin1Char('/') +
                     page.lvwAvailableFields()->topLevelItem(i)->text(1);
    EXPECT_EQ(names, QStringList({"Class/Text", "Score/#, Double"}));
    EXPECT_TRUE(script.MessageTexts().isEmpty()) << script.MessageTexts().join(QLatin1Char('\n')).toStdString();
}

} // namespace
