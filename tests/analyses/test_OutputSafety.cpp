// What a run may never destroy: the scenario tables, the database's own
// catalogue, the data it reads, and the output of the previous run, whether
// the new run is refused, fails, meets a lock or is killed half-way.
#include "AnalysisFixture.h"
#include "support/LockWait.h"
#include "support/OtherProgram.h"

#include <csignal>
#include <functional>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

using namespace dao;
using namespace atest;

namespace {

vtest::ScenarioSpec describeMean(const std::string& out1, const std::string& out2 = {},
                                 const std::string& table = "Data") {
    vtest::ScenarioSpec s;
    s.subType = "Describe";
    s.inputTable = table;
    s.outputTable1 = out1;
    s.outputTable2 = out2;
    s.options = {{"Range", false}, {"VarStd", false}, {"Sum", false},        {"Mean", true},   {"Skew", false},
                 {"Mode", false},  {"CI", false},     {"Percentile", false}, {"FreqN", false}, {"FreqP", false},
                 {"TTestMean", false}};
    s.fields = {{"G", "G"}, {"X", "X"}};
    return s;
}

class OutputSafetyTest : public AnalysisTest {
protected:
    void SetUp() override {
        AnalysisTest::SetUp();
        // Three groups; the mean of each is worked out by hand below.
        MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}},
                  {{"a", 1.0}, {"a", 3.0}, {"b", 5.0}, {"b", 4.0}, {"c", 10.0}});
        db->CreateQueryDef("qData", "SELECT G, X FROM Data WHERE X > 0");
    }

    long count(const std::string& table) {
        auto rs = db->OpenRecordset("SELECT Count(*) AS n FROM [" + table + "]", dbOpenSnapshot);
        return static_cast<long>(rs->Fields("n")->Value().ToDouble());
    }

    // The means of the groups a, b, c as the output table holds them.
    std::vector<double> means(const std::string& table) {
        std::vector<double> m;
        for (const auto& r : ReadTable(table)) m.push_back(r.Num("Mean"));
        return m;
    }

    // A run on a fresh engine with the arguments `set` fills in.
    bool runWith(std::int32_t id, const std::function<void(Varnello::RunScenarioArgs&)>& set, std::string* error) {
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        Varnello::RunScenarioArgs args;
        set(args);
        const bool ok = eng.RunScenario(id, args);
        *error = eng.ErrorInfo();
        return ok;
    }

    // Groups g100 .. g139 of g .. g + 4: rows of an output are written long before the end.
    void makeMany() {
        std::vector<Row> data;
        for (int g = 0; g < 40; ++g)
            for (int k = 0; k < 5; ++k) data.push_back({Variant("g" + std::to_string(100 + g)), Variant(double(g + k))});
        MakeTable("Many", {{"G", dbText, 5}, {"X", dbDouble}}, data);
    }

    const std::vector<double> kMeans = {2.0, 4.5, 10.0}; // (1+3)/2, (5+4)/2, 10/1
};

