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

class VarnelloCore;

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
// `setup`, when given, is called on the engine before the run (to change an
// entry, say).
double RunScenario(const dao::DatabasePtr& db, std::int32_t id,
                   const std::function<void(VarnelloCore&)>& setup = {});

// Seconds to read every value of every column of the query through the
// data-access layer: numbers are added to the checksum, texts count by length.
double ReadQuery(const dao::DatabasePtr& db, const std::string& sql, double& checksum);

// Seconds to read the query and write one row for each record it returns into
// the table "Stage" of `stage` through the batch appender (what a staging
// analysis writes): the record's ordinal, the number of its group (counted up
// where the query's first column changes) and every number of the record.
// The table is made before and dropped after the timed part.
double ReadAndStage(const dao::DatabasePtr& db, const std::string& sql, const dao::DatabasePtr& stage,
                    double& checksum);

// Seconds to write `records` rows through AddNew/Update in one transaction
// into a new table `table` of db: a text column "Grp" (20 characters) and
// Double columns of these names. The table is dropped first if it is there.
double WriteRows(const dao::DatabasePtr& db, const std::string& table, const std::vector<std::string>& numbers,
                 long records);

// Seconds for SQLite's own read of `sql` through its C API on a connection
// of its own (the file opened read-only): every value fetched, numbers added
// to the checksum, texts counted by length. Text sorts must name a collation
// SQLite knows (COLLATE BINARY): the data-access layer's is its own code.
double ReadSqlite(const std::string& path, const std::string& sql, double& checksum);

// ---- the shared data table --------------------------------------------------
// Writes the table "Data" of `records` rows that the analyses are measured on:
//   Grp      text, "Group 0" .. "Group 9" in turn (10 groups);
//   GrpMany  text, one of 10,000 group names at random;
//   C2, C5   text, a compare field of 2 ("A", "B") and of 5 ("S0".."S4") values;
//   Row, Col whole numbers: Row = (i / 1000) mod 1000, Col = i mod 1000, so
//            the first 1,000,000 records hold 1,000,000 distinct (Row, Col)
//            cells; Cell = 1000·Row + Col;
//   K        a whole number, one of 30,000 at random (categories);
//   X        whole counts 0..39 (many ties), Y = X + a whole number in -3..3;
//   U        a real number in [0, 1000) (no ties), V = U + a real in [-50, 50).
void WriteStandardData(dao::Database& db, long records);

// ---- one measurement in a child process of its own --------------------------
// Runs this program again (/proc/self/exe) with `args`; the child reports
// through ReportToParent on its standard output. Its peak memory is the
// child's own high-water mark (VmHWM after the program was started again),
// so nothing the parent holds counts; a child that fails before it reports
// gets its ru_maxrss, which can include the parent's resident size at the fork.
struct ChildResult {
    bool Ok = false;
    double Seconds = 0;
    double Checksum = 0;
    double PeakMiB = 0;
    std::string Error; // how it failed
};
ChildResult RunChild(const std::vector<std::string>& args);
// What a child prints for the parent: "seconds checksum VmHWM-in-KiB".
void ReportToParent(double seconds, double checksum);

} // namespace bench
