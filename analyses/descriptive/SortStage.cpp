#include "analyses/descriptive/SortStage.h"

#include "db/TableRowReader.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"

#include <algorithm>

using namespace dao;

void SortStage::CreateSortTemp(RunContext& engine, const std::string& name) {
    CreateWorkTable(engine.TempDatabase(), name, {{"Field", dbInteger}, {"Data", dbDouble}, {"Weight", dbDouble}});
}

namespace {

std::size_t gMemoryLimit = SortStage::DefaultMemoryLimit;

// Blocks grow from 8 KiB to 512 KiB: a small group takes little, and a large
// one leaves at most one block's room unused per field.
constexpr std::size_t FirstBlock = std::size_t(1) << 10;
constexpr std::size_t LargestBlock = std::size_t(1) << 16;

// Positions in sorted sequences, merged in ascending order of their values
// with a heap of the sequences' current values.
template <class Cursor, class Fn>
void mergeAscending(std::vector<Cursor>& cursors, Fn&& fn) {
    if (cursors.size() == 1) {
        Cursor& c = cursors[0];
        do fn(c.X(), c.W());
        while (c.Next());
        return;
    }
    struct Entry {
        double key;
        std::size_t at;
    };
    std::vector<Entry> heap;
    heap.reserve(cursors.size());
    for (std::size_t i = 0; i < cursors.size(); ++i) heap.push_back({cursors[i].X(), i});
    auto siftDown = [&](std::size_t i) {
        const std::size_t n = heap.size();
        Entry e = heap[i];
        for (;;) {
            std::size_t c = 2 * i + 1;
            if (c >= n) break;
            if (c + 1 < n && heap[c + 1].key < heap[c].key) ++c;
            if (!(heap[c].key < e.key)) break;
            heap[i] = heap[c];
            i = c;
        }
        heap[i] = e;
    };
    for (std::size_t i = heap.size() / 2; i-- > 0;) siftDown(i);
    while (!heap.empty()) {
        Cursor& c = cursors[heap[0].at];
        fn(c.X(), c.W());
        if (c.Next()) {
            heap[0].key = c.X();
        } else {
            heap[0] = heap.back();
            heap.pop_back();
            if (heap.empty()) break;
        }
        siftDown(0);
    }
}

// A run of the sort table, read back in the order it was written (without
// its weights while every weight of the group is 1).
struct RunCursor {
    TableRowReader rows;
    bool weighted;
    double x = 0, w = 1;
    double X() const { return x; }
    double W() const { return w; }
    bool Next() {
        if (!rows.Next()) return false;
        x = rows.Double(0);
        if (weighted) w = rows.Double(1);
        return true;
    }
};

} // namespace

std::size_t SortStage::SetMemoryLimit(std::size_t limit) {
    std::size_t old = gMemoryLimit;
    gMemoryLimit = limit == 0 ? DefaultMemoryLimit : limit;
    return old;
}

SortStage::SortStage(RunContext& engine, std::int16_t fields)
    : m_engine(engine), m_limit(gMemoryLimit), m_fields(static_cast<std::size_t>(fields < 0 ? 0 : fields) + 1) {}

SortStage::~SortStage() { unhook(); }

void SortStage::unhook() noexcept {
    if (auto c = m_hooked.lock()) c->RemovePendingWriter(this);
    m_hooked.reset();
}

void SortStage::forgetHeld() {
    // The first block of each field stays for the next group.
    for (auto& f : m_fields) {
        if (f.blocks.size() > 1) f.blocks.erase(f.blocks.begin() + 1, f.blocks.end());
        if (!f.blocks.empty()) {
            f.blocks[0].x.clear();
            f.blocks[0].w.clear();
        }
        f.sorted = true;
    }
    m_held = 0;
}

void SortStage::BeginGroup() {
    unhook();
    m_appender.reset();
    m_runs.clear();
    forgetHeld();
    m_weighted = false;
    if (m_inTable) m_tableRows = m_rows;
    m_inTable = false;
    m_rows = 0;
    if (m_tableExists && m_tableRows > 0) {
        if (m_tableRows > 500) {
            m_engine.Quorb_DeleteTable(true, TableName);
            m_tableExists = false;
        } else {
            m_engine.Quorb_EmptyTable(true, TableName, m_tableRows, m_engine.OutputDatabase());
        }
        m_tableRows = 0;
    }
}

void SortStage::startWeights() {
    // The first weight that is not 1: every value held so far had 1.
    for (auto& f : m_fields)
        for (auto& b : f.blocks) {
            b.w.reserve(b.x.capacity());
            b.w.assign(b.x.size(), 1.0);
        }
    m_weighted = true;
}

