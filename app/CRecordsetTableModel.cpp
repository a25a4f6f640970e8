#include "app/CRecordsetTableModel.h"

#include "db/DaoConstants.h"
#include "db/Variant.h"

namespace {

// What the grid keeps of a value: numbers as numbers, dates and text as
// text, Null as nothing.
QVariant ToQVariant(const dao::Variant& v) {
    switch (v.Type()) {
    case dao::vbEmpty:
    case dao::vbNull:
        return {};
    case dao::vbBoolean:
        return v.RawInt() != 0;
    case dao::vbInteger:
    case dao::vbLong:
    case dao::vbByte:
    case dao::vbLongLong:
        return QVariant::fromValue<qlonglong>(v.RawInt());
    case dao::vbSingle:
    case dao::vbDouble:
    case dao::vbCurrency:
    case dao::vbDecimal:
        return v.ToDouble();
    case dao::vbDate:
        return QString::fromStdString(dao::FormatDate(v.RawDouble()));
    default:
        return QString::fromStdString(v.ToString());
    }
}

QString DisplayText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::fromStdString(dao::FormatDouble(v.toDouble()));
    default:
        return v.toString();
    }
}

} // namespace

CRecordsetTableModel::CRecordsetTableModel(dao::RecordsetPtr recordset, QObject* parent)
    : QAbstractTableModel(parent), m_rs(std::move(recordset)) {
    if (!m_rs) {
        m_atEnd = true;
        return;
    }
    try {
        for (int i = 0; i < m_rs->FieldCount(); ++i) {
            const dao::FieldPtr f = m_rs->Fields(i);
            m_headers << QString::fromStdString(f->Name());
            m_types.push_back(f->Type());
        }
    } catch (...) {
        Finish();
        return;
    }
    ReadRows(BlockRows);
}

CRecordsetTableModel::~CRecordsetTableModel() {
    Finish();
}

void CRecordsetTableModel::Finish() noexcept {
    m_atEnd = true;
    if (m_rs) {
        try {
            m_rs->Close();
        } catch (...) {
        }
        m_rs.reset();
    }
}

void CRecordsetTableModel::ReadRows(int count) {
    if (m_atEnd || !m_rs)
        return;
    std::vector<std::vector<QVariant>> block;
    try {
        if (!m_rs->IsOpen()) {
            // The database has been closed: what was read stays.
            Finish();
            return;
        }
        const int columns = static_cast<int>(m_headers.size());
        while (static_cast<int>(block.size()) < count && !m_rs->EOF_()) {
            std::vector<QVariant> row;
            row.reserve(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c)
                row.push_back(ToQVariant(m_rs->GetValue(c)));
            block.push_back(std::move(row));
            m_rs->MoveNext();
        }
        if (m_rs->EOF_())
            Finish();
    } catch (...) {
        Finish();
    }
    if (block.empty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(block.size()) - 1);
    for (auto& row : block)
        m_rows.push_back(std::move(row));
    endInsertRows();
}

int CRecordsetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CRecordsetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant CRecordsetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()) || index.column() >= m_headers.size())
        return {};
    const QVariant& value = m_rows[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(value);
    case ValueRole:
        return value;
    case Qt::TextAlignmentRole: {
        const int type = m_types[static_cast<std::size_t>(index.column())];
        const bool numeric = type != dao::dbText && type != dao::dbMemo && type != dao::dbDate &&
                             type != dao::dbGUID && type != dao::dbBinary && type != dao::dbLongBinary;
        return QVariant::fromValue(Qt::Alignment(numeric ? Qt::AlignRight | Qt::AlignVCenter
                                                         : Qt::AlignLeft | Qt::AlignVCenter));
    }
    default:
        return {};
    }
}

QVariant CRecordsetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_headers.size() ? QVariant(m_headers[section]) : QVariant();
    return section + 1;
}

Qt::ItemFlags CRecordsetTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool CRecordsetTableModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_atEnd && m_rs && m_rs->IsOpen();
}

void CRecordsetTableModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid())
        ReadRows(BlockRows);
}

void CRecordsetTableModel::FetchAll() {
    while (!m_atEnd)
        ReadRows(BlockRows);
}

int CRecordsetTableModel::ColumnIndex(const QString& name) const {
    for (qsizetype i = 0; i < m_headers.size(); ++i)
        if (m_headers[i].compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}
