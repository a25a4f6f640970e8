#include "analyses/descriptive/SortStage.h"

#include "engine/Varnello.h"
#include "engine/modStatsGeneral.h"

#include <algorithm>

using namespace dao;

void SortStage::CreateSortTemp(Varnello& engine, const std::string& name) {
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

SortStage::SortStage(Varnello& engine, std::int16_t fields)
    : m_engine(engine), m_limit(gMemoryLimit), m_values(static_cast<std::size_t>(fields < 0 ? 0 : fields) + 1) {}

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

void SortStage::moveToTable() {
    if (!m_tableExists) {
        CreateSortTemp(m_engine, TableName);
        m_tableExists = true;
    }
    m_rs = m_engine.TempDatabase()->OpenRecordset(TableName, dbOpenTable, dbAppendOnly);
    m_fField = m_rs->Fields("Field");
    m_fData = m_rs->Fields("Data");
    m_fWeight = m_rs->Fields("Weight");
    m_inTable = true;
    for (std::size_t j = 1; j < m_values.size(); ++j) {
        for (const auto& [x, w] : m_values[j]) {
            m_rs->AddNew();
            m_fField->SetValue(static_cast<std::int16_t>(j));
            m_fData->SetValue(x);
            m_fWeight->SetValue(w);
            m_rs->Update();
        }
        m_values[j].clear();
        m_values[j].shrink_to_fit();
    }
    m_held = 0;
}

void SortStage::Add(std::int16_t field, double x, double w) {
    if (!m_inTable && m_held >= m_limit) moveToTable();
    if (m_inTable) {
        m_rs->AddNew();
        m_fField->SetValue(field);
        m_fData->SetValue(x);
        m_fWeight->SetValue(w);
        m_rs->Update();
    } else {
        m_values.at(static_cast<std::size_t>(field)).emplace_back(x, w);
        ++m_held;
    }
    ++m_rows;
}

void SortStage::Scan(std::int16_t field, const std::function<void(double, double)>& fn) {
    if (!m_inTable) {
        auto& v = m_values.at(static_cast<std::size_t>(field));
        std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [x, w] : v) fn(x, w);
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
