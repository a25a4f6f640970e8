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
//
// The run, in this order: the column values (SELECT DISTINCT of the column
// field), the source query, the output table, the staging table in the work
// database, the records. While the records are read only the cells of one
// row value are held; when the row value ends its cells are added to the
// group's column totals and staged, and when the group ends its rows are
// written from the staged cells. A group's staged cells stay in memory up to
// a limit and go to the work table "statTemp1" beyond it (through the batch
// appender), so memory does not grow with the number of cells. UniqueCount
// and Mode keep their values' tallies and stay in memory.
#include "db/Dao.h"
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/Moments.h"
#include "engine/modStatsGeneral.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace dao {
class TableAppender;
}

struct XtabSettings : AnalysisSettings {
    std::string CellFunction; // one character
    std::string Switches;     // six "Y"/"N"
};

class CXTab : public AnalysisRoad {
public:
    using Settings = XtabSettings;
    explicit CXTab(const Settings& settings);
    ~CXTab() override;

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // Staged cells of a group held in memory before the group moves to the
    // work table; sets the limit of the runs from now on (0: the default)
    // and returns the previous one, so that tests send small groups through
    // the table.
    static constexpr std::size_t DefaultStageLimit = std::size_t(1) << 14;
    static std::size_t SetStageLimit(std::size_t cells);

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

    // A value UniqueCount and Mode count: the double it is read as and, for
    // a whole number no double holds (2^60 + 1, a 64-bit key), how far it
    // lies from that double. Values are told apart and ordered by both.
    struct Tallied {
        double value = 0;
        std::int64_t offset = 0;
        double weight = 0;
        bool SameValue(const Tallied& o) const { return value == o.value && offset == o.offset; }
        bool Before(const Tallied& o) const { return value < o.value || (value == o.value && offset < o.offset); }
    };
    // One cell's accumulated values.
    struct Cell {
        std::int32_t Records = 0;
        double N = 0;     // count or weight of the values
        double SumX = 0;  // Σ of the values (weighted)
        // The variance letters: the values' moments while the cell is read,
        // then its mean as K + Dev and its sum of squares about it.
        ::Moments Moments;
        double K = 0, Dev = 0, M2 = 0;
        // M2 is held in the unit 2^(2·M2Exp): 0 for ordinary values, the
        // exponent of the cell's spread where its squares are beyond a
        // double's range (values near 1e-300 or 1e300).
        int M2Exp = 0;
        double High = 0, Low = 0;
        double FirstLast = 0;
        std::vector<Tallied> Tally; // by value (UniqueCount and Mode)
        bool TallyMerged = false;                     // other cells' values appended, not yet in order
    };
    // The cell function of `letter` (upper case) over a cell; nothing when the
    // cell has no value for it.
    static std::optional<double> CalcValue(char letter, const Cell& c);

private:
    struct Staged {
        int row = 0, field = 0, column = 0; // row: the row value's place in m_rowValues
        Cell cell;
    };
    struct ChiSums {
        int rows = 0;
        double chi = 0;
        bool valid = true;
        double minExpected = 0, maxExpected = 0;
    };

    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    void CloseOwn() override;

    std::string NullOrData_Str(const std::string& f, bool bEqualOnly, const std::string& sIn,
                               const std::string& sOut) const;
    std::string CreateColumns();
    std::string InitXtabDataTable();
    std::string OpenXtabSource();
    std::string CreateOutput_b();
    std::string CreateChi_b();
    std::string CreateTemp_b();
    void FlushRow();
    // How far the whole number of the data field at `position`, read as
    // `x`, lies from x (0 for any value a double holds).
    std::int64_t WholeOffset(std::size_t position, double x) const;
    void Stage(Staged&& st);
    void SpillStaged();
    // Calls fn for the staged cells of data field i with N > 0, in the order
    // of their row values and columns.
    void ScanStaged(int i, const std::function<void(const dao::Variant& rowValue, int row, int column, const Cell&)>& fn);
    void EndGroupStage();
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

    const Settings& m_s;
    FieldList m_fields; // the scenario's, a data field "*" named "Calc All Records" in the grouped query
    FieldList m_read;   // the columns of the record pass (leading, data, the grouped query's counts, weight)
    std::int16_t m_nG = 0, m_nX = 0, m_iCol = 0;
    bool m_chi = false, m_grouped = false;
    char m_letter = 'C';
    std::string m_label, m_switches;

    // Column values (1 .. nCols): texts, first values met, output names, and
    // the lookup of an upper-cased text.
    std::vector<std::string> m_cols, m_colNames;
    std::vector<dao::Variant> m_colValues;
    bool m_bNull = false;
    int m_nCols = 0;
    std::unordered_map<std::string, int> m_colIndex;
    int m_colCache = 0;
    dao::Variant m_lastColumn; // the column value of the record m_colCache was found for

    std::size_t m_countPos = 0; // the first count column in m_read (0: none)
    std::vector<dao::Variant> m_prev; // the lead values of the row being written (group values, row value)

    // The row value being read: its cells (column, field) dense, and the ones touched.
    dao::Variant m_rowValue;
    bool m_inRow = false;
    std::vector<Cell> m_rowCells;
    std::vector<int> m_touched;
    // The group being read: its column totals (field, column) and its whole
    // cell per field, merged in the order of the rows and columns.
    std::vector<Cell> m_totals;
    std::vector<int> m_totalsTouched;
    std::vector<Cell> m_groupCells;
    // Its staged cells held in memory, with their row values.
    std::vector<dao::Variant> m_rowValues;
    std::vector<Staged> m_staged;
    // The work table's part: the staging table exists, the group's rows there
    // (from the first rowid on), and the appender writing them.
    std::size_t m_stageLimit = DefaultStageLimit;
    bool m_tempMade = false;
    bool m_spilled = false;
    std::int64_t m_firstRowId = 0;
    int m_tableRow = 0; // rows of the group numbered in the table
    std::unique_ptr<dao::TableAppender> m_appender;
    // The columns of the output rows and of the second table's rows, found once.
    LeadColumns m_outColumns, m_detailColumns;
};
