// The error handler: its stack, its events, its message box and its
// destinations.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "db/Dao.h"
#include "errors/CErr_ZUR.h"
#include "errors/ErrorGlobals.h"
#include "errors/ErrorReport.h"
#include "errors/ProcGuard.h"
#include "platform/App.h"
#include "support/HookRecorder.h"
#include "support/RunTimeErrorOf.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A fixed, small environment so that reports do not depend on the machine.
ErrorReportEnvironment smallEnvironment() {
    ErrorReportEnvironment env;
    env.ProductVersion = "0.1.0";
    env.Date = "date";
    return env;
}

class CErrTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorReportEnvironmentProvider(smallEnvironment);
        handler.SetDestination(dir.file("error.log"));
    }
    void TearDown() override { SetErrorReportEnvironmentProvider({}); }

    vtest::TempDir dir;
    vtest::HookRecorder rec;
    CErr_ZUR handler;
};

TEST_F(CErrTest, NewHandlerHasItsDefaults) {
    // Made while $TMPDIR is our folder; read after it is restored.
    auto made = [&] { vtest::TmpdirScope tmpdir(dir.path().string()); return std::make_unique<CErr_ZUR>(); }();
    CErr_ZUR& h = *made;
    EXPECT_EQ(h.MaxItems(), 20);
    EXPECT_TRUE(h.ExpandedInfo());
    EXPECT_TRUE(h.DisplayError());
    EXPECT_EQ(h.ScenarioNumber(), 0);
    EXPECT_EQ(h.ErrNumber(), 0);
    EXPECT_EQ(h.ErrLine(), 0);
    EXPECT_EQ(h.ErrDescription(), "");
    EXPECT_EQ(h.ErrorText(), "");
    EXPECT_EQ(h.ErrProcedure(), "");
    EXPECT_EQ(h.AppTitle(), "");
    EXPECT_EQ(h.CurrentOperation(), "");
    EXPECT_EQ(h.DestinationPath(), dir.path().string() + "/ERRORS.TXT"); // in the temporary folder
    EXPECT_FALSE(h.DestinationIsRecordset());
    EXPECT_EQ(h.Stack().size(), 23u);
    EXPECT_EQ(h.StackUpperBound(), 22);
    EXPECT_EQ(h.StackPointer(), 0);
    for (const auto& s : h.Stack()) EXPECT_EQ(s, "");
}

TEST_F(CErrTest, FirstPushGoesIntoSlotOneAndIsReported) {
    handler.SetDisplayError(false);
    handler.Push("frmAbout:Form_Load");
    EXPECT_EQ(handler.StackPointer(), 1);
    EXPECT_EQ(handler.Stack()[1], "frmAbout:Form_Load");
    EXPECT_EQ(handler.Stack()[0], "");
    handler.HandleError(5, "Invalid procedure call or argument");
    EXPECT_EQ(handler.ErrProcedure(), "frmAbout:Form_Load");
}

TEST_F(CErrTest, ThreePushesAndOnePop) {
    handler.Push("a");
    handler.Push("b");
    handler.Push("c");
    handler.Pop();
    EXPECT_EQ(handler.StackPointer(), 2);
    EXPECT_EQ(handler.Stack()[1], "a");
    EXPECT_EQ(handler.Stack()[2], "b");
    EXPECT_EQ(handler.Stack()[3], "");
}

TEST_F(CErrTest, PopOnAnEmptyStackStaysAtZero) {
    handler.Pop();
    handler.Pop();
    EXPECT_EQ(handler.StackPointer(), 0);
    handler.Push("x");
    EXPECT_EQ(handler.Stack()[1], "x");
}

TEST_F(CErrTest, PushesPastMaxItemsStayBalancedAndAreNotStored) {
    handler.SetMaxItems(2);
    EXPECT_EQ(handler.Stack().size(), 5u);
    EXPECT_EQ(handler.StackUpperBound(), 4);
    for (const char* n : {"p1", "p2", "p3", "p4"}) handler.Push(n);
    EXPECT_EQ(handler.StackPointer(), 4);
    const std::vector<std::string> expected{"", "p1", "p2", "", ""};
    EXPECT_EQ(handler.Stack(), expected);
    handler.SetDisplayError(false);
    handler.HandleError(6, "Overflow");
    EXPECT_EQ(handler.ErrProcedure(), ""); // not stored: reported as empty
    for (int i = 0; i < 4; ++i) handler.Pop();
    EXPECT_EQ(handler.StackPointer(), 0);
    EXPECT_EQ(handler.Stack(), std::vector<std::string>(5));
}

