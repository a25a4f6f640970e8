// The sample database of the first start: its tables and scenarios, its entry
// in the recent list, and a first run of one of its scenarios.
#include "AppTestSupport.h"

#include "app/CRecordsetTableModel.h"
#include "app/CSampleDatabase.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmOpenDatabase.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "db/Dao.h"
#include "scenario/ScenarioTables.h"
#include "support/FilesMade.h"
#include "support/TwoStartsAtOnce.h"
#include "util/CMRU.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeWidget>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

using namespace apptest;

namespace {

long CountRows(dao::Database& db, const std::string& sql) {
    auto rs = db.OpenRecordset(sql, dao::dbOpenSnapshot);
    long n = 0;
    while (!rs->EOF_()) {
        ++n;
        rs->MoveNext();
    }
    return n;
}

class SampleDatabase : public AppFixture {};

TEST_F(SampleDatabase, HoldsTheDemoTablesAndAScenarioOfEachAnalysis) {
    const std::string path = File("sample/Varnello Sample.db");
    CSampleDatabase::Create(path);
    auto ws = std::make_shared<dao::Workspace>("t", "admin");
    dao::DatabasePtr db = ws->OpenDatabase(path);

    EXPECT_EQ(CountRows(*db, "SELECT * FROM Sales"), 48);
    EXPECT_EQ(CountRows(*db, "SELECT * FROM TestScores"), 30);
    EXPECT_EQ(CountRows(*db, "SELECT * FROM TestScores WHERE Reading Is Null"), 2);
    EXPECT_EQ(CountRows(*db, "SELECT * FROM Survey"), 120);

    // Sales: each region has the twelve months, and revenue is units times
    // the region's price, to the cent.
    const std::map<std::string, double> price = {{"North", 12.5}, {"South", 11.9}, {"East", 13.2}, {"West", 12.8}};
    std::map<std::string, std::set<int>> months;
    {
        auto rs = db->OpenRecordset("SELECT Region, Month, Units, Revenue, Cost FROM Sales", dao::dbOpenSnapshot);
        while (!rs->EOF_()) {
            const std::string region = (*rs)["Region"].ToString();
            months[region].insert((*rs)["Month"].ToLong());
            const double units = (*rs)["Units"].ToDouble();
            EXPECT_GT(units, 0);
            EXPECT_NEAR((*rs)["Revenue"].ToDouble(), units * price.at(region), 0.005);
            EXPECT_LT((*rs)["Cost"].ToDouble(), (*rs)["Revenue"].ToDouble());
            rs->MoveNext();
        }
    }
    ASSERT_EQ(months.size(), 4u);
    for (const auto& [region, m] : months)
        EXPECT_EQ(m.size(), 12u) << region;

    // The scenarios, in their list order.
    struct Expected {
        const char* group;
        const char* type;
        const char* input;
        const char* out1;
        const char* out2;
        int fields;
    };
    const Expected expected[] = {{"P", "Describe", "Sales", "Sales_Describe", "", 3},
                                 {"P", "Describe", "TestScores", "Scores_Describe", "", 4},
                                 {"P", "Percentiles", "TestScores", "Scores_Quartiles", "", 3},
                                 {"N", "Chi-Square", "Survey", "Survey_ChiSquare", "Survey_ChiDetail", 2}};
    auto rs = db->OpenRecordset("SELECT * FROM usysQuorbScenarios ORDER BY Scenario_ID", dao::dbOpenSnapshot);
    int i = 0;
    while (!rs->EOF_()) {
        ASSERT_LT(i, 4);
        const Expected& e = expected[i];
        const long id = (*rs)["Scenario_ID"].ToLong();
        EXPECT_EQ((*rs)["Scenario_Analysis_Type"].ToString(), e.group);
        EXPECT_EQ((*rs)["Scenario_Analysis_SubType"].ToString(), e.type);
        EXPECT_EQ((*rs)["Scenario_Input_Table_Name"].ToString(), e.input);
        EXPECT_EQ((*rs)["Scenario_Output_Table1_Name"].ToString(), e.out1);
        const dao::Variant out2 = (*rs)["Scenario_Output_Table2_Name"];
        EXPECT_EQ(out2.IsNull() ? std::string() : out2.ToString(), e.out2);
        EXPECT_EQ(CountRows(*db, "SELECT * FROM usysQuorbFields WHERE Scenario_ID = " + std::to_string(id)), e.fields);
        EXPECT_EQ(CountRows(*db, "SELECT * FROM usysQuorbOptions WHERE Scenario_ID = " + std::to_string(id)), 1);
        ++i;
        rs->MoveNext();
    }
    EXPECT_EQ(i, 4);
    rs->Close();
    db->Close();
    ws->Close();
}

TEST_F(SampleDatabase, FirstStartCreatesItAndOffersItInTheFirstDialog) {
    const std::string sample = DataDir() + "/Varnello Sample.db";
    ASSERT_FALSE(std::filesystem::exists(sample));
    QString preset;
    ModalScript script;
    script.OpenDatabase([&](frmOpenDatabase& d) { preset = d.Database(); });
    MDIMain* frame = Start(true);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(std::filesystem::exists(sample));
    EXPECT_EQ(preset, QString::fromStdString(sample));
    EXPECT_EQ(RegistryValue("Settings", "MRU1"), sample);
    ASSERT_NE(frame->StatMain(), nullptr);
    QTreeWidget* lvw = frame->StatMain()->lvwScenarios();
    ASSERT_EQ(lvw->topLevelItemCount(), 3); // the parametric ones
    EXPECT_EQ(lvw->topLevelItem(0)->text(1), QStringLiteral("Describe"));
    EXPECT_EQ(lvw->topLevelItem(2)->text(1), QStringLiteral("Percentiles"));

    // Run the first one: describe units and revenue by region.
    ASSERT_TRUE(frame->StatMain()->RunCurrentScenario(0)) << script.Messages().join(QLatin1Char('\n')).toStdString();
    frmDataGrid* grid = nullptr;
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList())
        if (auto* g = qobject_cast<frmDataGrid*>(sub->widget()); g && g->TableName() == QLatin1String("Sales_Describe"))
            grid = g;
    ASSERT_NE(grid, nullptr);
    CRecordsetTableModel* m = grid->Model();
    m->FetchAll();
    ASSERT_EQ(m->rowCount(), 8); // four regions, two fields
    // Every region's units: twelve months; the mean checked against the rows.
    std::map<std::string, double> unitSums;
    {
        auto ws = std::make_shared<dao::Workspace>("t", "admin");
        auto db = ws->OpenDatabase(sample, false, true);
        auto rs = db->OpenRecordset("SELECT Region, Units FROM Sales", dao::dbOpenSnapshot);
        while (!rs->EOF_()) {
            unitSums[(*rs)["Region"].ToString()] += (*rs)["Units"].ToDouble();
            rs->MoveNext();
        }
        rs->Close();
        db->Close();
        ws->Close();
    }
    const int region = m->ColumnIndex(QStringLiteral("Region"));
    const int field = m->ColumnIndex(QStringLiteral("DataField"));
    const int count = m->ColumnIndex(QStringLiteral("Count"));
    const int mean = m->ColumnIndex(QStringLiteral("Mean"));
    int unitRows = 0;
    for (int r = 0; r < m->rowCount(); ++r) {
        if (m->data(m->index(r, field)).toString() != QLatin1String("Units"))
            continue;
        ++unitRows;
        const std::string name = m->data(m->index(r, region)).toString().toStdString();
        EXPECT_DOUBLE_EQ(m->data(m->index(r, count), CRecordsetTableModel::ValueRole).toDouble(), 12.0) << name;
        EXPECT_NEAR(m->data(m->index(r, mean), CRecordsetTableModel::ValueRole).toDouble(), unitSums[name] / 12.0,
                    1e-9)
            << name;
    }
    EXPECT_EQ(unitRows, 4);
}

