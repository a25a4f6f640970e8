#pragma once
// SortStage: where an analysis stages the values of a group that it needs in
// order (the percentiles and the mode, the rankings of the rank tests), each
// with what the analysis carries beside it: its weight, its sample, the other
// value of its pair.
//
// A row holds one to four numbers; the first one or two of them (the keys)
// order the rows, ascending, the first deciding and the second among equals.
// Rows belong to a stream (an analysed field, 1 .. streams) and are read back
// stream by stream, in order; where the first number parts a stream (the
// sample of a two-sample test), one part at a time.
//
// A group's rows are kept in memory up to a limit, in blocks per stream that
// never move once filled. A last column that is a weight is not held while
// every weight of the group is 1 (unweighted percentiles hold 8 bytes a
// value). Reading sorts each block and merges the blocks, so a large group
// costs no copy of its rows and no sort of them in one piece.
//
// Past the limit the group goes to a table of the engine's temporary database
// ("statTemp1" unless the analysis names another; the column Field Integer,
// then one Double column per number): each time the limit is reached again,
// the rows held are sorted and written there through the batch appender as
// one run per stream, and reading merges a stream's runs, each read back in
// the order it was written. Memory stays bounded whatever the size of a
// group, and the table holds every row of the group as soon as any other
// statement is run on the temporary database.
//
// Table life cycle, as the sorting analyses keep it: the table is made when a
// group first needs it; after a group that wrote more than 500 rows it is
// dropped, after 1 to 500 rows emptied; the analysis drops it at the end.
#include "db/Dao.h"
#include "db/TableAppender.h"
#include "db/TableRowReader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class RunContext;

class SortStage : private dao::PendingWriter {
public:
    static constexpr const char* TableName = "statTemp1";
    // Rows of one group held in memory before the group moves to the table
    // (128 MiB of unweighted values).
    static constexpr std::size_t DefaultMemoryLimit = std::size_t(1) << 24;
    // What a stage of the rank tests holds in memory (RowsIn): their memory
    // stays flat whatever the size of a group.
    static constexpr std::size_t RankMemory = std::size_t(1) << 20;
    // What the stage of the percentiles and the mode holds in memory (RowsIn
    // of a value and its weight): a large group is staged as packed sorted
    // runs, so that memory stays flat whatever the size of a group.
    static constexpr std::size_t ValueMemory = std::size_t(1) << 20;

    // What a stage holds: its table, the names of its numbers in the table
    // (the last one a weight when `weight`), how many of them order the rows
    // (1 or 2, never the weight), whether the first number parts a stream,
    // and the rows it holds in memory.
    struct Shape {
        std::string table = TableName;
        std::vector<std::string> columns{"Data", "Weight"};
        int keys = 1;
        bool weight = true;
        bool parts = false;
        std::size_t memoryLimit = DefaultMemoryLimit;
        // Runs written packed, many rows to one row of the table ("Field",
        // "Rows": the rows' numbers as a blob), so that a large group costs
        // little more than one held in memory.
        bool packed = false;
    };
    // The rows of `columns` numbers that fit in `bytes` (at least 1).
    static std::size_t RowsIn(std::size_t bytes, std::size_t columns);
    // A value and its weight as the percentiles and the mode stage them:
    // ValueMemory held, packed runs beyond it.
    static Shape Values();

    // streams: the number of streams (rows are staged for 1 .. streams).
    // Without a shape: a value and its weight (Data, Weight in "statTemp1").
    // The memory limit is the shape's unless SetMemoryLimit set one.
    SortStage(RunContext& engine, std::int16_t streams);
    SortStage(RunContext& engine, std::int16_t streams, Shape shape);
    ~SortStage();
    SortStage(const SortStage&) = delete;
    SortStage& operator=(const SortStage&) = delete;

    // Starts a new group: forgets the rows of the previous one (emptying or
    // dropping the table when that group used it).
    void BeginGroup();
    // A value and its weight (a stage of two numbers).
    void Add(std::int16_t stream, double x, double w);
    // A row: one number for each column, in the shape's order.
    void Add(std::int16_t stream, std::initializer_list<double> row);
    // Rows staged for the current group.
    std::int64_t Rows() const noexcept { return m_rows; }
    // True when the current group's rows are in the table.
    bool InTable() const noexcept { return m_inTable; }
    // Calls fn(value, weight) for the staged values of the stream in ascending
    // order of value (equal values in no particular order): the first and the
    // last number of each row.
    void Scan(std::int16_t stream, const std::function<void(double, double)>& fn);
    // Drops the table (at the end of the run). Errors are ignored.
    void Close() noexcept;

