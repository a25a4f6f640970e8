#include "engine/ValueSpool.h"

#include "db/TableAppender.h"
#include "db/TableRowReader.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"

#include <stdexcept>

using namespace dao;

namespace {
std::size_t gMemoryLimit = ValueSpool::DefaultMemoryLimit;
}

std::size_t ValueSpool::SetMemoryLimit(std::size_t limit) {
    const std::size_t old = gMemoryLimit;
    gMemoryLimit = limit == 0 ? DefaultMemoryLimit : limit;
    return old;
}

ValueSpool::ValueSpool(RunContext& cx) : m_cx(cx), m_limit(gMemoryLimit) {}

ValueSpool::~ValueSpool() = default;

void ValueSpool::BeginGroup() {
    m_x.clear();
    m_w.clear();
    m_count = 0;
    m_appender.reset();
    if (m_written > 0) {
        if (m_written > 500) {
            m_cx.Quorb_DeleteTable(true, TableName);
            m_tableExists = false;
        } else {
            m_cx.Quorb_EmptyTable(true, TableName, static_cast<long>(m_written), m_cx.OutputDatabase());
        }
    }
    m_written = 0;
}

void ValueSpool::Add(double x, double w) {
    if (m_x.size() >= m_limit) spill();
    m_x.push_back(x);
    m_w.push_back(w);
    ++m_count;
}

// The values held go to the table, in order, and memory is free for the next.
void ValueSpool::spill() {
    // The work database is made when a group first outgrows memory.
    if (!m_cx.TempDatabase() && !m_cx.Quorb_UTIL_MakeTempDB())
        throw std::runtime_error("Temp database could not be created");
    if (!m_cx.TempDatabase()) throw std::runtime_error("Temp database could not be created");
    if (!m_tableExists) {
        CreateWorkTable(m_cx.TempDatabase(), TableName, {{"Data", dbDouble}, {"Weight", dbDouble}});
        m_tableExists = true;
    }
    if (!m_appender) {
        m_appender = std::make_unique<TableAppender>(m_cx.TempDatabase(), TableName,
                                                     std::vector<std::string>{"Data", "Weight"});
        m_first = m_appender->NextRowId();
    }
    for (std::size_t i = 0; i < m_x.size(); ++i) m_appender->Append({m_x[i], m_w[i]});
    m_appender->Flush();
    m_written += static_cast<std::int64_t>(m_x.size());
    m_x.clear();
    m_w.clear();
}

void ValueSpool::readTable(void (*each)(void*, double, double), void* fn) {
    TableRowReader rows(m_cx.TempDatabase(), TableName, {"Data", "Weight"}, m_first, m_first + m_written - 1);
    while (rows.Next()) each(fn, rows.Double(0), rows.Double(1));
}

void ValueSpool::Close() noexcept {
    try {
        m_appender.reset();
        if (m_tableExists) m_cx.Quorb_DeleteTable(true, TableName);
        m_tableExists = false;
        m_written = 0;
    } catch (...) {
    }
}
