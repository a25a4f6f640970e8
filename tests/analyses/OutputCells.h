#pragma once
// Output rows checked cell by cell from a list ({column, expected value}, NaN
// expecting Null), a data table replaced between the cases of one test, and
// a listener that keeps a run's status texts.
#include "AnalysisFixture.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace cells {

struct Cell {
    std::string column;
    double value; // NaN: the cell is Null
};

// How each cell's value is compared: exactly, to four units in the last
// place (EXPECT_DOUBLE_EQ), or within an absolute tolerance.
enum class Match { Exact, Ulps, Within };

inline void ExpectCells(const atest::OutRow& row, const std::vector<Cell>& cells, const std::string& label = "",
                        Match how = Match::Exact, double tolerance = 0) {
    for (const auto& c : cells) {
        if (std::isnan(c.value)) {
            EXPECT_TRUE(row.IsNull(c.column)) << label << ": " << c.column << " is not Null";
        } else if (how == Match::Exact) {
            EXPECT_EQ(row.Num(c.column), c.value) << label << ": " << c.column;
        } else if (how == Match::Ulps) {
            EXPECT_DOUBLE_EQ(row.Num(c.column), c.value) << label << ": " << c.column;
        } else {
            EXPECT_NEAR(row.Num(c.column), c.value, tolerance) << label << ": " << c.column;
        }
    }
}

inline void ExpectCellsNear(const atest::OutRow& row, const std::vector<Cell>& cells, double tolerance,
                            const std::string& label = "") {
    ExpectCells(row, cells, label, Match::Within, tolerance);
}

// Agreement to a number of significant digits (AgreesTo), cell by cell.
struct Digits {
    std::string column;
    long double value;
    int digits;
};
inline void ExpectAgrees(const atest::OutRow& row, const std::vector<Digits>& cells, const std::string& label = "") {
    for (const auto& c : cells)
        EXPECT_TRUE(atest::AgreesTo(static_cast<double>(c.value), row.Num(c.column), c.digits))
            << label << ": " << c.column;
}

// Every status text a run reports, in order.
struct StatusLog : IVarnelloEvents {
    std::vector<std::string> texts;
    void StatStatus(std::string& msg) override { texts.push_back(msg); }
};

// The analysis fixture with a data table made afresh for each case.
class CellsTest : public atest::AnalysisTest {
protected:
    void Replace(const std::string& table, const std::vector<atest::Column>& columns,
                 const std::vector<atest::Row>& rows) {
        if (TableExists(table)) db->TableDefs().Delete(table);
        MakeTable(table, columns, rows);
    }
    // "Out1", "Out2", ...: a table name of its own for each case of a test.
    std::string Numbered(const std::string& prefix) { return prefix + std::to_string(++m_numbered[prefix]); }

private:
    std::map<std::string, int> m_numbered;
};

} // namespace cells
