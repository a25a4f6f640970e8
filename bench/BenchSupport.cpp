#include "bench/BenchSupport.h"

#include "db/TableAppender.h"
#include "engine/VarnelloCore.h"
#include "scenario/ScenarioTables.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sys/resource.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

using namespace dao;

namespace bench {

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

Args ParseArgs(int argc, char** argv) {
    Args args;
    if (argc > 1) args.Records = std::atol(argv[1]);
    if (argc > 2) args.Repetitions = std::atoi(argv[2]);
    if (args.Repetitions < 1) args.Repetitions = 1;
    return args;
}

ScratchDir::ScratchDir(const std::string& name)
    : m_dir(std::filesystem::temp_directory_path() /
            ("varnello-bench-" + (name.empty() ? std::string() : name + "-") + std::to_string(::getpid()))) {
    std::filesystem::create_directories(m_dir);
}

ScratchDir::~ScratchDir() {
    DBEngine().Reset();
    // VARNELLO_BENCH_KEEP set: the files stay, to compare the output tables
    // of two builds.
    if (std::getenv("VARNELLO_BENCH_KEEP")) {
        std::fprintf(stderr, "files kept in %s\n", m_dir.c_str());
        return;
    }
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

DatabasePtr CreateScenarioDatabase(const std::string& path) {
    auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
    if (!CreateScenarioTables(db)) {
        std::fprintf(stderr, "scenario tables could not be made\n");
        std::exit(1);
    }
    return db;
}

void WriteDataTable(Database& db, const std::vector<Column>& columns, long records,
                    const std::function<void(long i, const std::vector<FieldPtr>& fields)>& fill) {
    const auto t0 = Clock::now();
    auto td = db.CreateTableDef("Data");
    for (const Column& c : columns) td->Fields().Append(td->CreateField(c.Name, c.Type, c.Size));
    db.TableDefs().Append(td);
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db.OpenRecordset("Data", dbOpenDynaset);
    std::vector<FieldPtr> fields;
    for (const Column& c : columns) fields.push_back(rs->Fields(c.Name));
    for (long i = 0; i < records; ++i) {
        rs->AddNew();
        fill(i, fields);
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
    std::printf("data: %ld records written in %.2f s\n", records, Seconds(t0, Clock::now()));
}

std::int32_t StoreScenario(Database& db, const Scenario& s) {
    ScenarioRows rows;
    rows.Header = {
        {"SortOrder", std::int16_t(1)},
        {"Scenario_Description", "bench"},
        {"Scenario_Analysis_Type", s.Type},
        {"Scenario_Analysis_SubType", s.SubType},
        {"Scenario_Input_Table_Name", "Data"},
        {"Scenario_Output_Table1_Name", s.Output1},
        {"Scenario_Version", "V5"},
        {"Scenario_CreatedBy", "bench"},
        {"Scenario_ModifiedBy", "bench"},
        {"MissingType", "0"},
    };
    if (!s.Output2.empty()) rows.Header.emplace_back("Scenario_Output_Table2_Name", s.Output2);
    for (const char* lock : {"PageLockField1", "PageLockField2", "PageLockField3", "PageLockField4"})
        rows.Header.emplace_back(lock, std::string(10, ' '));
    rows.Options = s.Options;
    std::map<std::string, std::int32_t> placeInRole;
    for (const auto& [name, role] : s.Fields) rows.Fields.push_back({name, role, ++placeInRole[role]});
    const ScenarioSaveResult saved = WriteScenarioRows(db, 0, rows);
    if (!saved.Saved) {
        std::fprintf(stderr, "scenario %s could not be stored: %s\n", s.SubType.c_str(), saved.Message.c_str());
        std::exit(1);
    }
    return saved.ScenarioID;
}

double RunScenario(const DatabasePtr& db, std::int32_t id, const std::function<void(VarnelloCore&)>& setup) {
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    if (setup) setup(eng);
    const auto t0 = Clock::now();
    const bool ok = eng.RunScenario(id);
    const double t = Seconds(t0, Clock::now());
    if (!ok) {
        std::fprintf(stderr, "scenario %d failed: %s\n", id, eng.ErrorInfo().c_str());
        std::exit(1);
    }
    return t;
}

double ReadQuery(const DatabasePtr& db, const std::string& sql, double& checksum) {
    const auto t0 = Clock::now();
    auto rs = db->OpenRecordset(sql, dbOpenDynaset, dbReadOnly | dbSeeChanges);
    const int n = rs->FieldCount();
    std::vector<FieldPtr> cols;
    for (int i = 0; i < n; ++i) cols.push_back(rs->Fields(i));
    std::size_t len = 0;
    while (!rs->EOF_()) {
        for (const auto& c : cols) {
            Variant v = c->Value();
            if (v.IsString()) len += v.RawString().size();
            else if (!v.IsNull()) checksum += v.ToDouble();
        }
        rs->MoveNext();
    }
    rs->Close();
    checksum += static_cast<double>(len);
    return Seconds(t0, Clock::now());
}

namespace {

void dropTable(Database& db, const std::string& table) {
    db.TableDefs().Refresh();
    if (db.TableDefs().Find(table)) db.TableDefs().Delete(table);
}

} // namespace

double ReadAndStage(const DatabasePtr& db, const std::string& sql, const DatabasePtr& stage, double& checksum) {
    dropTable(*stage, "Stage");
    // The clock runs from the opening of the query (its sort) as in
    // ReadQuery; only the making of the stage table is left out.
    const auto t0 = Clock::now();
    auto rs = db->OpenRecordset(sql, dbOpenDynaset, dbReadOnly | dbSeeChanges);
    const auto tMake = Clock::now();
    const int n = rs->FieldCount();
    std::vector<FieldPtr> texts, numbers;
    for (int i = 0; i < n; ++i) {
        FieldPtr f = rs->Fields(i);
        (f->Type() == dbText || f->Type() == dbMemo ? texts : numbers).push_back(f);
    }
    // A staging table holds a few numbers a row: the first four of the record.
    if (numbers.size() > 4) numbers.resize(4);
    std::vector<std::string> columns = {"Record", "GroupFld"};
    auto td = stage->CreateTableDef("Stage");
    td->Fields().Append(td->CreateField("Record", dbLong));
    td->Fields().Append(td->CreateField("GroupFld", dbLong));
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        columns.push_back("N" + std::to_string(k + 1));
        td->Fields().Append(td->CreateField(columns.back(), dbDouble));
    }
    stage->TableDefs().Append(td);
    FieldPtr first = rs->Fields(0);
    const double made = Seconds(tMake, Clock::now());
    {
        TableAppender out(stage, "Stage", columns);
        std::size_t len = 0;
        long long record = 0, group = 0;
        Variant last;
        double v[4] = {0, 0, 0, 0};
        while (!rs->EOF_()) {
            for (const auto& f : texts) {
                Variant t = f->Value();
                if (!t.IsNull()) len += t.RawString().size();
            }
            Variant key = first->Value();
            if (record == 0 || !(key == last)) {
                ++group;
                last = std::move(key);
            }
            for (std::size_t k = 0; k < numbers.size(); ++k) {
                Variant x = numbers[k]->Value();
                v[k] = x.IsNull() ? 0.0 : x.ToDouble();
                checksum += v[k];
            }
            ++record;
            switch (numbers.size()) {
            case 0: out.Append({record, group}); break;
            case 1: out.Append({record, group, v[0]}); break;
            case 2: out.Append({record, group, v[0], v[1]}); break;
            case 3: out.Append({record, group, v[0], v[1], v[2]}); break;
            default: out.Append({record, group, v[0], v[1], v[2], v[3]}); break;
            }
            rs->MoveNext();
        }
        out.Flush();
        checksum += static_cast<double>(len);
    }
    rs->Close();
    const double t = Seconds(t0, Clock::now()) - made;
    dropTable(*stage, "Stage");
    return t;
}

double WriteRows(const DatabasePtr& db, const std::string& table, const std::vector<std::string>& numbers,
                 long records) {
    dropTable(*db, table);
    auto td = db->CreateTableDef(table);
    td->Fields().Append(td->CreateField("Grp", dbText, 20));
    for (const std::string& c : numbers) td->Fields().Append(td->CreateField(c, dbDouble));
    db->TableDefs().Append(td);
    const auto t0 = Clock::now();
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db->OpenRecordset(table, dbOpenDynaset, dbAppendOnly);
    std::vector<FieldPtr> f;
    for (const std::string& c : numbers) f.push_back(rs->Fields(c));
    auto g = rs->Fields("Grp");
    for (long i = 0; i < records; ++i) {
        rs->AddNew();
        g->SetValue("Group 1");
        for (std::size_t k = 0; k < f.size(); ++k) f[k]->SetValue(static_cast<double>(i) + static_cast<double>(k));
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
    return Seconds(t0, Clock::now());
}

double ReadSqlite(const std::string& path, const std::string& sql, double& checksum) {
    const auto t0 = Clock::now();
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), db ? sqlite3_errmsg(db) : "cannot open");
        std::exit(1);
    }
    const int n = sqlite3_column_count(st);
    std::size_t len = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < n; ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_TEXT) {
                const unsigned char* t = sqlite3_column_text(st, i);
                len += t ? std::strlen(reinterpret_cast<const char*>(t)) : 0;
            } else {
                checksum += sqlite3_column_double(st, i);
            }
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    checksum += static_cast<double>(len);
    return Seconds(t0, Clock::now());
}