TEST_F(CErrTest, PointerAboveTheUpperBoundFailsNothing) {
    handler.SetMaxItems(1); // slots 0 to 3
    handler.SetDisplayError(false);
    for (int i = 0; i < 10; ++i) handler.Push("deep" + std::to_string(i));
    EXPECT_EQ(handler.StackPointer(), 10);
    EXPECT_NO_THROW(handler.HandleError(11, "Division by zero"));
    EXPECT_EQ(handler.ErrProcedure(), "");
    EXPECT_NE(vtest::ReadFileBytes(dir.file("error.log")).find("01  deep0\r\n"), std::string::npos);
}

TEST_F(CErrTest, MaxItemsRecreatesTheStackAndKeepsThePointer) {
    handler.Push("a");
    handler.Push("b");
    handler.SetMaxItems(5);
    EXPECT_EQ(handler.MaxItems(), 5);
    EXPECT_EQ(handler.StackUpperBound(), 7);
    EXPECT_EQ(handler.Stack(), std::vector<std::string>(8));
    EXPECT_EQ(handler.StackPointer(), 2);
}

TEST_F(CErrTest, MaxItemsAbove32765OverflowsAndChangesNothing) {
    handler.Push("a");
    EXPECT_EQ(vtest::RunTimeErrorOf([&] { handler.SetMaxItems(32766); }), std::make_pair(6L, std::string("Overflow")));
    EXPECT_EQ(handler.MaxItems(), 20);
    EXPECT_EQ(handler.StackUpperBound(), 22);
    EXPECT_EQ(handler.Stack()[1], "a");
    EXPECT_NO_THROW(handler.SetMaxItems(32765));
    EXPECT_EQ(handler.StackUpperBound(), 32767);
}

TEST_F(CErrTest, DisplayErrorOffShowsNothingButReportsAndRaisesBothEvents) {
    handler.SetDisplayError(false);
    int before = 0, after = 0;
    auto s1 = handler.OnBeforeHandlerCalled([&](bool&) { ++before; });
    auto s2 = handler.OnAfterHandlerCalled([&] { ++after; });
    handler.Push("Sub Main");
    handler.HandleError(13, "Type mismatch");
    EXPECT_EQ(rec.messages.size(), 0u);
    EXPECT_EQ(rec.beeps, 0);
    EXPECT_TRUE(fs::exists(dir.file("error.log")));
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
}

TEST_F(CErrTest, CancelInBeforeHandlerCalledStopsEverythingButTheCapture) {
    handler.Push("Melvar_RunScenario");
    int after = 0;
    auto s1 = handler.OnBeforeHandlerCalled([](bool& cancel) { cancel = true; });
    auto s2 = handler.OnAfterHandlerCalled([&] { ++after; });
    handler.HandleError(ErrInfo{3265, "Item not found in this collection.", "DAO", 40});
    EXPECT_EQ(handler.ErrNumber(), 3265);
    EXPECT_EQ(handler.ErrLine(), 40);
    EXPECT_EQ(handler.ErrDescription(), "Item not found in this collection.");
    EXPECT_EQ(handler.ErrProcedure(), "Melvar_RunScenario");
    EXPECT_FALSE(fs::exists(dir.file("error.log")));
    EXPECT_EQ(rec.messages.size(), 0u);
    EXPECT_EQ(rec.beeps, 0);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(handler.ErrorText(), "");
}

struct BoxCase {
    const char* operation;
    long line;
    const char* expected;
};

TEST_F(CErrTest, MessageBoxTextTitleAndIcon) {
    const BoxCase cases[] = {
        {"", 0,
         "The following error has occurred in procedure: \r\nfrmAbout:Form_Load on line 0\r\n"
         "Error (5) Invalid procedure call or argument"},
        {"Reading data", 120,
         "The following error has occurred in procedure: \r\nfrmAbout:Form_Load on line 120\r\n"
         "Error (5) Invalid procedure call or argument\r\nCurrent Operation: Reading data"},
    };
    handler.Push("frmAbout:Form_Load");
    handler.SetAppTitle("Varnello");
    for (const auto& c : cases) {
        rec.messages.clear();
        handler.SetCurrentOperation(c.operation);
        handler.HandleError(5, "Invalid procedure call or argument", c.line);
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0].prompt, c.expected);
        EXPECT_EQ(rec.messages[0].buttons, 16); // critical stop, OK only
        EXPECT_EQ(rec.messages[0].title, "Varnello");
    }
    EXPECT_EQ(rec.beeps, 2);
}

