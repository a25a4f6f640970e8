#include "util/ui/CRecordsetTableModel.h"

#include "db/Connection.h"
#include "db/DaoConstants.h"
#include "db/JetFunctions.h"
#include "db/JetSqlTranslator.h"
#include "db/NumberText.h"
#include "db/Recordset.h"
#include "db/Variant.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>

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

QString TextOf(const QVariant& v, bool full) {
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return full ? CRecordsetTableModel::FullNumberText(v.toDouble())
                    : CRecordsetTableModel::GeneralNumberText(v.toDouble());
    default:
        return v.toString();
    }
}

std::string Bracketed(const std::string& name) {
    return dao::JetSqlTranslator::BracketName(name);
}

std::atomic<int> gReadsHeld{0};

} // namespace

CRecordsetTableModel::ReadsHeld::ReadsHeld() {
    ++gReadsHeld;
}

CRecordsetTableModel::ReadsHeld::~ReadsHeld() {
    --gReadsHeld;
}

bool CRecordsetTableModel::ReadsAreHeld() {
    return gReadsHeld.load() > 0;
}

QString CRecordsetTableModel::FullNumberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

QString CRecordsetTableModel::GeneralNumberText(double value) {
    constexpr int width = 11;
    if (!std::isfinite(value))
        return FullNumberText(value);
    if (value == 0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    const bool fixed = magnitude >= 1e-4 && magnitude < 1e11;
    char buffer[64];
    if (fixed) {
        // As many decimals as the width leaves after the integer part.
        for (int decimals = width; decimals >= 0; --decimals) {
            dao::FormatC(buffer, sizeof buffer, "%.*f", decimals, value);
            QString text = QString::fromLatin1(buffer);
            if (text.contains(QLatin1Char('.'))) {
                while (text.endsWith(QLatin1Char('0')))
                    text.chop(1);
                if (text.endsWith(QLatin1Char('.')))
                    text.chop(1);
            }
            if (text == QLatin1String("-0"))
                text = QStringLiteral("0");
            if (text.size() <= width && text != QLatin1String("0"))
                return text;
        }
    }
    // The exponent form, with as many digits as fit: 1.23457E+15.
    for (int digits = 6; digits >= 0; --digits) {
        dao::FormatC(buffer, sizeof buffer, "%.*E", digits, value);
        QString text = QString::fromLatin1(buffer);
        const qsizetype e = text.indexOf(QLatin1Char('E'));
        QString mantissa = text.left(e);
        if (mantissa.contains(QLatin1Char('.'))) {
            while (mantissa.endsWith(QLatin1Char('0')))
                mantissa.chop(1);
            if (mantissa.endsWith(QLatin1Char('.')))
                mantissa.chop(1);
        }
        // Two exponent digits at least, as spreadsheets write them.
        const int exponent = text.mid(e + 1).toInt();
        QString exp = QString::number(std::abs(exponent)).rightJustified(2, QLatin1Char('0'));
        text = mantissa + (exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) + exp;
        if (text.size() <= width)
            return text;
    }
    return FullNumberText(value);
}

CRecordsetTableModel::CRecordsetTableModel(dao::DatabasePtr database, const std::string& tableName, QObject* parent)
    : QAbstractTableModel(parent), m_db(std::move(database)), m_table(tableName) {
    m_version = m_db->conn()->DataVersion();
    {
        dao::RecordsetPtr count =
            m_db->OpenRecordset("SELECT Count(*) AS N FROM " + Bracketed(m_table), dao::dbOpenSnapshot);
        m_rowCount = count->EOF_() ? 0 : static_cast<int>(count->GetValue(0).ToDouble());
        count->Close();
    }
    dao::RecordsetPtr rs = m_db->OpenRecordset("SELECT * FROM " + Bracketed(m_table), dao::dbOpenSnapshot);
    for (int i = 0; i < rs->FieldCount(); ++i) {
        const dao::FieldPtr f = rs->Fields(i);
        m_headers << QString::fromStdString(dao::ValidUtf8(f->Name())); // a legacy program's Latin-1 name as its word
        m_types.push_back(f->Type());
    }
    rs->Close();
    // A query can fail on a row the count never evaluates (a division by
    // zero, an overflow): that reaches the caller, not a page of empty rows.
    ReadPages(0, 0, true);
}

CRecordsetTableModel::~CRecordsetTableModel() = default;

bool CRecordsetTableModel::CanRead() const {
    return m_db && m_db->IsOpen() && !ReadsAreHeld();
}

bool CRecordsetTableModel::ReadPage(int page) const { return ReadPages(page, page); }

template <class Wanted>
bool CRecordsetTableModel::ReadInto(int first, int last, Wanted wanted, Pages& into) const {
    // The pages run one after the other in the table: they are read in one
    // pass, not each from the table's first row (a copy of every row of a
    // large table read it again for each page). Opened for these pages only
    // and closed at once: no read stays open.
    dao::RecordsetPtr rs = m_db->OpenRecordset("SELECT * FROM " + Bracketed(m_table), dao::dbOpenSnapshot);
    const int columns = static_cast<int>(m_headers.size());
    bool sameColumns = rs->FieldCount() == columns;
    for (int c = 0; sameColumns && c < columns; ++c)
        sameColumns = QString::fromStdString(dao::ValidUtf8(rs->Fields(c)->Name())) == m_headers[c];
    const long skip = static_cast<long>(first) * BlockRows;
    for (long i = 0; i < skip && !rs->EOF_(); ++i)
        rs->MoveNext();
    for (int page = first; page <= last; ++page) {
        if (!wanted(page)) {
            for (int i = 0; i < BlockRows && !rs->EOF_(); ++i)
                rs->MoveNext();
            continue;
        }
        std::vector<Row>& rows = into[page];
        while (static_cast<int>(rows.size()) < BlockRows && !rs->EOF_()) {
            Row row;
            row.reserve(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns && c < rs->FieldCount(); ++c)
                row.push_back(ToQVariant(rs->GetValue(c)));
            row.resize(static_cast<std::size_t>(columns));
            rows.push_back(std::move(row));
            rs->MoveNext();
        }
    }
    rs->Close();
    return sameColumns;
}

bool CRecordsetTableModel::SameRowsAsRead(const Pages& read) const {
    const std::int64_t version = m_db->conn()->DataVersion();
    if (version == m_version)
        return true;
    // Another program has written the file since: the rows kept and those
    // just read are read again, and must be what the table holds now.
    const auto held = [&](int page) { return m_pages.count(page) > 0 || read.count(page) > 0; };
    int first = read.begin()->first;
    int last = read.rbegin()->first;
    if (!m_pages.empty()) {
        first = std::min(first, m_pages.begin()->first);
        last = std::max(last, m_pages.rbegin()->first);
    }
    Pages again;
    bool same = ReadInto(first, last, held, again);
    for (auto it = again.begin(); same && it != again.end(); ++it) {
        const auto kept = m_pages.find(it->first);
        same = it->second == (kept != m_pages.end() ? kept->second : read.at(it->first));
    }
    if (m_db->conn()->DataVersion() != version)
        return false; // written again meanwhile: the next read looks again
    if (!same) {
        m_replaced = true;
        return false;
    }
    m_version = version;
    return true;
}

bool CRecordsetTableModel::ReadPages(int first, int last, bool errorsToCaller) const {
    while (first <= last && m_pages.count(first))
        ++first;
    while (last >= first && m_pages.count(last))
        --last;
    if (first > last)
        return true;
    if (!CanRead() || m_replaced)
        return false;
    Pages read;
    try {
        const bool sameColumns = ReadInto(first, last, [this](int page) { return m_pages.count(page) == 0; }, read);
        if (!sameColumns)
            m_replaced = true;
        if (!sameColumns || !SameRowsAsRead(read))
            return false;
    } catch (...) {
        if (errorsToCaller)
            throw;
        return false;
    }
    m_pages.merge(read);
    return true;
}

const CRecordsetTableModel::Row* CRecordsetTableModel::RowAt(int row) const {
    const int page = row / BlockRows;
    if (!ReadPage(page)) {
        m_missed = true;
        return nullptr;
    }
    const std::vector<Row>& rows = m_pages[page];
    const auto at = static_cast<std::size_t>(row % BlockRows);
    return at < rows.size() ? &rows[at] : nullptr;
}

bool CRecordsetTableModel::FetchRow(int row) const {
    return row >= 0 && row < m_rowCount && RowAt(row) != nullptr;
}

void CRecordsetTableModel::FetchAll() {
    if (m_rowCount > 0)
        FetchRows(0, m_rowCount - 1);
}

bool CRecordsetTableModel::FetchRows(int firstRow, int lastRow) const {
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, m_rowCount - 1);
    return firstRow > lastRow || ReadPages(firstRow / BlockRows, lastRow / BlockRows);
}

