#pragma once
// SortStage: where an analysis that needs a group's values in order
// (percentiles, the mode) stages them while it reads the group.
//
// A group's values are kept in memory up to a limit, 8 bytes a value while
// every weight is 1 (16 once a weight differs), in blocks that never move
// once filled. Scan sorts each block of a field and merges the blocks, so a
// large group costs no copy of its values and no sort of them in one piece.
//
// Past the limit the group goes to the sort table "statTemp1" of the engine's
// temporary database (columns Field Integer, Data Double, Weight Double):
// each time the limit is reached again, the values held are sorted and
// written there as one run per field, and Scan merges a field's runs, each
// read back in the order it was written. Memory stays bounded whatever the
// size of a group, and the table holds every value of the group as soon as
// any other statement is run on the temporary database.
//
// Table life cycle, as the sorting analyses keep it: the table is made when a
// group first needs it; after a group that wrote more than 500 rows it is
// dropped, after 1 to 500 rows emptied; the analysis drops it at the end.
#include "db/Dao.h"
#include "db/TableAppender.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class RunContext;

class SortStage : private dao::PendingWriter {
public:
    static constexpr const char* TableName = "statTemp1";
    // Values of one group held in memory before the group moves to the table
    // (128 MiB of unweighted values).
    static constexpr std::size_t DefaultMemoryLimit = std::size_t(1) << 24;

    // fields: the number of analysed fields (values are staged for 1 .. fields).
    // The memory limit is the one set by SetMemoryLimit.
    SortStage(RunContext& engine, std::int16_t fields);
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
    static void CreateSortTemp(RunContext& engine, const std::string& name);

private:
    // A block of one field's values (and their weights once a weight is not
    // 1); its capacity is reserved when it is made.
    struct Block {
        std::vector<double> x, w;
    };
    struct FieldValues {
        std::vector<Block> blocks;
        bool sorted = true;
    };
    // A field's values written to the table in one piece, in ascending order.
    struct Run {
        std::int16_t field;
        std::int64_t first, last; // rowids
    };

    // A position in a sorted block.
    struct BlockCursor {
        const double* x;
        const double* w; // null: every weight 1
        std::size_t i, n;
        double X() const { return x[i]; }
        double W() const { return w ? w[i] : 1.0; }
        bool Next() { return ++i < n; }
    };

    void WritePending() override;
    // Sorts the field's blocks and gives a cursor on each that holds values.
    std::vector<BlockCursor> sortedBlocks(FieldValues& f);
    void writeRuns();
    void startWeights();
    void sortBlocks(FieldValues& f);
    void forgetHeld();
    void unhook() noexcept;

    RunContext& m_engine;
    std::size_t m_limit;
    std::vector<FieldValues> m_fields; // by field, 1 .. fields
    bool m_weighted = false;
    std::size_t m_held = 0;
    std::int32_t m_rows = 0;
    bool m_inTable = false;
    bool m_tableExists = false;
    bool m_writing = false;
    std::int32_t m_tableRows = 0; // rows the table holds (from the group that used it last)
    std::unique_ptr<dao::TableAppender> m_appender;
    std::vector<Run> m_runs;
    std::weak_ptr<dao::Connection> m_hooked; // writes the held values before its statements
};