TEST_F(OutputSafetyTest, OutputNamesThatWouldDestroySomethingAreRefusedBeforeAnythingIsTouched) {
    const std::string scen = "The output table %s would replace a scenario table, and every stored scenario with it; "
                             "choose another output table name.";
    const std::string cat = "The output table %s would replace a table the database keeps for itself; choose another "
                            "output table name.";
    const std::string src = "The output table %s is the table the analysis reads; choose another output table name.";
    // A table under a saved query's name would hide the query from every
    // lookup by name; a query that changes data has no view to stop it.
    const std::string query = "Object '%s' already exists.";
    db->CreateQueryDef("qRaise", "UPDATE Data SET X = X * 2");
    struct Case {
        std::string out1, out2, source, pattern, name, why;
    };
    const std::vector<Case> cases = {
        {"usysQuorbScenarios", "", "Data", scen, "usysQuorbScenarios", "the scenario headers"},
        {"Out", "USYSQUORBOPTIONS", "Data", scen, "USYSQUORBOPTIONS", "any case, in the second slot"},
        {"usysquorbfields", "", "Data", scen, "usysquorbfields", "the field rows"},
        {"MSysDb", "", "Data", cat, "MSysDb", "the database's password and locale"},
        {"msysQueries", "", "Data", cat, "msysQueries", "the saved queries"},
        {"MSysColumns", "", "Data", cat, "MSysColumns", "the column definitions"},
        {"sqlite_sequence", "", "Data", cat, "sqlite_sequence", "SQLite's own table"},
        {"DATA", "", "Data", src, "DATA", "the source table, another case"},
        {"data", "", "qData", src, "data", "the table a saved query reads"},
        {"QRAISE", "", "Data", query, "QRAISE", "a saved query that changes data, another case"},
        {"qdata", "", "Data", query, "qdata", "a saved query that reads, another case"},
        {"", "", "Data", "The output table has no name; give it a name in the scenario.", "", "an empty name"},
        {"  ", "", "Data", "The output table has no name; give it a name in the scenario.", "", "blanks only"},
    };
    const long scenariosBefore = count("usysQuorbScenarios");
    for (const auto& c : cases) {
        std::string err;
        std::int32_t id = Store(describeMean(c.out1, c.out2, c.source));
        EXPECT_FALSE(Run(id, &err)) << c.why;
        std::string expected = c.pattern;
        if (auto p = expected.find("%s"); p != std::string::npos) expected.replace(p, 2, c.name);
        EXPECT_EQ(err, expected) << c.why;
        // Every scenario stored so far, the catalogue and the data are whole.
        EXPECT_EQ(count("usysQuorbScenarios"), scenariosBefore + (&c - &cases[0]) + 1) << c.why;
        EXPECT_EQ(count("usysQuorbOptions"), count("usysQuorbScenarios")) << c.why;
        EXPECT_EQ(count("Data"), 5) << c.why;
        db->QueryDefs().Refresh();
        EXPECT_TRUE(db->QueryDefs().Find("qData")) << c.why;
        EXPECT_FALSE(TableExists("Out")) << c.why;
    }
    // The queries are still what their names open.
    EXPECT_FALSE(TableExists("qRaise"));
    EXPECT_EQ(db->OpenRecordset("qData")->FieldCount(), 2);
}

TEST_F(OutputSafetyTest, TheSourceReachedThroughALinkToTheSameFileIsRefused) {
    const std::string link = tmp.file("link.db");
    std::filesystem::create_symlink(tmp.file("data.db"), link);
    std::string err; // the output: another path, another connection, the same file
    EXPECT_FALSE(runWith(Store(describeMean("Data")), [&](auto& a) { a.OutputDatabase = link; }, &err));
    EXPECT_EQ(err, "The output table Data is the table the analysis reads; choose another output table name.");
    EXPECT_EQ(count("Data"), 5);
}

TEST_F(OutputSafetyTest, TwoOutputSlotsWithOneNameAreRefusedAndThePreviousTableStays) {
    MakeTable("Res", {{"Old", dbDouble}}, {{7.0}});
    vtest::ScenarioSpec s = vtest::ScenarioOn("N", "Chi-Square", "Data", "Res", "RES");
    s.options = {{"ChiAll", false}, {"ChiDetail", true}, {"ChiIgnoreBlanks", false}};
    s.fields = {{"G", "C"}};
    std::string err;
    EXPECT_FALSE(Run(Store(s), &err));
    // Whichever slot the analysis fills second is the one named.
    EXPECT_TRUE(NamesEqual(err, "Both output tables are named Res; give them different names.")) << err;
    // The first slot had already replaced Res inside the run: that is undone.
    auto rows = ReadTable("Res");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Num("Old"), 7.0);
}