bool CRecordsetTableModel::AtEnd() const {
    for (int page = 0; page * BlockRows < m_rowCount; ++page)
        if (!m_pages.count(page))
            return false;
    return true;
}

void CRecordsetTableModel::Refresh() {
    if (!m_missed || m_rowCount == 0 || m_headers.isEmpty())
        return;
    m_missed = false;
    emit dataChanged(index(0, 0), index(m_rowCount - 1, static_cast<int>(m_headers.size()) - 1));
}

int CRecordsetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

int CRecordsetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant CRecordsetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rowCount || index.column() >= m_headers.size())
        return {};
    if (role == Qt::TextAlignmentRole) {
        const int type = m_types[static_cast<std::size_t>(index.column())];
        const bool numeric = type != dao::dbText && type != dao::dbMemo && type != dao::dbDate &&
                             type != dao::dbGUID && type != dao::dbBinary && type != dao::dbLongBinary;
        return QVariant::fromValue(Qt::Alignment(numeric ? Qt::AlignRight | Qt::AlignVCenter
                                                         : Qt::AlignLeft | Qt::AlignVCenter));
    }
    if (role != Qt::DisplayRole && role != ValueRole && role != FullTextRole && role != Qt::ToolTipRole)
        return {};
    const Row* row = RowAt(index.row());
    if (!row)
        return {};
    const QVariant& value = (*row)[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return TextOf(value, false);
    case ValueRole:
        return value;
    case FullTextRole:
        return TextOf(value, true);
    case Qt::ToolTipRole:
        // Only where the cell does not show every digit.
        if (value.typeId() == QMetaType::Double && TextOf(value, true) != TextOf(value, false))
            return TextOf(value, true);
        return {};
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

int CRecordsetTableModel::ColumnIndex(const QString& name) const {
    for (qsizetype i = 0; i < m_headers.size(); ++i)
        if (m_headers[i].compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}