    // Sets the number of rows every stage made from now on holds in memory
    // (0: each its shape's) and returns the previous setting; lets tests send
    // small groups through the table.
    static std::size_t SetMemoryLimit(std::size_t rows);
    // The rows a stage whose shape holds `rows` holds: the SetMemoryLimit
    // setting when there is one (for what an analysis holds beside a stage).
    static std::size_t HeldRows(std::size_t rows);

    // The table's definition on the engine's temporary database for a value
    // and its weight (made by the sorting analyses' CreateSortTemp).
    static void CreateSortTemp(RunContext& engine, const std::string& name);

    // Reads a stream (or one part of it) back in order. Several cursors may
    // read the same stage at once, each in its own place: two on one stream
    // see its rows in the same order, so one may look ahead of the other.
    // Rows staged after a cursor was opened are not seen by it.
    class Cursor {
    public:
        explicit Cursor(SortStage& stage);
        ~Cursor();
        Cursor(const Cursor&) = delete;
        Cursor& operator=(const Cursor&) = delete;

        // Reads the stream from its first row; with parts, the rows whose
        // first number is `part`.
        void Open(std::int16_t stream);
        void Open(std::int16_t stream, double part);
        // Moves to the next row (the first at the first call); false past the last.
        bool Next();
        // The numbers of the current row in the shape's order (a weight not
        // held reads 1).
        const double* Row() noexcept {
            if (m_width == m_columns) return m_cur;
            for (std::size_t c = 0; c < m_width; ++c) m_row[c] = m_cur[c];
            m_row[m_columns - 1] = 1.0;
            return m_row;
        }

    private:
        // Where rows come from: held blocks, a run's rows, a packed run's rows.
        enum Kind { Held, Rows, Packed };
        struct Source {
            const double* p = nullptr; // the current row of a block or of a packed row ..
            const double* end = nullptr;
            dao::TableRowReader* reader = nullptr; // .. or of a run's rows
            std::vector<double> buffer;            // a packed row's rows
            std::int64_t next = 0, last = -1;      // the run's packed rows still to read
            double row[4] = {0, 0, 0, 0};
        };
        // A source in the heap, with the keys of its current row.
        struct Entry1 {
            double k0;
            std::size_t at;
        };
        struct Entry2 {
            double k0, k1;
            std::size_t at;
        };
        void open(std::int16_t stream, bool part, double value, bool held);
        // Next, for rows from the table or held, ordered by one key or two.
        template <Kind From, int Keys>
        [[gnu::always_inline]] inline bool step();
        template <class Fn>
        void each(Fn&& fn);
        // The value and the weight of the current row (Scan).
        double value() const noexcept { return m_cur[0]; }
        double weight() const noexcept { return m_width == m_columns ? m_cur[m_columns - 1] : 1.0; }

        SortStage& m_stage;
        int m_keys;
        std::size_t m_columns;
        std::vector<Source> m_sources;
        std::vector<Entry1> m_heap1; // by one key
        std::vector<Entry2> m_heap2; // by two
        std::vector<std::unique_ptr<dao::TableRowReader>> m_readers;
        std::size_t m_width = 0; // numbers a source row holds
        bool m_packed = false;
        bool m_started = false;
        bool (Cursor::*m_step)();
        const double* m_cur = nullptr;
        double m_row[4] = {0, 0, 0, 0};
        friend class SortStage;
    };

private:
    // A stream's held rows: blocks of rows, each `m_width` numbers, whose
    // capacity is reserved when they are made.
    struct Stream {
        std::vector<std::vector<double>> blocks;
        bool sorted = true;
    };
    // A part of a run: the rows whose first number is `value`.
    struct Part {
        double value;
        std::int64_t first, last;
    };
    // A stream's rows written to the table in one piece, in order.
    struct Run {
        std::int16_t stream;
        std::int64_t first, last; // rowids
        std::vector<Part> parts;
    };

    void WritePending() override;
    Run writeRun(Cursor& rows, std::int16_t stream);
    void mergeRuns(std::int16_t stream);
    void add(std::int16_t stream, const double* row);
    void newBlock(Stream& s);
    void writeRuns();
    void startWeights();
    void sortBlocks(Stream& s);
    void forgetHeld();
    void unhook() noexcept;

    RunContext& m_engine;
    Shape m_shape;
    std::size_t m_columns;  // numbers a row has
    std::size_t m_width;    // numbers a held row has (the weight left out while every weight is 1)
    std::size_t m_limit;
    std::vector<Stream> m_streams; // 1 .. streams
    bool m_weighted = false;
    std::size_t m_held = 0;
    std::int64_t m_rows = 0;
    bool m_inTable = false;
    bool m_tableExists = false;
    bool m_writing = false;
    std::int64_t m_tableRows = 0; // rows the table holds (from the group that used it last)
    std::unique_ptr<dao::TableAppender> m_appender;
    std::vector<Run> m_runs;
    std::weak_ptr<dao::Connection> m_hooked; // writes the held rows before its statements
};