TEST_F(OutputSafetyTest, ALockedOutputDatabaseFailsTheRunNamingTheFileAndKeepsThePreviousOutput) {
    auto spec = describeMean("Out");
    std::string err;
    ASSERT_TRUE(Run(Store(spec), &err)) << err;
    ASSERT_EQ(means("Out"), kMeans);
    std::int32_t id = Store(spec);
    // Another program holds the file's write lock for the length of the run
    // (the run waits a moment for it only).
    vtest::LockWaitLimitScope shortWait(std::chrono::milliseconds(300));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(tmp.file("data.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_FALSE(Run(id, &err));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_NE(err.find("Out"), std::string::npos) << err;
    EXPECT_NE(err.find(tmp.file("data.db")), std::string::npos) << err;
    EXPECT_EQ(err.find("already exists"), std::string::npos) << err;
    EXPECT_EQ(means("Out"), kMeans);
}

TEST_F(OutputSafetyTest, OutputNamesLikeSqlOrInBracketsNeverCrashAndNeverWriteIntoAnotherTable) {
    MakeTable("OutSorted", {{"Old", dbDouble}}, {{7.0}});
    const std::string badName = "'[OutSorted]' is not a valid name. Make sure that it does not include invalid "
                                "characters or punctuation and that it is not too long.";
    struct Case {
        std::string subType, out;
        bool ok;
        std::string why;
    };
    const std::vector<Case> cases = {
        {"Describe", "Select Summary", true, "a name that begins with SELECT"},
        {"Describe", "With weights", true, "WITH"},
        {"Percentiles", "Parameters of X", true, "PARAMETERS"},
        {"Percentiles", "Transform", true, "TRANSFORM"},
        {"Describe", "[OutSorted]", false, "brackets around an existing table's name"},
        {"Percentiles", "[OutSorted]", false, "the same through the sort stage"},
    };
    for (const auto& c : cases) {
        auto spec = describeMean(c.out);
        spec.subType = c.subType;
        if (c.subType == "Percentiles") spec.options = {{"PercentileRadio", "Median"}};
        std::string err;
        EXPECT_EQ(Run(Store(spec), &err), c.ok) << c.why << ": " << err;
        if (c.ok) EXPECT_EQ(ReadTable(c.out).size(), c.subType == "Describe" ? 3u : 9u) << c.why;
        else EXPECT_EQ(err, badName) << c.why;
        auto old = ReadTable("OutSorted");
        ASSERT_EQ(old.size(), 1u) << c.why;
        EXPECT_EQ(old[0].Num("Old"), 7.0) << c.why;
    }
}

TEST_F(OutputSafetyTest, FailuresNameTheirRealCause) {
    // A number field whose file holds a text (another program wrote it).
    MakeTable("Texts", {{"G", dbText, 5}, {"X", dbDouble}}, {{"a", 1.0}, {"a", 2.0}, {"b", 3.0}});
    PutTextInNumberColumn("Texts", "X", "abc", "X = 3");
    struct Case {
        vtest::ScenarioSpec spec;
        std::function<void(std::int32_t)> damage; // applied after storing
        std::string expected, why;
    };
    auto freq = describeMean("Out", "", "Texts");
    freq.options = {{"FreqN", true}, {"FreqGroupRadio", "Default"}, {"InterV", std::int16_t(4)}};
    auto noSource = describeMean("Out");
    const std::vector<Case> cases = {
        {freq, nullptr,
         "Type mismatch: the value 'abc' in field X is not a number.",
         "default frequency bounds over a text that is no number (the maximum, 'abc')"},
        {noSource,
         [this](std::int32_t id) {
             db->Execute("UPDATE usysQuorbScenarios SET Scenario_Input_Table_Name = Null WHERE Scenario_ID = " +
                         std::to_string(id));
         },
         "Scenario %d names no source table.", "a Null source table name"},
    };
    for (const auto& c : cases) {
        std::int32_t id = Store(c.spec);
        if (c.damage) c.damage(id);
        std::string expected = c.expected;
        if (auto p = expected.find("%d"); p != std::string::npos) expected.replace(p, 2, std::to_string(id));
        std::string err;
        EXPECT_FALSE(Run(id, &err)) << c.why;
        EXPECT_EQ(err, expected) << c.why;
    }
}

TEST_F(OutputSafetyTest, RunArgumentsAndTheDefaultOutputDatabaseDecideWhereResultsGo) {
    // Copies of the scenario tables under other names, each differing in what it decides.
    const std::pair<std::string, std::string> copies[] = {
        {"ScenCopy", "usysQuorbScenarios"}, {"OptCopy", "usysQuorbOptions"}, {"FieldCopy", "usysQuorbFields"}};
    for (const auto& [copy, table] : copies) db->Execute("SELECT * INTO " + copy + " FROM " + table);
    std::int32_t id = Store(describeMean("Out"));
    for (const auto& [copy, table] : copies) {
        db->Execute("DELETE FROM " + copy);
        db->Execute("INSERT INTO " + copy + " SELECT * FROM " + table + " WHERE Scenario_ID = " + std::to_string(id));
    }
    db->Execute("UPDATE ScenCopy SET Scenario_Output_Table1_Name = 'FromScenCopy'");
    db->Execute("UPDATE OptCopy SET Mean = False, Sum = True");
    db->Execute("UPDATE FieldCopy SET FieldDef_Choice = 'X' WHERE FieldDef_Name = 'G'"); // G is text: no number
    // The source in another file: the output follows the source there.
    const std::string other = tmp.file("source.db");
    std::filesystem::copy_file(tmp.file("data.db"), other);

    struct Case {
        std::function<void(Varnello::RunScenarioArgs&)> set;
        std::string table, column; // where the result must land, and a column it must have
        bool inSource;
        std::string why;
    };
    const std::vector<Case> cases = {
        {[](auto& a) { a.OutputTableName = "Named1"; }, "Named1", "Mean", false, "OutputTableName"},
        {[](auto& a) { a.ScenarioTbl = "ScenCopy"; }, "FromScenCopy", "Mean", false, "ScenarioTbl"},
        {[](auto& a) { a.OptionsTbl = "OptCopy"; a.OutputTableName = "FromOpt"; }, "FromOpt", "Sum", false, "OptionsTbl"},
        {[&](auto& a) { a.SourceDatabase = other; a.OutputTableName = "InSource"; }, "InSource", "Mean", true,
         "no output database: the source database, not the scenario database"},
    };
    std::string err;
    for (const auto& c : cases) {
        ASSERT_TRUE(runWith(id, c.set, &err)) << c.why << ": " << err;
        DatabasePtr where = c.inSource ? DBEngine().OpenDatabase(other) : db;
        where->TableDefs().Refresh();
        auto td = where->TableDefs().Find(c.table);
        ASSERT_TRUE(td) << c.why;
        EXPECT_TRUE(td->Fields().Find(c.column)) << c.why;
        db->TableDefs().Refresh();
        EXPECT_EQ(static_cast<bool>(db->TableDefs().Find(c.table)), !c.inSource) << c.why;
    }
    // FieldTbl: the copy makes G an analysed field, which a text field cannot be.
    EXPECT_FALSE(runWith(id, [](auto& a) { a.FieldTbl = "FieldCopy"; }, &err));
    EXPECT_NE(err.find("field G"), std::string::npos) << err;
}

// Ends the process at once on the given progress text: no destructor, no
// clean-up, as a power cut or `kill -9` would.
struct KillAt : IVarnelloEvents {
    std::string text;
    void StatStatus(std::string& msg) override {
        if (msg == text) ::kill(::getpid(), SIGKILL);
    }
};

TEST_F(OutputSafetyTest, AProcessKilledInTheMiddleOfARunLeavesThePreviousOutputWholeAndNoWorkFile) {
    vtest::TmpdirScope tmpdir(tmp.path().string());
    const std::string workFolder = tmp.file("varnello-" + std::to_string(::geteuid()));
    makeMany();
    auto spec = describeMean("Out", "", "Many");
    for (auto& [option, value] : spec.options)
        if (option == "Percentile") value = true; // the median sorts through a work database
    spec.options.push_back({"PercentileRadio", "Median"});
    std::string err;
    ASSERT_TRUE(Run(Store(spec), &err)) << err;
    const std::vector<double> before = means("Out"); // group g: (5g + 0+1+2+3+4) / 5 = g + 2
    ASSERT_EQ(before.size(), 40u);
    EXPECT_EQ(before[39], 41.0);
    db->Execute("UPDATE Many SET X = X * 10");
    std::int32_t id = Store(spec);
    const std::string path = tmp.file("data.db");
    db->Close();
    DBEngine().Reset();

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        KillAt killer;
        killer.text = "Analyzing record: 150"; // 30 groups written
        VarnelloCore eng;
        eng.SetEvents(&killer);
        Varnello::RunScenarioArgs args;
        args.ScenarioDatabase = path;
        args.ShowProgress = true;
        eng.RunScenario(id, args);
        ::_exit(3); // not reached when the kill came
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child was not killed mid-run";

    db = DBEngine().OpenDatabase(path);
    EXPECT_EQ(means("Out"), before);
    // The dead run's work database is there until the next engine starts.
    EXPECT_FALSE(std::filesystem::is_empty(workFolder));
    { VarnelloCore next; }
    EXPECT_TRUE(std::filesystem::is_empty(workFolder));
}


// Starts a run on the engine from inside its own progress event, once (or
// from its completion event, for the text "RunScenarioComplete").
struct NestedRunAt : IVarnelloEvents {
    VarnelloCore* eng = nullptr;
    std::string text;
    std::int32_t id = 0;
    int calls = 0;
    bool nestedResult = true;
    std::string nestedInfo;
    void StatStatus(std::string& msg) override { startAt(msg); }
    void RunScenarioComplete(bool&, std::string&) override { startAt("RunScenarioComplete"); }
    void startAt(const std::string& msg) {
        if (msg != text || calls) return;
        ++calls;
        nestedResult = eng->RunScenario(id);
        nestedInfo = eng->ErrorInfo();
    }
};

TEST_F(OutputSafetyTest, ARunStartedFromInsideAProgressEventIsRefusedAndTheRunningOneFinishesWhole) {
    makeMany();
    auto spec = describeMean("Out", "", "Many");
    std::string err;
    ASSERT_TRUE(Run(Store(spec), &err)) << err;
    db->Execute("UPDATE Many SET X = X * 10");
    const std::int32_t id = Store(spec);
    const std::int32_t other = Store(describeMean("Out"));

    struct Case {
        const char* at;
        const char* why;
    } cases[] = {
        {"Analyzing record: 100", "in the middle of the record pass, rows pending"},
        {"Retrieving and sorting data...", "before the input is open"},
        {"RunScenarioComplete", "from the completion event: the run's own message stays its ErrorInfo"},
    };
    for (const auto& c : cases) {
        NestedRunAt nested;
        VarnelloCore eng;
        nested.eng = &eng;
        nested.text = c.at;
        nested.id = other;
        eng.SetScenarioDatabase(db);
        eng.SetEvents(&nested);
        Varnello::RunScenarioArgs args;
        args.ShowProgress = true;
        EXPECT_TRUE(eng.RunScenario(id, args)) << c.why << ": " << eng.ErrorInfo();
        EXPECT_EQ(nested.calls, 1) << c.why;
        EXPECT_FALSE(nested.nestedResult) << c.why;
        EXPECT_EQ(nested.nestedInfo, VarnelloCore::kNestedRunMessage) << c.why;
        // Group g holds 10g, 10(g+1), ..., 10(g+4): its mean is 10g + 20.
        const std::vector<double> after = means("Out");
        ASSERT_EQ(after.size(), 40u) << c.why;
        for (int g = 0; g < 40; ++g) EXPECT_EQ(after[static_cast<std::size_t>(g)], 10.0 * g + 20) << c.why << " group " << g;
        EXPECT_EQ(eng.ErrorInfo(), "") << c.why;
    }
}

} // namespace

TEST_F(OutputSafetyTest, AnOutputNamedAsATableOfAFullTextIndexLeavesTheIndexWhole) {
    // Another program's full-text table Docs keeps its index in Docs_data,
    // Docs_idx, ... An output named Docs_data replaced that table, and every
    // search of Docs failed from then on.
    {
        vtest::OtherProgram other(tmp.file("data.db"));
        other.Exec("CREATE VIRTUAL TABLE Docs USING fts5(Body)");
        other.Exec("INSERT INTO Docs (Body) VALUES ('north wind'), ('south wind'), ('calm')");
    }
    std::string err;
    EXPECT_FALSE(Run(Store(describeMean("Docs_data")), &err));
    EXPECT_FALSE(err.empty());
    // The index still finds the two rows with "wind".
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(tmp.file("data.db").c_str(), &other, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    const int rc = sqlite3_prepare_v2(other, "SELECT count(*) FROM Docs WHERE Docs MATCH 'wind'", -1, &st, nullptr);
    EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(other);
    if (rc == SQLITE_OK) {
        EXPECT_EQ(sqlite3_step(st), SQLITE_ROW) << sqlite3_errmsg(other);
        EXPECT_EQ(sqlite3_column_int(st, 0), 2);
    }
    sqlite3_finalize(st);
    sqlite3_close(other);
}
