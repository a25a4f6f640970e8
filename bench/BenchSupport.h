#pragma once
// What the benchmarks share: the command line, a scratch folder, the data
// table, storing a scenario, running it against the clock and reading a query
// as the baseline the analyses are measured against.
#include "db/Dao.h"
#include "scenario/ScenarioSave.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to);

// [records [repetitions]]: the record count (default 1000000) and the number
// of runs of which the best counts (default 3, at least 1).
struct Args {
    long Records = 1000000;
    int Repetitions = 3;
};
Args ParseArgs(int argc, char** argv);

// The same sequence of pseudo-random numbers in every run (xorshift).
class Random {
public:
    unsigned long long Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }

private:
    unsigned long long m_state = 88172645463325252ULL;
};

// A folder of its own under the temporary folder ("varnello-bench-<name>-<pid>";
// an empty name leaves out its part), removed with everything in it at the
// end, after the database engine let go of its files.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return (m_dir / name).string(); }

private:
    std::filesystem::path m_dir;
};

// A new database with the three scenario tables; ends the program when they
// cannot be made.
dao::DatabasePtr CreateScenarioDatabase(const std::string& path);

struct Column {
    std::string Name;
    int Type = 0; // dbText, dbDouble ...
    long Size = 0;
};

// Writes the table "Data" with these columns and `records` rows in one
// transaction; `fill` sets the values of row i (the fields in column order)
// between AddNew and Update. Prints how long it took.
void WriteDataTable(dao::Database& db, const std::vector<Column>& columns, long records,
                    const std::function<void(long i, const std::vector<dao::FieldPtr>& fields)>& fill);

// A scenario on the table "Data", stored as "bench" by "bench".
struct Scenario {
    std::string Type = "P";
    std::string SubType;
    std::string Output1;
    std::string Output2; // empty: none
    ScenarioColumnValues Options;
    std::vector<std::pair<std::string, std::string>> Fields; // name, role; numbered within each role
};
// Its number; ends the program when it cannot be stored.
std::int32_t StoreScenario(dao::Database& db, const Scenario& scenario);

// Seconds the engine takes to run the scenario; ends the program when it fails.
double RunScenario(const dao::DatabasePtr& db, std::int32_t id);

// Seconds to read every value of every column of the query through the
// data-access layer: numbers are added to the checksum, texts count by length.
double ReadQuery(const dao::DatabasePtr& db, const std::string& sql, double& checksum);

} // namespace bench