TEST_F(CErrTest, EmptyAppTitleBecomesTheApplicationTitle) {
    platform::App::SetTitle("Varnello");
    handler.HandleError(1, "x");
    EXPECT_EQ(handler.AppTitle(), "Varnello");
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].title, "Varnello");
    platform::App::SetTitle({});
}

TEST_F(CErrTest, FailingReportStillShowsTheBoxAndRaisesAfterHandlerCalled) {
    handler.SetDestination(dir.file("no such folder/error.log"));
    int after = 0;
    auto s = handler.OnAfterHandlerCalled([&] { ++after; });
    handler.Push("Sub Main");
    handler.HandleError(53, "File not found");
    EXPECT_FALSE(fs::exists(dir.file("no such folder/error.log")));
    EXPECT_EQ(handler.ErrorText().rfind("Varnello ERROR INFORMATION\r\n", 0), 0u);
    EXPECT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(after, 1);
}

TEST_F(CErrTest, AnAfterHandlerCalledListenerThatFailsIsAbsorbed) {
    handler.SetDisplayError(false);
    int second = 0;
    auto s1 = handler.OnAfterHandlerCalled([] { throw RunTimeError(-2147219504, "Action Cancelled by User"); });
    auto s2 = handler.OnAfterHandlerCalled([&] { ++second; });
    EXPECT_NO_THROW(handler.HandleError(9, "Subscript out of range"));
    EXPECT_EQ(second, 1);
}

TEST_F(CErrTest, ABeforeHandlerCalledListenerThatFailsGoesBackToTheCaller) {
    auto s = handler.OnBeforeHandlerCalled([](bool&) { throw RunTimeError(5); });
    EXPECT_THROW(handler.HandleError(9, "Subscript out of range"), RunTimeError);
    EXPECT_EQ(handler.ErrNumber(), 9); // captured before the event
    EXPECT_FALSE(fs::exists(dir.file("error.log")));
}

TEST_F(CErrTest, ADisconnectedListenerHearsNothing) {
    handler.SetDisplayError(false);
    int calls = 0;
    {
        auto s = handler.OnAfterHandlerCalled([&] { ++calls; });
        EXPECT_TRUE(s.Connected());
        handler.HandleError(1, "one");
    }
    handler.HandleError(2, "two");
    auto s2 = handler.OnAfterHandlerCalled([&] { ++calls; });
    s2.Disconnect();
    EXPECT_FALSE(s2.Connected());
    handler.HandleError(3, "three");
    EXPECT_EQ(calls, 1);
}

TEST_F(CErrTest, ASubscriptionMayOutliveItsHandler) {
    CErr_ZUR::Subscription s;
    {
        CErr_ZUR h;
        s = h.OnAfterHandlerCalled([] {});
        EXPECT_TRUE(s.Connected());
    }
    EXPECT_FALSE(s.Connected());
    s.Disconnect(); // nothing left to disconnect from
}

TEST_F(CErrTest, HandleErrorTakesTheExceptionBeingHandled) {
    handler.SetDisplayError(false);
    const auto handleThrown = [&](const std::function<void()>& raise) {
        try {
            raise();
        } catch (...) {
            handler.HandleError();
        }
    };
    handleThrown([] { throw dao::DaoError(3265, "Item not found in this collection."); });
    EXPECT_EQ(handler.ErrNumber(), 3265);
    EXPECT_EQ(handler.ErrDescription(), "Item not found in this collection.");
    handleThrown([] { throw RunTimeError(11, "Division by zero", "CDescribe", 310); });
    EXPECT_EQ(handler.ErrNumber(), 11);
    EXPECT_EQ(handler.ErrLine(), 310);
    handler.HandleError(); // no exception: no error
    EXPECT_EQ(handler.ErrNumber(), 0);
    EXPECT_EQ(handler.ErrDescription(), "");
}

TEST_F(CErrTest, ClearErrorForgetsTheCaptureButNotTheReportOrTheStack) {
    handler.SetDisplayError(false);
    handler.Push("RunOneScenario");
    handler.HandleError(11, "Division by zero", 12);
    const std::string text = handler.ErrorText();
    handler.ClearError();
    EXPECT_EQ(handler.ErrNumber(), 0);
    EXPECT_EQ(handler.ErrLine(), 0);
    EXPECT_EQ(handler.ErrDescription(), "");
    EXPECT_EQ(handler.ErrProcedure(), "");
    EXPECT_EQ(handler.ErrorText(), text);
    EXPECT_EQ(handler.TopOfStack(), "RunOneScenario");
}

struct InvalidTypeCase {
    std::function<void(CErr_ZUR&)> set;
    const char* description;
};

