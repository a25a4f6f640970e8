#include "app/CSampleDatabase.h"
#include "app/WholeFile.h"

#include "db/Dao.h"
#include "engine/AnalysisCatalogue.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioSave.h"
#include "scenario/ScenarioTables.h"
#include "util/CMRU.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

using namespace dao;

namespace {

// A fixed pseudo-random sequence, so that every sample database holds the
// same data.
class DemoRandom {
public:
    explicit DemoRandom(std::uint32_t seed) : m_state(seed) {}
    // Uniform in [0, 1).
    double Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<double>(m_state >> 8) / 16777216.0;
    }

private:
    std::uint32_t m_state;
};

double RoundTo(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

struct Column {
    const char* name;
    int type;
    long size;
};

void CreateTable(Database& db, const char* name, std::initializer_list<Column> columns) {
    TableDefPtr td = db.CreateTableDef(name);
    for (const Column& c : columns)
        td->Fields().Append(td->CreateField(c.name, c.type, c.size));
    db.TableDefs().Append(td);
}

void FillSales(Database& db) {
    CreateTable(db, "Sales", {{"Region", dbText, 20}, {"Month", dbInteger, 0}, {"Units", dbLong, 0},
                              {"Revenue", dbDouble, 0}, {"Cost", dbDouble, 0}});
    struct Region {
        const char* name;
        double baseUnits;
        double price;
    };
    const Region regions[] = {{"North", 420, 12.50}, {"South", 515, 11.90}, {"East", 380, 13.20}, {"West", 465, 12.80}};
    DemoRandom rnd(20240611u);
    auto rs = db.OpenRecordset("Sales", dbOpenDynaset);
    for (const Region& r : regions) {
        for (int month = 1; month <= 12; ++month) {
            // A summer peak and a December lift, with some noise.
            const double season = 1.0 + 0.22 * std::sin((month - 3) * 3.14159265358979 / 6.0) + (month == 12 ? 0.18 : 0.0);
            const long units = std::lround(r.baseUnits * season * (0.9 + 0.2 * rnd.Next()));
            const double revenue = RoundTo(units * r.price, 2);
            const double cost = RoundTo(revenue * (0.58 + 0.08 * rnd.Next()), 2);
            rs->AddNew();
            rs->Fields("Region")->SetValue(r.name);
            rs->Fields("Month")->SetValue(static_cast<std::int16_t>(month));
            rs->Fields("Units")->SetValue(units);
            rs->Fields("Revenue")->SetValue(revenue);
            rs->Fields("Cost")->SetValue(cost);
            rs->Update();
        }
    }
    rs->Close();
}

void FillTestScores(Database& db) {
    CreateTable(db, "TestScores", {{"Class", dbText, 10}, {"Student", dbText, 30}, {"Math", dbDouble, 0},
                                   {"Reading", dbDouble, 0}, {"Weight", dbDouble, 0}});
    const char* const students[] = {"Ava Berg",     "Ben Carter",  "Chloe Diaz",  "Daniel Evans", "Ella Fischer",
                                    "Finn Garcia",  "Grace Hill",  "Hugo Ivanov", "Isla Jensen",  "Jack Kowalski",
                                    "Lena Martin",  "Leo Nowak",   "Mia Olsen",   "Noah Petrov",  "Olivia Quinn",
                                    "Oscar Rossi",  "Ruby Schmidt", "Sam Tanaka",  "Sofia Urban",  "Theo Vargas",
                                    "Una Weber",    "Victor Xu",   "Willow Young", "Yusuf Zeller", "Zoe Abbott",
                                    "Adam Brooks",  "Bella Chen",  "Caleb Doyle", "Daisy Ellis",  "Ethan Ford"};
    struct ClassInfo {
        const char* name;
        double math;
        double reading;
    };
    const ClassInfo classes[] = {{"7A", 68.0, 72.0}, {"7B", 74.0, 70.0}, {"8A", 79.0, 81.0}};
    const double weights[] = {1.0, 1.0, 0.5, 1.0, 1.5, 1.0, 1.0, 0.5, 1.0, 1.5};
    DemoRandom rnd(7081993u);
    auto rs = db.OpenRecordset("TestScores", dbOpenDynaset);
    int s = 0;
    for (const ClassInfo& c : classes) {
        for (int i = 0; i < 10; ++i, ++s) {
            const double math = std::min(100.0, std::round(c.math + (rnd.Next() - 0.5) * 36.0));
            const double reading = std::min(100.0, std::round(c.reading + (rnd.Next() - 0.5) * 30.0));
            rs->AddNew();
            rs->Fields("Class")->SetValue(c.name);
            rs->Fields("Student")->SetValue(students[s]);
            rs->Fields("Math")->SetValue(math);
            // Two students missed the reading test.
            if (s == 4 || s == 23)
                rs->Fields("Reading")->SetValue(Variant::Null());
            else
                rs->Fields("Reading")->SetValue(reading);
            rs->Fields("Weight")->SetValue(weights[i]);
            rs->Update();
        }
    }
    rs->Close();
}

void FillSurvey(Database& db) {
    CreateTable(db, "Survey", {{"Respondent", dbLong, 0}, {"Region", dbText, 20}, {"AgeGroup", dbText, 10},
                               {"Preference", dbText, 20}});
    const char* const regions[] = {"North", "South", "East", "West"};
    const char* const ages[] = {"18-29", "30-44", "45-59", "60+"};
    const char* const brands[] = {"Brand A", "Brand B", "Brand C", "No preference"};
    // The share of each answer per region: the regions lean differently.
    const double shares[4][4] = {{0.40, 0.25, 0.20, 0.15},
                                 {0.25, 0.40, 0.20, 0.15},
                                 {0.25, 0.25, 0.35, 0.15},
                                 {0.30, 0.30, 0.25, 0.15}};
    DemoRandom rnd(4242u);
    auto rs = db.OpenRecordset("Survey", dbOpenDynaset);
    for (int n = 0; n < 120; ++n) {
        const int region = n % 4;
        const double u = rnd.Next();
        int brand = 3;
        double acc = 0;
        for (int b = 0; b < 4; ++b) {
            acc += shares[region][b];
            if (u < acc) {
                brand = b;
                break;
            }
        }
        const int age = static_cast<int>(rnd.Next() * 4.0) % 4;
        rs->AddNew();
        rs->Fields("Respondent")->SetValue(1001 + n);
        rs->Fields("Region")->SetValue(regions[region]);
        rs->Fields("AgeGroup")->SetValue(ages[age]);
        rs->Fields("Preference")->SetValue(brands[brand]);
        rs->Update();
    }
    rs->Close();
}

struct SampleScenario {
    const char* description;
    const char* group;     // "P", "G" or "N"
    const char* type;      // analysis type name
    const char* input;
    const char* output1;
    const char* output2;
    std::vector<std::pair<const char*, Variant>> options; // besides the defaults of a new scenario
    std::vector<std::pair<const char*, const char*>> fields; // name, role
};

// Stored the way the designer stores a new scenario, from the defaults of a
// new scenario.
void StoreScenario(Database& db, const SampleScenario& s) {
    CMelvarsScenario scen = NewScenarioDefaults();
    scen.SetScenario_Description(s.description);
    scen.SetScenario_Type(s.group);
    scen.SetCalcType(s.type);
    scen.SetTable(s.input);
    scen.SetOutputTable1(s.output1);
    scen.SetOutputTable2(s.output2);
    for (const auto& [column, value] : s.options)
        SetScenarioOption(scen, column, value);
    for (const auto& [name, role] : s.fields)
        scen.AddField(name, role);
    const ScenarioSaveResult saved =
        SaveScenario(db, 0, scen, GetScenarioSort(scen.CalcType()), NumberedFields(scen), "admin");
    if (!saved.Saved)
        throw DaoError(err::InvalidOperation, saved.Message);
}

void StoreScenarios(Database& db) {
    const SampleScenario scenarios[] = {
        {"Monthly sales by region: units and revenue", "P", "Describe", "Sales", "Sales_Describe", "",
         {{"CI", true}, {"Percentile", true}},
         {{"Region", "G"}, {"Units", "X"}, {"Revenue", "X"}}},
        {"Test scores by class, weighted by attendance", "P", "Describe", "TestScores", "Scores_Describe", "",
         {{"Mean", true}},
         {{"Class", "G"}, {"Math", "X"}, {"Reading", "X"}, {"Weight", "W"}}},
        {"Quartiles of the test scores by class", "P", "Percentiles", "TestScores", "Scores_Quartiles", "",
         {{"PercentileRadio", "Quartiles"}},
         {{"Class", "G"}, {"Math", "X"}, {"Reading", "X"}}},
        {"Preferred brand by region", "N", "Chi-Square", "Survey", "Survey_ChiSquare", "Survey_ChiDetail",
         {{"ChiDetail", true}, {"ChiAll", false}, {"ChiIgnoreBlanks", false}},
         {{"Region", "G"}, {"Preference", "C"}}},
    };
    for (const SampleScenario& s : scenarios)
        StoreScenario(db, s);
}

std::string HomeDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::string(xdg) + "/varnello";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share/varnello";
    return (std::filesystem::temp_directory_path() / "varnello").string();
}

} // namespace

