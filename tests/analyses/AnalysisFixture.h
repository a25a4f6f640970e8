#pragma once
// What the analysis tests share: a database file in a temporary folder with
// the scenario tables, data tables made through the object model, scenarios
// stored the designer's way and run through the engine, and the output
// tables read back row by row.
#include "db/Dao.h"
#include "engine/ValueSpool.h"
#include "engine/VarnelloCore.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace atest {

struct Column {
    std::string name;
    int type = dao::dbDouble;
    long size = 0;
};

using Row = std::vector<dao::Variant>;

// A group's staged records held in memory up to `limit` records (0: the
// run's own limit); a group beyond it is read back from the work table.
struct SpoolLimit {
    explicit SpoolLimit(std::size_t limit) : old(ValueSpool::SetMemoryLimit(limit)) {}
    ~SpoolLimit() { ValueSpool::SetMemoryLimit(old); }
    SpoolLimit(const SpoolLimit&) = delete;
    SpoolLimit& operator=(const SpoolLimit&) = delete;
    std::size_t old;
};

// One output row: column name (any case) to value.
class OutRow {
public:
    std::map<std::string, dao::Variant> values;
    bool Has(const std::string& column) const;
    const dao::Variant& operator[](const std::string& column) const; // fails the test when absent
    double Num(const std::string& column) const;                     // the value as a double (NaN when Null)
    bool IsNull(const std::string& column) const;
};

class AnalysisTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void MakeTable(const std::string& name, const std::vector<Column>& columns, const std::vector<Row>& rows);
    std::int32_t Store(const vtest::ScenarioSpec& spec);
    // Stores a text in a number column of the rows matching `where`, as a
    // program writing the file directly could (the file keeps it as text).
    void PutTextInNumberColumn(const std::string& table, const std::string& column, const std::string& text,
                               const std::string& where);
    // Runs the scenario through a fresh engine; the engine's message lands in
    // `error`. A listener given hears the run's status texts.
    bool Run(std::int32_t id, std::string* error = nullptr, IVarnelloEvents* events = nullptr);
    // Every row of the table in the order written, and its column names in order.
    std::vector<OutRow> ReadTable(const std::string& name);
    // Stores and runs the scenario, expects success, and reads the output
    // table named (its first output table when no name is given).
    std::vector<OutRow> RunAndRead(const vtest::ScenarioSpec& spec, const std::string& output = "");
    std::vector<std::string> ColumnNames(const std::string& name);
    bool TableExists(const std::string& name);

    vtest::TempDir tmp;
    dao::DatabasePtr db;
};

// Names a row of a parameterized test after its `name`: the fault it is kept for.
struct RowName {
    template <class Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
        return info.param.name;
    }
};

// Relative closeness to a number of significant digits.
::testing::AssertionResult AgreesTo(double expected, double actual, int digits);

} // namespace atest