struct NotARecordset {
    int x = 0;
};

TEST_F(CErrTest, DestinationOfAnyOtherTypeIsRefused) {
    const InvalidTypeCase cases[] = {
        {[](CErr_ZUR& h) { h.SetDestination(short{7}); }, "Invalid object type: 2"},
        {[](CErr_ZUR& h) { h.SetDestination(7); }, "Invalid object type: 3"},
        {[](CErr_ZUR& h) { h.SetDestination(7.5f); }, "Invalid object type: 4"},
        {[](CErr_ZUR& h) { h.SetDestination(7.5); }, "Invalid object type: 5"},
        {[](CErr_ZUR& h) { h.SetDestination(true); }, "Invalid object type: 11"},
        {[](CErr_ZUR& h) { h.SetDestination(7LL); }, "Invalid object type: 20"},
        {[](CErr_ZUR& h) { h.SetDestination(std::monostate{}); }, "Invalid object type: 0"},
        {[](CErr_ZUR& h) { h.SetDestination(std::make_shared<NotARecordset>()); }, "Invalid object type: 9"},
        {[](CErr_ZUR& h) { h.SetDestination(std::shared_ptr<dao::Recordset>()); }, "Invalid object type: 9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vtest::RunTimeErrorOf([&] { c.set(handler); }), std::make_pair(-2147220504L, std::string(c.description)))
            << "accepted or refused otherwise: " << c.description;
        EXPECT_EQ(handler.DestinationPath(), dir.file("error.log")); // kept
        EXPECT_FALSE(handler.DestinationIsRecordset());
    }
}

// In a shared folder (sticky, like /tmp) another user's link at the report's
// path cannot be deleted; the report must not be written through it.
TEST_F(CErrTest, ReportIsNeverWrittenThroughASymbolicLink) {
    const std::string shared = dir.file("shared");
    fs::create_directory(shared);
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(shared.c_str(), 01777);
    const std::string victim = dir.file("victim.txt");
    { std::ofstream(victim) << "precious\n"; }
    ::chmod(victim.c_str(), 0666);
    fs::create_symlink(victim, shared + "/ERRORS.TXT");
    const int result = vtest::RunUnprivileged([&] {
        CErr_ZUR h;
        h.SetDisplayError(false);
        h.SetDestination(shared + "/ERRORS.TXT");
        h.HandleError(5, "Invalid procedure call or argument");
        return h.ErrorText().empty() ? 1 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(vtest::ReadFileBytes(victim), "precious\n");
    ::chmod(dir.path().c_str(), 0700);
}

TEST_F(CErrTest, ClearLogDeletesTheFileAndAcceptsAMissingOne) {
    handler.SetDisplayError(false);
    handler.HandleError(1, "x");
    ASSERT_TRUE(fs::exists(dir.file("error.log")));
    const std::string text = handler.ErrorText();
    EXPECT_TRUE(handler.ClearLog());
    EXPECT_FALSE(fs::exists(dir.file("error.log")));
    EXPECT_TRUE(handler.ClearLog());
    EXPECT_EQ(handler.ErrorText(), text); // the captured fields stay
    EXPECT_EQ(handler.ErrNumber(), 1);
}

// A folder that stands where the report file should be is none of the
// handler's: deleting the report leaves it alone.
TEST_F(CErrTest, AFolderAtTheReportsPathIsNeverDeleted) {
    struct Row {
        const char* why;
        std::function<void(CErr_ZUR&)> act;
    } rows[] = {
        {"ClearLog after the user continued", [](CErr_ZUR& h) { EXPECT_TRUE(h.ClearLog()); }},
        {"a report that could not be made",
         [](CErr_ZUR& h) {
             SetErrorReportEnvironmentProvider([]() -> ErrorReportEnvironment { throw RunTimeError(7); });
             h.HandleError(11, "Division by zero");
             SetErrorReportEnvironmentProvider(smallEnvironment);
         }},
        {"a report written", [](CErr_ZUR& h) { h.HandleError(11, "Division by zero"); }},
    };
    handler.SetDisplayError(false);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const std::string folder = dir.file("error.log");
        fs::create_directory(folder);
        row.act(handler);
        EXPECT_TRUE(fs::is_directory(folder));
        fs::remove_all(folder);
    }
}

// The table ErrLog (Id Long, Msg Text 50), made through the object model.
void makeLogTable(dao::Database& db) {
    auto td = db.CreateTableDef("ErrLog");
    td->Fields().Append(td->CreateField("Id", dao::dbLong));
    td->Fields().Append(td->CreateField("Msg", dao::dbText, 50));
    db.TableDefs().Append(td);
}

long countRows(const std::string& path, const char* table) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT COUNT(*) FROM ") + table).c_str(), -1, &st, nullptr);
    long n = -1;
    if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

TEST_F(CErrTest, RecordsetDestinationGetsNoReportAndClearLogEmptiesIt) {
    dao::DBEngine().Reset();
    const std::string path = dir.file("log.db");
    {
        auto db = dao::DBEngine().CreateDatabase(path, dao::dbLangGeneral);
        makeLogTable(*db);
        for (const char* row : {"1, 'one'", "2, 'two'", "3, 'three'"})
            db->Execute(std::string("INSERT INTO ErrLog VALUES (") + row + ")");
        handler.SetDisplayError(false);
        handler.HandleError(1, "first"); // into the file
        const std::string first = handler.ErrorText();

        auto rs = db->OpenRecordset("ErrLog", dao::dbOpenDynaset);
        handler.SetDestination(rs);
        EXPECT_TRUE(handler.DestinationIsRecordset());
        EXPECT_EQ(handler.DestinationPath(), "");
        handler.HandleError(2, "second");
        EXPECT_EQ(handler.ErrorText(), first); // nothing written for a recordset
        EXPECT_EQ(handler.ErrNumber(), 2);
        EXPECT_TRUE(handler.ClearLog());
        rs->Close();
        db->Close();
    }
    dao::DBEngine().Reset();
    EXPECT_EQ(countRows(path, "ErrLog"), 0);
}

TEST_F(CErrTest, ClearLogOfAnEmptyRecordsetIsFine) {
    dao::DBEngine().Reset();
    auto db = dao::DBEngine().CreateDatabase(dir.file("empty.db"), dao::dbLangGeneral);
    makeLogTable(*db);
    handler.SetDestination(db->OpenRecordset("ErrLog", dao::dbOpenDynaset));
    EXPECT_TRUE(handler.ClearLog());
    db->Close();
    dao::DBEngine().Reset();
}

// ---- ProcGuard and the globals ----------------------------------------------

TEST(ProcGuard, PushesAtEntryAndPopsAtEveryExit) {
    auto h = std::make_shared<CErr_ZUR>();
    auto inner = [&](bool early) {
        ProcGuard g(h, "Inner");
        EXPECT_EQ(h->TopOfStack(), "Inner");
        if (early) return 1;
        return 2;
    };
    {
        ProcGuard g(h, "Outer");
        EXPECT_EQ(h->StackPointer(), 1);
        inner(true);
        inner(false);
        EXPECT_EQ(h->StackPointer(), 1);
        EXPECT_EQ(h->TopOfStack(), "Outer");
    }
    EXPECT_EQ(h->StackPointer(), 0);
}

TEST(ProcGuard, PopsTheHandlerItPushedEvenWhenTheGlobalIsReplaced) {
    gEngineErr = std::make_shared<CErr_ZUR>();
    auto first = gEngineErr;
    {
        ProcGuard g(gEngineErr, "Varnello:RunScenario");
        gEngineErr = std::make_shared<CErr_ZUR>(); // a new engine was created meanwhile
        EXPECT_EQ(first->StackPointer(), 1);
    }
    EXPECT_EQ(first->StackPointer(), 0);
    EXPECT_EQ(gEngineErr->StackPointer(), 0);
    gEngineErr.reset();
}

TEST(ProcGuard, NullHandlerDoesNothing) {
    std::shared_ptr<CErr_ZUR> none;
    ProcGuard g(none, "Nothing");
    EXPECT_EQ(g.Handler(), nullptr);
    EXPECT_NO_THROW(g.HandleError());
}

TEST(ProcGuard, HandleErrorInsideACatchBlockReportsTheFailingProcedure) {
    vtest::HookRecorder rec;
    SetErrorReportEnvironmentProvider(smallEnvironment);
    vtest::TempDir dir;
    CErr_ZUR h;
    h.SetDisplayError(false);
    h.SetDestination(dir.file("error.log"));
    auto run = [&]() -> std::string {
        ProcGuard g(h, "CDescribe:Quorb_Describe");
        try {
            throw std::out_of_range("index");
        } catch (...) {
            g.HandleError();
        }
        return {};
    };
    run();
    SetErrorReportEnvironmentProvider({});
    EXPECT_EQ(h.ErrNumber(), 9);
    EXPECT_EQ(h.ErrDescription(), "Subscript out of range");
    EXPECT_EQ(h.ErrProcedure(), "CDescribe:Quorb_Describe");
    EXPECT_EQ(h.StackPointer(), 0);
}

} // namespace
