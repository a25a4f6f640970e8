#include "bench/BenchSupport.h"

#include "engine/VarnelloCore.h"
#include "scenario/ScenarioTables.h"

#include <cstdio>
#include <cstdlib>
#include <map>
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

double RunScenario(const DatabasePtr& db, std::int32_t id) {
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
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

} // namespace bench