// The sample was made under its own name: a start killed while it made it
// (a crash, the machine switched off) left a half-made file, which every
// later start took for the sample, never making it again nor offering it.
TEST_F(SampleDatabase, AStartKilledWhileItMadeTheSampleLeavesAHalfMadeOneForGood) {
    const std::string sample = DataDir() + "/Varnello Sample.db";
    std::filesystem::create_directories(DataDir());
    const struct {
        const char* start;
        bool leftOver; // what such a start leaves now: the file it was making
    } rows[] = {
        {"the first start", false},
        {"after a start killed while it made the sample", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.start);
        std::filesystem::remove(sample);
        if (r.leftOver) {
            std::ofstream(sample + ".part") << "half made";
            std::ofstream(sample + ".part-journal") << "half written";
        }
        ModalScript script;
        script.CancelOpenDatabase();
        const auto made = vtest::FilesMadeDuring(DataDir(), [&] { ASSERT_NE(Start(true), nullptr); });
        EXPECT_EQ(vtest::Creations(made, "Varnello Sample.db"), 0);
        EXPECT_EQ(vtest::Renames(made, "Varnello Sample.db"), 1);
        EXPECT_FALSE(std::filesystem::exists(sample + ".part"));
        EXPECT_EQ(RegistryValue("Settings", "MRU1"), sample);
        {
            auto ws = std::make_shared<dao::Workspace>("t", "admin");
            dao::DatabasePtr db = ws->OpenDatabase(sample, false, true);
            EXPECT_EQ(CountRows(*db, std::string("SELECT * FROM ") + kScenarioTableName), 4);
            db->Close();
            ws->Close();
        }
        ExitApplication(TheMDIMain());
        Pump(20);
    }
}