void SortStage::Add(std::int16_t field, double x, double w) {
    if (m_held >= m_limit) writeRuns();
    FieldValues& f = m_fields.at(static_cast<std::size_t>(field));
    if (w != 1.0 && !m_weighted) startWeights();
    if (f.blocks.empty() || f.blocks.back().x.size() == f.blocks.back().x.capacity()) {
        const std::size_t size = f.blocks.empty() ? FirstBlock : std::min(2 * f.blocks.back().x.capacity(), LargestBlock);
        Block b;
        b.x.reserve(size);
        if (m_weighted) b.w.reserve(size);
        f.blocks.push_back(std::move(b));
    }
    Block& b = f.blocks.back();
    b.x.push_back(x);
    if (m_weighted) b.w.push_back(w);
    f.sorted = false;
    ++m_held;
    ++m_rows;
}

void SortStage::sortBlocks(FieldValues& f) {
    if (f.sorted) return;
    std::vector<std::pair<double, double>> pairs;
    for (Block& b : f.blocks) {
        if (!m_weighted) {
            std::sort(b.x.begin(), b.x.end());
            continue;
        }
        // Values and weights sorted together, by value.
        pairs.resize(b.x.size());
        for (std::size_t i = 0; i < b.x.size(); ++i) pairs[i] = {b.x[i], b.w[i]};
        std::sort(pairs.begin(), pairs.end(), [](const auto& p, const auto& q) { return p.first < q.first; });
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            b.x[i] = pairs[i].first;
            b.w[i] = pairs[i].second;
        }
    }
    f.sorted = true;
}

std::vector<SortStage::BlockCursor> SortStage::sortedBlocks(FieldValues& f) {
    sortBlocks(f);
    std::vector<BlockCursor> cursors;
    for (const Block& b : f.blocks)
        if (!b.x.empty()) cursors.push_back({b.x.data(), m_weighted ? b.w.data() : nullptr, 0, b.x.size()});
    return cursors;
}

void SortStage::writeRuns() {
    if (m_held == 0 || m_writing) return;
    m_writing = true;
    struct Reset {
        bool& b;
        ~Reset() { b = false; }
    } reset{m_writing};
    if (!m_tableExists) {
        CreateSortTemp(m_engine, TableName);
        m_tableExists = true;
    }
    if (!m_appender) {
        const DatabasePtr& temp = m_engine.TempDatabase();
        m_appender = std::make_unique<TableAppender>(temp, TableName, std::vector<std::string>{"Field", "Data", "Weight"});
        // From now on a statement on the temporary database first gets the
        // values held since the last run.
        std::shared_ptr<Connection> c = temp->conn();
        c->AddPendingWriter(this);
        m_hooked = c;
    }
    m_inTable = true;
    for (std::size_t j = 1; j < m_fields.size(); ++j) {
        FieldValues& f = m_fields[j];
        std::vector<BlockCursor> cursors = sortedBlocks(f);
        if (cursors.empty()) continue;
        const std::int64_t first = m_appender->NextRowId();
        const int field = static_cast<int>(j);
        mergeAscending(cursors, [&](double x, double w) { m_appender->Append({field, x, w}); });
        m_runs.push_back({static_cast<std::int16_t>(j), first, m_appender->NextRowId() - 1});
    }
    m_appender->Flush();
    forgetHeld();
}

void SortStage::WritePending() { writeRuns(); }

void SortStage::Scan(std::int16_t field, const std::function<void(double, double)>& fn) {
    if (m_inTable) {
        writeRuns();
        std::vector<RunCursor> cursors;
        for (const Run& r : m_runs) {
            if (r.field != field) continue;
            RunCursor c{TableRowReader(m_engine.TempDatabase(), TableName,
                                       m_weighted ? std::vector<std::string>{"Data", "Weight"} : std::vector<std::string>{"Data"},
                                       r.first, r.last),
                        m_weighted};
            if (c.Next()) cursors.push_back(std::move(c));
        }
        if (!cursors.empty()) mergeAscending(cursors, fn);
        return;
    }
    std::vector<BlockCursor> cursors = sortedBlocks(m_fields.at(static_cast<std::size_t>(field)));
    if (!cursors.empty()) mergeAscending(cursors, fn);
}

void SortStage::Close() noexcept {
    try {
        unhook();
        m_appender.reset();
        m_runs.clear();
        if (m_tableExists) m_engine.Quorb_DeleteTable(true, TableName);
        m_tableExists = false;
    } catch (...) {
    }
}
