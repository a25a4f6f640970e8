#pragma once
// SortStage: where an analysis that needs a group's values in order
// (percentiles, the mode) stages them while it reads the group.
//
// A group's values are kept in memory up to a limit, 8 bytes a value while
// every weight is 1 (16 once a weight differs); a group that grows past it
// moves them into the sort table "statTemp1" of the engine's temporary
// database (columns Field Integer, Data Double, Weight Double) and adds the
// rest there, so that memory stays bounded whatever the size of a group.
// Scan hands a field's values back in ascending order from either place.
//
// Table life cycle, as the sorting analyses keep it: the table is made when a
// group first needs it; after a group that wrote more than 500 rows it is
// dropped, after 1 to 500 rows emptied; the analysis drops it at the end.
#include "db/Dao.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class VarnelloCore;

class SortStage {
public:
    static constexpr const char* TableName = "statTemp1";
    // Values of one group held in memory before the group moves to the table
    // (128 MiB of unweighted values).
    static constexpr std::size_t DefaultMemoryLimit = std::size_t(1) << 24;

    // fields: the number of analysed fields (values are staged for 1 .. fields).
    // The memory limit is the one set by SetMemoryLimit.
    SortStage(VarnelloCore& engine, std::int16_t fields);
    ~SortStage();
    SortStage(const SortStage&) = delete;
    SortStage& operator=(const SortStage&) = delete;

    // Starts a new group: forgets the values of the previous one (emptying or
    // dropping the table when that group used it).
    void BeginGroup();
    void Add(std::int16_t field, double x, double w);
    // Rows staged for the current group.
    std::int32_t Rows() const noexcept { return m_rows; }
    // True when the current group's values are in the table.
    bool InTable() const noexcept { return m_inTable; }
    // Calls fn(value, weight) for the staged values of the field in ascending
    // order of value (equal values in no particular order).
    void Scan(std::int16_t field, const std::function<void(double, double)>& fn);
    // Drops the table (at the end of the run). Errors are ignored.
    void Close() noexcept;

    // Sets the memory limit of the stages made from now on (0: the default)
    // and returns the previous one; lets tests send small groups through the table.
    static std::size_t SetMemoryLimit(std::size_t limit);

    // The table's definition on the engine's temporary database (made by
    // the sorting analyses' CreateSortTemp).
    static void CreateSortTemp(VarnelloCore& engine, const std::string& name);

private:
    void moveToTable();
    void openTable();
    void addRow(std::int16_t field, double x, double w);

    VarnelloCore& m_engine;
    std::size_t m_limit;
    // By field: the values, and their weights once one of them is not 1
    // (until then every weight is 1 and none is kept).
    std::vector<std::vector<double>> m_values;
    std::vector<std::vector<double>> m_weights;
    bool m_weighted = false;
    std::int32_t m_openRows = 0; // rows added through the open recordset
    std::size_t m_held = 0;
    std::int32_t m_rows = 0;
    bool m_inTable = false;
    bool m_tableExists = false;
    std::int32_t m_tableRows = 0; // rows the table holds (from the group that used it last)
    dao::RecordsetPtr m_rs;
    dao::FieldPtr m_fField, m_fData, m_fWeight;
};
