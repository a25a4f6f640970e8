#pragma once
// CXTab: the "Crosstab" analysis. Each data field is laid out against the
// distinct values of one column field: per group of the leading row fields,
// one output row per value of the last row field and one column per column
// value, each cell holding one statistic of the data field (the cell
// function, one letter):
//
//   C Count, U UniqueCount (distinct values), S Sum, A Average, M Min, X Max,
//   R Range, O Mode (the value of the largest weight, the smaller on a tie),
//   V Var, F CoefVar, D StDev, E StError, 1 First, L Last.
//
// The letters C S A 1 L read a grouped query: the database sums each row
// value and column value. The others read the records sorted by the leading
// fields; the variance letters keep each cell's moments about a provisional
// mean (Moments) and merge cells exactly, so that data far from zero keep
// their digits. First and Last of a cell are the database's First() and
// Last(); over several cells (a row, a column, the group) the first is the
// first cell in the order of the row values and columns, the last the last.
//
// Optional rows give row, column and total percentages, expected values and
// their percentages; for counts and sums an optional second table holds the
// chi-square test of independence per group and data field, with phi, the
// contingency coefficient and Cramér's V.
//
// Records count under the system's weight rule: a weight counts when it is
// above 0 and not the "Equal" missing value; Null, 0 and negative weights
// count nowhere.
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"
#include "engine/Moments.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class ProcGuard;
class RunContext;

class CXTab {
public:
    std::string Quorb_Xtab(std::string OutputTable1, std::string OutputTable2, std::string Table, FieldList& Fields,
                           std::int16_t nG, std::int16_t nX, bool bWeight, std::string XType, std::string Switches,
                           RunContext& Engine);

    // The missing-value test of the engine's rule as SQL: "IIf(c,sIn, sOut)"
    // with the condition c on the expression f, or sIn when the rule gives
    // none; with bEqualOnly only the rule "Equal" gives a condition.
    std::string DataOk_Str(const std::string& f, bool bEqualOnly, const std::string& sIn, const std::string& sOut) const;

    // Output column names for the column values (their texts, trimmed): the
    // Null value is "<NULL>", an empty text "<BLANK>"; every name is cut to
    // 64 characters and made unique, without regard to case, against the
    // names in `taken` and the names before it by a suffix "~2", "~3", ...
    static std::vector<std::string> ColumnNames(const std::vector<std::string>& texts, bool bNull,
                                                std::vector<std::string> taken);

    // One cell's accumulated values.
    struct Cell {
        std::int32_t Records = 0;
        double N = 0;     // count or weight of the values
        double SumX = 0;  // Σ of the values (weighted)
        // The variance letters: the values' moments while the cell is read,
        // then its mean as K + Dev and its sum of squares about it.
        ::Moments Moments;
        double K = 0, Dev = 0, M2 = 0;
        double High = 0, Low = 0;
        double FirstLast = 0;
        std::vector<std::pair<double, double>> Tally; // value, weight, by value (UniqueCount and Mode)
        bool TallyMerged = false;                     // other cells' values appended, not yet in order
    };
    // The cell function of `letter` (upper case) over a cell; nothing when the
    // cell has no value for it.
    static std::optional<double> CalcValue(char letter, const Cell& c);

private:
    struct Staged {
        int row = 0, field = 0, column = 0;
        Cell cell;
    };
    struct ChiSums {
        int rows = 0;
        double chi = 0;
        bool valid = true;
        double minExpected = 0, maxExpected = 0;
    };

    std::string NullOrData_Str(const std::string& f, bool bEqualOnly, const std::string& sIn,
                               const std::string& sOut) const;
    void SortColumns();
    void SaveGroup();
    std::string InitXtabDataTable();
    std::string OpenSource();
    std::string CreateOutput_b();
    std::string CreateChi_b();
    void ReadRecords();
    void CalcData();
    void FlushRow();
    void WriteData();
    void Merge(Cell& into, const Cell& from) const;
    static void Normalize(Cell& c);
    void WriteOneRow(const std::string& dataType, int i, bool withRowValue, const std::vector<std::optional<double>>& values,
                     std::optional<double> summary);
    void WritePercent(const std::string& prefix, int i, bool withRowValue, const std::vector<std::optional<double>>& rowValues,
                      std::optional<double> rowSum, const std::vector<std::optional<double>>& colValues,
                      std::optional<double> all);
    void CalcChiSq(const std::vector<std::optional<double>>& rowValues, std::optional<double> rowSum,
                   const std::vector<std::optional<double>>& colValues, double all, ChiSums& s);
    void WriteChi(int i, double all, int columns, const ChiSums& s);
    int ColumnOf(const dao::Variant& v);

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    RunContext* m_Engine = nullptr;
    std::string m_error;

    std::string m_out1, m_out2, m_table;
    FieldList m_fields;
    std::int16_t m_nG = 0, m_nX = 0, m_iCol = 0;
    bool m_bWeight = false, m_chi = false, m_grouped = false;
    char m_letter = 'C';
    std::string m_label, m_switches;
    std::vector<long> m_types, m_sizes;

    // Column values (1 .. nCols): texts, first values met, output names, and
    // the lookup of an upper-cased text.
    std::vector<std::string> m_cols, m_colNames;
    std::vector<dao::Variant> m_colValues;
    bool m_bNull = false;
    int m_nCols = 0;
    std::unordered_map<std::string, int> m_colIndex;
    int m_colCache = 0;
    dao::Variant m_lastColumn; // the column value of the record m_colCache was found for

    dao::RecordsetPtr m_chiRs;
    std::vector<dao::FieldPtr> m_leadCols, m_dataCols, m_countCols;
    std::vector<dao::Variant> m_prev, m_cur;

    // The row value being read: its cells (column, field) dense, and the ones touched.
    std::vector<Cell> m_rowCells;
    std::vector<int> m_touched;
    // The group being read: its row values and staged cells.
    std::vector<dao::Variant> m_rowValues;
    std::vector<Staged> m_staged;
    // Every group read: its lead values, row values and staged cells.
    struct GroupCells {
        std::vector<dao::Variant> lead;
        std::vector<dao::Variant> rowValues;
        std::vector<Staged> staged;
    };
    std::vector<GroupCells> m_groupBuffer;
};
