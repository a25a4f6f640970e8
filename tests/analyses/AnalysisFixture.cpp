#include "AnalysisFixture.h"

#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <iomanip>
#include <limits>

using namespace dao;

namespace atest {

bool OutRow::Has(const std::string& column) const {
    for (const auto& [k, v] : values)
        if (NamesEqual(k, column)) return true;
    return false;
}

const Variant& OutRow::operator[](const std::string& column) const {
    for (const auto& [k, v] : values)
        if (NamesEqual(k, column)) return v;
    ADD_FAILURE() << "no column " << column;
    static const Variant none = Variant::Null();
    return none;
}

double OutRow::Num(const std::string& column) const {
    const Variant& v = (*this)[column];
    return v.IsNull() ? std::numeric_limits<double>::quiet_NaN() : v.ToDouble();
}

bool OutRow::IsNull(const std::string& column) const { return (*this)[column].IsNull(); }

namespace {
// A database with the three scenario tables, made once per process and
// copied for each test: building the tables is the slow part of a test.
const std::string& templateDatabase() {
    static vtest::TempDir dir;
    static std::string path = [] {
        std::string p = dir.file("template.db");
        auto t = DBEngine().CreateDatabase(p, dbLangGeneral);
        if (!vtest::CreateScenarioTablesIn(t)) p.clear();
        t->Close();
        DBEngine().Reset();
        return p;
    }();
    return path;
}
} // namespace

void AnalysisTest::SetUp() {
    DBEngine().Reset();
    const std::string& tpl = templateDatabase();
    ASSERT_FALSE(tpl.empty());
    std::filesystem::copy_file(tpl, tmp.file("data.db"));
    db = DBEngine().OpenDatabase(tmp.file("data.db"));
}

void AnalysisTest::TearDown() {
    if (db) db->Close();
    db.reset();
    DBEngine().Reset();
}

void AnalysisTest::MakeTable(const std::string& name, const std::vector<Column>& columns, const std::vector<Row>& rows) {
    auto td = db->CreateTableDef(name);
    for (const auto& c : columns) td->Fields().Append(td->CreateField(c.name, c.type, c.size));
    db->TableDefs().Append(td);
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    auto rs = db->OpenRecordset(name, dbOpenDynaset);
    for (const auto& r : rows) {
        rs->AddNew();
        for (std::size_t i = 0; i < r.size() && i < columns.size(); ++i)
            if (!r[i].IsEmpty()) rs->Fields(columns[i].name)->SetValue(r[i]);
        rs->Update();
    }
    rs->Close();
    ws->CommitTrans();
}

void AnalysisTest::PutTextInNumberColumn(const std::string& table, const std::string& column, const std::string& text,
                                         const std::string& where) {
    // A connection of its own, past the data-access layer, which would refuse the text.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(tmp.file("data.db").c_str(), &raw), SQLITE_OK);
    std::string sql = "UPDATE \"" + table + "\" SET \"" + column + "\" = '" + text + "' WHERE " + where;
    char* msg = nullptr;
    int rc = sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &msg);
    std::string err = msg ? msg : "";
    sqlite3_free(msg);
    sqlite3_close(raw);
    ASSERT_EQ(rc, SQLITE_OK) << err;
}

std::int32_t AnalysisTest::Store(const vtest::ScenarioSpec& spec) { return vtest::StoreScenario(*db, spec); }

bool AnalysisTest::Run(std::int32_t id, std::string* error, IVarnelloEvents* events) {
    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    if (events) {
        eng.SetEvents(events);
        eng.SetShowProgress(true);
    }
    bool ok = eng.RunScenario(id);
    if (error) *error = eng.ErrorInfo();
    return ok;
}

std::vector<OutRow> AnalysisTest::ReadTable(const std::string& name) {
    std::vector<OutRow> rows;
    auto rs = db->OpenRecordset("SELECT * FROM [" + name + "]", dbOpenSnapshot);
    while (!rs->EOF_()) {
        OutRow r;
        for (int c = 0; c < rs->FieldCount(); ++c) r.values[rs->Fields(c)->Name()] = rs->Fields(c)->Value();
        rows.push_back(std::move(r));
        rs->MoveNext();
    }
    return rows;
}

std::vector<OutRow> AnalysisTest::RunAndRead(const vtest::ScenarioSpec& spec, const std::string& output) {
    std::string err;
    bool ok = Run(Store(spec), &err);
    EXPECT_TRUE(ok) << err;
    if (!ok) return {};
    return ReadTable(output.empty() ? spec.outputTable1 : output);
}

std::vector<std::string> AnalysisTest::ColumnNames(const std::string& name) {
    std::vector<std::string> names;
    db->TableDefs().Refresh();
    auto td = db->TableDefs()(name);
    for (int i = 0; i < td->Fields().Count(); ++i) names.push_back(td->Fields()(i)->Name());
    return names;
}

bool AnalysisTest::TableExists(const std::string& name) {
    db->TableDefs().Refresh();
    return static_cast<bool>(db->TableDefs().Find(name));
}

::testing::AssertionResult AgreesTo(double expected, double actual, int digits) {
    if (std::isnan(actual)) return ::testing::AssertionFailure() << "value is Null/NaN, expected " << expected;
    double tol = std::pow(10.0, -digits) * std::max(std::fabs(expected), 1e-300);
    if (std::fabs(expected - actual) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::setprecision(17) << "expected " << expected << ", got " << actual
                                         << " (not within " << digits << " significant digits)";
}

} // namespace atest
