#pragma once
// ValueSpool: a group's records of a few doubles (by default a value and its
// weight), read again in the order they were added. An analysis whose
// statistics need a second look at a group's records (a mean or median to
// compare with, a distribution function to walk, a fit to take residuals
// from) adds each usable record as it reads the group and walks them again
// when the group is complete, instead of moving its input back.
//
// Up to a limit the records stay in memory (512 KiB); past it they go in
// order to the work table "statTemp1" of the run's temporary database
// (Rows: up to 4 KiB of whole records packed in a blob a row) through the
// batch appender and are read back from there, so memory does not grow with
// the size of a group. The table is made when a group first needs it; after
// a group that wrote more than 500 rows it is dropped, after 1 to 500 rows
// emptied; Close drops it. The run's temporary database itself is made when
// a group first outgrows memory.
#include "db/Dao.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class RunContext;

namespace dao {
class TableAppender;
}

class ValueSpool {
public:
    static constexpr const char* TableName = "statTemp1";
    // Bytes of one group's records held in memory before they go to the table.
    static constexpr std::size_t MemoryBytes = std::size_t(1) << 19;

    // Records of `width` doubles (at least 1).
    explicit ValueSpool(RunContext& cx, std::size_t width = 2);
    ~ValueSpool();
    ValueSpool(const ValueSpool&) = delete;
    ValueSpool& operator=(const ValueSpool&) = delete;

    // Forgets the previous group's values.
    void BeginGroup();
    // A value and its weight (a spool of width 2).
    void Add(double x, double w) {
        const double r[2] = {x, w};
        Add(r);
    }
    // A record of the spool's width.
    void Add(const double* record);
    std::int64_t Size() const noexcept { return m_count; }
    // Calls fn(value, weight) for every value of the group in the order added
    // (a spool of width 2).
    template <class Fn>
    void Replay(Fn&& fn) {
        ReplayRecords([&](const double* r) { fn(r[0], r[1]); });
    }
    // Calls fn(record) for every record of the group in the order added.
    template <class Fn>
    void ReplayRecords(Fn&& fn);
    // Drops the table (at the end of the run). Errors are ignored.
    void Close() noexcept;

    // Sets how many records the spools made from now on hold in memory (0:
    // what MemoryBytes holds) and returns the previous setting; lets tests
    // send small groups through the table.
    static std::size_t SetMemoryLimit(std::size_t records);

private:
    void spill();
    // Reads the rows written for the group: fn(record) for each record.
    void readTable(void (*each)(void*, const double*), void* fn);

    RunContext& m_cx;
    std::size_t m_width;
    std::size_t m_limit;          // records held in memory
    std::vector<double> m_values; // the records held in memory (after those in the table)
    std::int64_t m_count = 0;
    std::unique_ptr<dao::TableAppender> m_appender;
    std::int64_t m_first = 0, m_rows = 0; // rowids of the group's rows in the table: first, count
    bool m_tableExists = false;
};

template <class Fn>
void ValueSpool::ReplayRecords(Fn&& fn) {
    if (m_rows > 0) readTable([](void* f, const double* r) { (*static_cast<Fn*>(f))(r); }, &fn);
    for (std::size_t at = 0; at < m_values.size(); at += m_width) fn(m_values.data() + at);
}