void WriteStandardData(Database& db, long records) {
    char grp[16], many[16], c5[8];
    Random random;
    WriteDataTable(db,
                   {{"Grp", dbText, 20},
                    {"GrpMany", dbText, 20},
                    {"C2", dbText, 10},
                    {"C5", dbText, 10},
                    {"Row", dbLong},
                    {"Col", dbLong},
                    {"Cell", dbLong},
                    {"K", dbLong},
                    {"X", dbDouble},
                    {"Y", dbDouble},
                    {"U", dbDouble},
                    {"V", dbDouble}},
                   records, [&](long i, const std::vector<FieldPtr>& f) {
                       std::snprintf(grp, sizeof grp, "Group %ld", i % 10);
                       f[0]->SetValue(grp);
                       std::snprintf(many, sizeof many, "G%05d", static_cast<int>(random.Next() % 10000));
                       f[1]->SetValue(many);
                       f[2]->SetValue(random.Next() % 2 ? "A" : "B");
                       std::snprintf(c5, sizeof c5, "S%d", static_cast<int>(random.Next() % 5));
                       f[3]->SetValue(c5);
                       const std::int32_t row = static_cast<std::int32_t>((i / 1000) % 1000);
                       const std::int32_t col = static_cast<std::int32_t>(i % 1000);
                       f[4]->SetValue(row);
                       f[5]->SetValue(col);
                       f[6]->SetValue(1000 * row + col);
                       f[7]->SetValue(static_cast<std::int32_t>(random.Next() % 30000));
                       // Whole counts with many ties (a Poisson-like spread), and a paired value near them.
                       const double x = static_cast<double>(random.Next() % 40);
                       f[8]->SetValue(x);
                       f[9]->SetValue(x + static_cast<double>(random.Next() % 7) - 3.0);
                       // 53 random bits: no two values alike in practice.
                       const double u = static_cast<double>(random.Next() >> 11) * 0x1p-53 * 1000.0;
                       f[10]->SetValue(u);
                       f[11]->SetValue(u + static_cast<double>(random.Next() >> 11) * 0x1p-53 * 100.0 - 50.0);
                   });
}