std::string CSampleDatabase::DataFolder() {
    if (const char* dir = std::getenv("VARNELLO_DATA_DIR"); dir && *dir)
        return dir;
    return HomeDataFolder();
}

std::string CSampleDatabase::DefaultPath() {
    return (std::filesystem::path(DataFolder()) / FileName).string();
}

void CSampleDatabase::Create(const std::string& path) {
    const std::filesystem::path file(path);
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    // A workspace of its own, so that the engine's workspaces stay untouched.
    auto ws = std::make_shared<Workspace>("Sample", "admin");
    DatabasePtr db = ws->CreateDatabase(path, dbLangGeneral);
    // The scenario tables are made by the application's own builders.
    if (!CreateScenarioTables(db))
        throw DaoError(err::InvalidOperation, "The scenario tables could not be created in " + path);
    TransactionGuard tx(*ws);
    FillSales(*db);
    FillTestScores(*db);
    FillSurvey(*db);
    StoreScenarios(*db);
    tx.Commit();
    db->Close();
    ws->Close();
}

bool CSampleDatabase::EnsureOnFirstRun(CMRU& recentList) {
    const std::string path = DefaultPath();
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        return false;
    ProcGuard proc(gErr, "CSampleDatabase:EnsureOnFirstRun");
    // Given its name once it is whole: a program killed meanwhile leaves no
    // half-made file that later starts would take for the sample.
    try {
        MakeFileWhole(path, [](const std::string& part) { Create(part); });
        recentList.SetMRUList(path, CMRU::MakeTag("", "", ""));
        return true;
    } catch (...) {
        proc.HandleError();
        return false;
    }
}
