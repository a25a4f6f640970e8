#include "engine/ValueSpool.h"

#include "db/TableAppender.h"
#include "db/TableRowReader.h"
#include "engine/RunContext.h"
#include "engine/SortStage.h"
#include "engine/modStatsGeneral.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

using namespace dao;

namespace {
std::size_t gMemoryLimit = 0; // records; 0: what MemoryBytes holds
// Doubles packed into one row of the table: whole records, 4 KiB a row, so
// that a spilt group costs one insert and one read a few hundred values
// rather than one a value.
constexpr std::size_t kRowDoubles = 512;
}

std::size_t ValueSpool::SetMemoryLimit(std::size_t records) {
    const std::size_t old = gMemoryLimit;
    gMemoryLimit = records;
    return old;
}

ValueSpool::ValueSpool(RunContext& cx, std::size_t width)
    : m_cx(cx), m_width(std::max<std::size_t>(width, 1)),
      m_limit(gMemoryLimit ? gMemoryLimit : SortStage::RowsIn(MemoryBytes, m_width)) {}

ValueSpool::~ValueSpool() = default;

void ValueSpool::BeginGroup() {
    m_values.clear();
    m_count = 0;
    m_appender.reset();
    if (m_rows > 0) {
        if (m_rows > 500) {
            m_cx.Quorb_DeleteTable(true, TableName);
            m_tableExists = false;
        } else {
            m_cx.Quorb_EmptyTable(true, TableName, static_cast<long>(m_rows), m_cx.OutputDatabase());
        }
    }
    m_rows = 0;
}

void ValueSpool::Add(const double* record) {
    if (m_values.size() >= m_limit * m_width) spill();
    m_values.insert(m_values.end(), record, record + m_width);
    ++m_count;
}

// The values held go to the table, in order, and memory is free for the next.
void ValueSpool::spill() {
    // The work database is made when a group first outgrows memory.
    if (!m_cx.TempDatabase() && !m_cx.Quorb_UTIL_MakeTempDB())
        throw std::runtime_error("Temp database could not be created");
    if (!m_cx.TempDatabase()) throw std::runtime_error("Temp database could not be created");
    if (!m_tableExists) {
        CreateWorkTable(m_cx.TempDatabase(), TableName, {{"Rows", dbLongBinary}});
        m_tableExists = true;
    }
    if (!m_appender) {
        m_appender = std::make_unique<TableAppender>(m_cx.TempDatabase(), TableName, std::vector<std::string>{"Rows"}, 16);
        m_first = m_appender->NextRowId();
    }
    // Whole records a row (one at least, however wide).
    const std::size_t perRow = std::max<std::size_t>(kRowDoubles / m_width, 1) * m_width;
    for (std::size_t at = 0; at < m_values.size(); at += perRow) {
        const std::size_t n = std::min(perRow, m_values.size() - at);
        m_appender->Append({}, m_values.data() + at, n * sizeof(double));
        ++m_rows;
    }
    m_appender->Flush();
    m_values.clear();
}

void ValueSpool::readTable(void (*each)(void*, const double*), void* fn) {
    TableRowReader rows(m_cx.TempDatabase(), TableName, {"Rows"}, m_first, m_first + m_rows - 1);
    std::vector<double> row;
    const std::size_t recordBytes = m_width * sizeof(double);
    while (rows.Next()) {
        const std::size_t records = static_cast<std::size_t>(rows.Bytes(0)) / recordBytes;
        row.resize(records * m_width);
        if (records) std::memcpy(row.data(), rows.Blob(0), records * recordBytes);
        for (std::size_t i = 0; i < records; ++i) each(fn, row.data() + i * m_width);
    }
}

void ValueSpool::Close() noexcept {
    try {
        m_appender.reset();
        if (m_tableExists) m_cx.Quorb_DeleteTable(true, TableName);
        m_tableExists = false;
        m_rows = 0;
    } catch (...) {
    }
}