ChildResult RunChild(const std::vector<std::string>& args) {
    ChildResult r;
    int out[2];
    if (::pipe(out) != 0) {
        r.Error = "pipe failed";
        return r;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(out[0]);
        ::close(out[1]);
        r.Error = "fork failed";
        return r;
    }
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        static char self[] = "/proc/self/exe";
        argv.push_back(self);
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(self, argv.data());
        std::perror("execv");
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buf[256];
    for (;;) {
        const ssize_t got = ::read(out[0], buf, sizeof buf);
        if (got > 0) text.append(buf, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR) break;
    }
    ::close(out[0]);
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    // ru_maxrss keeps the high-water mark of the address space the child was
    // forked with (the parent's), so the child's own VmHWM counts where it
    // reported one.
    r.PeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    double hwmKiB = 0;
    if (WIFSIGNALED(status)) {
        r.Error = std::string("killed by signal ") + std::to_string(WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0) {
        r.Error = "exit " + std::to_string(WEXITSTATUS(status));
    } else if (std::sscanf(text.c_str(), "%lf %lf %lf", &r.Seconds, &r.Checksum, &hwmKiB) != 3) {
        r.Error = "no result";
    } else {
        r.Ok = true;
        if (hwmKiB > 0) r.PeakMiB = hwmKiB / 1024.0;
    }
    return r;
}

void ReportToParent(double seconds, double checksum) {
    long hwmKiB = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %ld kB", &hwmKiB) == 1) break;
        std::fclose(f);
    }
    std::printf("%.9f %.17g %ld\n", seconds, checksum, hwmKiB);
    std::fflush(stdout);
}

} // namespace bench
