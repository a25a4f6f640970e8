#include "analyses/descriptive/SortStage.h"

#include "engine/VarnelloCore.h"
#include "engine/modStatsGeneral.h"

#include <algorithm>

using namespace dao;

void SortStage::CreateSortTemp(VarnelloCore& engine, const std::string& name) {
    engine.Quorb_DeleteTable(true, name);
    TableDefPtr td = engine.TempDatabase()->CreateTableDef(name);
    std::int16_t ord = 0;
    AddTableField(td, "Field", dbInteger, ord, 0);
    AddTableField(td, "Data", dbDouble, ord, 0);
    AddTableField(td, "Weight", dbDouble, ord, 0);
    engine.TempDatabase()->TableDefs().Append(td);
}

namespace {
std::size_t gMemoryLimit = SortStage::DefaultMemoryLimit;
}

std::size_t SortStage::SetMemoryLimit(std::size_t limit) {
    std::size_t old = gMemoryLimit;
    gMemoryLimit = limit == 0 ? DefaultMemoryLimit : limit;
    return old;
}

SortStage::SortStage(VarnelloCore& engine, std::int16_t fields)
    : m_engine(engine), m_limit(gMemoryLimit), m_values(static_cast<std::size_t>(fields < 0 ? 0 : fields) + 1),
      m_weights(m_values.size()) {}

SortStage::~SortStage() {
    try {
        if (m_rs) m_rs->Close();
    } catch (...) {
    }
}

void SortStage::BeginGroup() {
    if (m_rs) {
        m_rs->Close();
        m_rs.reset();
    }
    for (auto& v : m_values) v.clear();
    for (auto& v : m_weights) v.clear();
    m_weighted = false;
    m_held = 0;
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

void SortStage::openTable() {
    m_rs = m_engine.TempDatabase()->OpenRecordset(TableName, dbOpenTable, dbAppendOnly);
    m_fField = m_rs->Fields("Field");
    m_fData = m_rs->Fields("Data");
    m_fWeight = m_rs->Fields("Weight");
    m_openRows = 0;
}

void SortStage::addRow(std::int16_t field, double x, double w) {
    // A recordset keeps the key of every row added through it: a fresh one
    // now and then keeps memory bounded however many rows a group spills.
    if (m_openRows >= 65536) {
        m_rs->Close();
        openTable();
    }
    m_rs->AddNew();
    m_fField->SetValue(field);
    m_fData->SetValue(x);
    m_fWeight->SetValue(w);
    m_rs->Update();
    ++m_openRows;
}

void SortStage::moveToTable() {
    if (!m_tableExists) {
        CreateSortTemp(m_engine, TableName);
        m_tableExists = true;
    }
    openTable();
    m_inTable = true;
    for (std::size_t j = 1; j < m_values.size(); ++j) {
        const auto& v = m_values[j];
        for (std::size_t i = 0; i < v.size(); ++i)
            addRow(static_cast<std::int16_t>(j), v[i], m_weighted ? m_weights[j][i] : 1.0);
        m_values[j].clear();
        m_values[j].shrink_to_fit();
        m_weights[j].clear();
        m_weights[j].shrink_to_fit();
    }
    m_held = 0;
}

void SortStage::Add(std::int16_t field, double x, double w) {
    if (!m_inTable && m_held >= m_limit) moveToTable();
    if (m_inTable) {
        addRow(field, x, w);
    } else {
        auto& values = m_values.at(static_cast<std::size_t>(field));
        if (w != 1.0 && !m_weighted) {
            // The first weight that is not 1: every value held so far had 1.
            for (std::size_t j = 1; j < m_values.size(); ++j) m_weights[j].assign(m_values[j].size(), 1.0);
            m_weighted = true;
        }
        values.push_back(x);
        if (m_weighted) m_weights[static_cast<std::size_t>(field)].push_back(w);
        ++m_held;
    }
    ++m_rows;
}

void SortStage::Scan(std::int16_t field, const std::function<void(double, double)>& fn) {
    if (!m_inTable) {
        auto& v = m_values.at(static_cast<std::size_t>(field));
        if (!m_weighted) {
            std::sort(v.begin(), v.end());
            for (double x : v) fn(x, 1.0);
            return;
        }
        // Values and weights sorted together, by value.
        auto& w = m_weights[static_cast<std::size_t>(field)];
        std::vector<std::pair<double, double>> pairs(v.size());
        for (std::size_t i = 0; i < v.size(); ++i) pairs[i] = {v[i], w[i]};
        std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            v[i] = pairs[i].first;
            w[i] = pairs[i].second;
        }
        pairs.clear();
        pairs.shrink_to_fit();
        for (std::size_t i = 0; i < v.size(); ++i) fn(v[i], w[i]);
        return;
    }
    if (m_rs) {
        m_rs->Close();
        m_rs.reset();
    }
    // Read through the temporary database itself: no file path has to be
    // quoted into the statement.
    std::string sql = std::string("SELECT [Data], [Weight] FROM ") + TableName + " where (([Field] = " +
                      std::to_string(field) + " AND [Data] Is Not Null)) ORDER BY [Data];";
    RecordsetPtr rs = m_engine.TempDatabase()->OpenRecordset(sql, dbOpenSnapshot);
    FieldPtr data = rs->Fields("Data"), weight = rs->Fields("Weight");
    while (!rs->EOF_()) {
        fn(data->Value().ToDouble(), weight->Value().ToDouble());
        rs->MoveNext();
    }
    rs->Close();
}

void SortStage::Close() noexcept {
    try {
        if (m_rs) m_rs->Close();
        m_rs.reset();
        if (m_tableExists) m_engine.Quorb_DeleteTable(true, TableName);
        m_tableExists = false;
    } catch (...) {
    }
}
