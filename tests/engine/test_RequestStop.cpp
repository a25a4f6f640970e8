// A run stopped at the user's request (RequestStop, from another thread): it
// ends at the next record it counts, fails with the stopped message, reports
// no error, keeps the previous output, and the next run is not stopped.
#include "db/Dao.h"
#include "analyses/descriptive/CDescribe.h"
#include "engine/Varnello.h"
#include "engine/VarnelloCore.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"
#include "support/AnalysisSeam.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace dao;

namespace {

// Group a: x = offset + 1 .. 4, group b: offset + 5 .. 9.
void FillData(Database& db, double offset) {
    db.Execute("DELETE FROM Data", dbFailOnError);
    auto rs = db.OpenRecordset("Data", dbOpenDynaset);
    for (int i = 1; i <= 9; ++i) {
        rs->AddNew();
        rs->Fields("G")->SetValue(i <= 4 ? "a" : "b");
        rs->Fields("X")->SetValue(offset + i);
        rs->Update();
    }
    rs->Close();
}

// The means OutD holds, group a then b.
std::pair<double, double> Means(Database& db) {
    auto rs = db.OpenRecordset("SELECT Mean FROM OutD ORDER BY G", dbOpenSnapshot);
    const double a = rs->Fields("Mean")->Value().ToDouble();
    rs->MoveNext();
    const double b = rs->Fields("Mean")->Value().ToDouble();
    return {a, b};
}

TEST(RequestStop, AStoppedRunFailsWithItsMessageReportsNoErrorAndKeepsThePreviousOutput) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    auto db = DBEngine().CreateDatabase(tmp.file("stop.db"), dbLangGeneral);
    ASSERT_TRUE(vtest::CreateScenarioTablesIn(db));
    auto td = db->CreateTableDef("Data");
    td->Fields().Append(td->CreateField("G", dbText, 5));
    td->Fields().Append(td->CreateField("X", dbDouble));
    db->TableDefs().Append(td);
    FillData(*db, 0);
    vtest::ScenarioSpec d = vtest::ScenarioOn("P", "Describe", "Data", "OutD");
    d.options = {{"Mean", true}};
    d.fields = {{"G", "G"}, {"X", "X"}};
    const std::int32_t id = vtest::StoreScenario(*db, d);

    int dialogs = 0;
    const EngineErrorDialogFn oldDialog = SetEngineErrorDialog([&](const EngineErrorDialogInfo&) {
        ++dialogs;
        return false;
    });
    Varnello engine;
    engine.SetScenarioDatabase(db);
    engine.SetShowErrors(true); // an error would be reported, a stop is not
    ASSERT_TRUE(engine.RunScenario(id)) << engine.ErrorInfo();
    ASSERT_EQ(Means(*db), std::make_pair(2.5, 7.0));
    // New data: a run that went to its end would write other means.
    FillData(*db, 100);

    // Before the analysis the entry counts records until it is stopped (5 s
    // at most), as a long run does; then it is the real Describe.
    std::atomic<bool> counting{false};
    auto describe = CoreOf(engine).Analysis("Describe");
    vtest::AnalysisOf<DescribeSettings>(CoreOf(engine), "Describe") = [&](DescribeSettings& args, RunContext& e) {
        counting = true;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (long record = 1; std::chrono::steady_clock::now() < until; ++record)
            e.Quorb_Msg(record, false, "");
        return describe(args, e);
    };
    struct Row {
        bool beforeRun;    // asked for before RunScenario, else from another thread during it
        bool showProgress; // the count is checked whether or not progress is shown
        const char* reason;
    } rows[] = {
        {false, true, "stopped from another thread while the records are counted"},
        {false, false, "the same without progress texts"},
        {true, false, "asked for before the run: the run under way when it comes"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.reason);
        counting = false;
        engine.SetShowProgress(r.showProgress);
        if (r.beforeRun)
            engine.RequestStop();
        std::thread stopper([&] {
            if (r.beforeRun)
                return;
            while (!counting)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            engine.RequestStop();
        });
        const auto started = std::chrono::steady_clock::now();
        const bool ran = engine.RunScenario(id);
        stopper.join();
        EXPECT_FALSE(ran);
        EXPECT_EQ(engine.ErrorInfo(), Varnello::StoppedMessage);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4)) << "not stopped at a record";
        EXPECT_EQ(Means(*db), std::make_pair(2.5, 7.0)) << "the previous output changed";
        EXPECT_EQ(dialogs, 0);
    }

    // The request was for the stopped run: the next one runs to its end.
    CoreOf(engine).ReplaceAnalysis("Describe", describe);
    EXPECT_TRUE(engine.RunScenario(id)) << engine.ErrorInfo();
    EXPECT_EQ(Means(*db), std::make_pair(102.5, 107.0));
    SetEngineErrorDialog(oldDialog);
    db->Close();
    DBEngine().Reset();
}

} // namespace