// A recent-list menu entry of its own, for a start without the main window.
class MenuEntry : public IMRUMenuItem {
public:
    void SetVisible(bool visible) override { m_visible = visible; }
    bool Visible() const override { return m_visible; }
    void SetCaption(const std::string& caption) override { m_caption = caption; }
    std::string Caption() const override { return m_caption; }
    void SetTag(const std::string& tag) override { m_tag = tag; }
    std::string Tag() const override { return m_tag; }

private:
    bool m_visible = false;
    std::string m_caption, m_tag;
};

// Two first starts at once (from two machines on a shared folder) made the
// sample under one temporary name: the second removed the first one's
// half-made file, and the first then failed. Here the first start stops
// just before its rename until the second has made the sample whole; both
// must finish with a whole sample (its four scenarios) and leave nothing of
// their own behind.
TEST_F(SampleDatabase, TwoFirstStartsMakingTheSampleAtOnceBothFinishWhole) {
    const std::string sample = DataDir() + "/Varnello Sample.db";
    std::filesystem::create_directories(DataDir());
    std::filesystem::remove(sample);
    ASSERT_EQ(CSampleDatabase::DefaultPath(), sample);
    const vtest::TwoStarts starts = vtest::TwoStartsAtOnce(
        [] {
            vtest::HookRecorder boxes; // a message would wait for an answer for ever
            CMRU recent;
            for (int i = 0; i <= recent.MaxMRUItems(); ++i) recent.SetMenuItem(i, std::make_shared<MenuEntry>());
            if (!CSampleDatabase::EnsureOnFirstRun(recent)) return 1;
            return boxes.messages.empty() ? 0 : 2;
        },
        [&] { EXPECT_FALSE(std::filesystem::exists(sample)) << "the first start has not renamed its file yet"; });
    EXPECT_TRUE(starts.stopped);
    EXPECT_EQ(starts.second, 0) << "the second start";
    EXPECT_EQ(starts.first, 0) << "the first start";
    {
        auto ws = std::make_shared<dao::Workspace>("t", "admin");
        dao::DatabasePtr db = ws->OpenDatabase(sample, false, true);
        EXPECT_EQ(CountRows(*db, std::string("SELECT * FROM ") + kScenarioTableName), 4);
        db->Close();
        ws->Close();
    }
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(DataDir()))
        if (e.path().filename().string().rfind("Varnello Sample.db", 0) == 0) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"Varnello Sample.db"});
}

TEST_F(SampleDatabase, LaterStartsLeaveAnExistingSampleAlone) {
    const std::string sample = DataDir() + "/Varnello Sample.db";
    {
        ModalScript script;
        script.CancelOpenDatabase();
        ASSERT_NE(Start(true), nullptr);
        ExitApplication(TheMDIMain());
        Pump(20);
    }
    ASSERT_TRUE(std::filesystem::exists(sample));
    const auto written = std::filesystem::last_write_time(sample);
    // Another database becomes the most recent one.
    const std::string other = File("other.db");
    CreateScoresDatabase(other, true);
    {
        ModalScript script;
        script.OpenDatabase(other);
        ASSERT_NE(Start(true), nullptr);
        ExitApplication(TheMDIMain());
        Pump(20);
    }
    ModalScript script;
    script.CancelOpenDatabase();
    ASSERT_NE(Start(true), nullptr);
    EXPECT_EQ(std::filesystem::last_write_time(sample), written);
    EXPECT_EQ(RegistryValue("Settings", "MRU1"), other);
    EXPECT_EQ(RegistryValue("Settings", "MRU2"), sample);
}

} // namespace
