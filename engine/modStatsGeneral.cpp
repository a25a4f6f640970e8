#include "engine/modStatsGeneral.h"

#include "db/Decimal.h"
#include "db/JetSqlTranslator.h"
#include "errors/RunTimeError.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace dao;

void AddTableField(const TableDefPtr& td, const std::string& name, int type, std::int16_t& counter, long size) {
    auto f = td->CreateField(name, type);
    f->SetOrdinalPosition(counter);
    ++counter;
    if (size != 0) f->SetSize(size);
    // A text column takes every text a source holds, the empty one too: a
    // blank group value is a group of its own where blanks are not ignored.
    if (type == dbText || type == dbMemo) f->SetAllowZeroLength(true);
    if (td->Fields().Find(name))
        throw RunTimeError(3191, "The output table cannot hold two columns named \"" + name +
                                     "\": rename the source field or choose other options.");
    td->Fields().Append(f);
}

std::string BracketName(const std::string& name) { return JetSqlTranslator::BracketName(name); }

double RoundUpToTwoDigits(double width) {
    if (!(width > 0) || !std::isfinite(width)) return width;
    // d.dddddddddddddde±E: the first two digits times 10^(E − 1), plus one
    // unit of the second digit when any later digit is not 0.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, width, std::chars_format::scientific, 14);
    const char* end = res.ptr;
    const char* e = std::find(static_cast<const char*>(buf), end, 'e');
    int exp10 = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), res.ptr, exp10);
    long whole = (buf[0] - '0') * 10 + (buf[2] - '0');
    if (std::any_of(static_cast<const char*>(buf) + 3, e, [](char c) { return c != '0'; })) whole += 1;
    // The decimal text read back gives the double nearest to whole · 10^(E − 1).
    const std::string text = std::to_string(whole) + "e" + std::to_string(exp10 - 1);
    // (strtod, which also gives the values below the normal range).
    return std::strtod(text.c_str(), nullptr);
}

std::string PairColumnName(const std::string& field, int which) {
    return LeftChars(field, 62) + (which == 1 ? "-1" : "-2");
}

std::int16_t CreateLeadFields(const TableDefPtr& td, std::int16_t n, const FieldList& fields,
                              const std::vector<long>& types, const std::vector<long>& sizes, bool withDataField,
                              std::int16_t furtherField, std::int16_t pairField, bool withObservations,
                              const std::string& countColumn, const std::string& missingColumn) {
    std::int16_t counter = 0;
    auto at = [](const std::vector<long>& v, int i) { return i < static_cast<int>(v.size()) ? v[static_cast<std::size_t>(i)] : 0L; };
    auto copyOf = [&](const std::string& name, int i) {
        AddTableField(td, name, static_cast<std::int16_t>(at(types, i)), counter, at(sizes, i));
    };
    for (int i = 1; i <= n; ++i) copyOf(fields[static_cast<std::size_t>(i)], i);
    if (withDataField) AddTableField(td, "DataField", dbText, counter, 64);
    if (furtherField > 0) copyOf(fields[static_cast<std::size_t>(furtherField)], furtherField);
    if (pairField > 0) {
        const std::string& f = fields[static_cast<std::size_t>(pairField)];
        copyOf(PairColumnName(f, 1), pairField);
        copyOf(PairColumnName(f, 2), pairField);
    }
    if (!countColumn.empty()) AddTableField(td, countColumn, dbDouble, counter, 0);
    if (withObservations) AddTableField(td, "Observations", dbDouble, counter, 0);
    if (!missingColumn.empty()) AddTableField(td, missingColumn, dbLong, counter, 0);
    return counter;
}

namespace {

// What a column of this type holds, for the message of a value it cannot take.
std::string typeRange(const Field& f) {
    switch (f.Type()) {
    case dbByte: return "Byte, 0 to 255";
    case dbInteger: return "Integer, -32768 to 32767";
    case dbLong: return "Long, -2147483648 to 2147483647";
    case dbSingle: return "Single";
    case dbCurrency: return "Currency";
    case dbText: return "Text of " + std::to_string(f.Size()) + " characters";
    case dbDate: return "Date";
    case dbBoolean: return "Yes/No";
    default: return "type " + std::to_string(f.Type());
    }
}

// Copies a value read from the source field `field` into its column of the
// output row. A value the column cannot take fails the run naming the
// value, the field and the output table.
void copyValue(Recordset& rs, const FieldPtr& f, const std::string& field, const Variant& v) {
    try {
        f->SetValue(v);
    } catch (const DaoError& e) {
        throw RunTimeError(e.Number(), e.Description() + " The value " + ValueText(v) + " of the field " + field +
                                           " does not fit its column in the output table " + rs.Name() + " (" +
                                           typeRange(*f) + ").");
    }
}

// The lead values of a row, each column found by `column(name)`.
template <class Column>
void writeLead(Recordset& rs, Column&& column, std::int16_t n, const FieldList& fields,
               const std::vector<Variant>& groupValues, std::int16_t describedField, const std::string& countColumn,
               const std::string& missingColumn, bool withObservations, double count, long records, long observations,
               std::int16_t pairField, const Variant& pair1, const Variant& pair2) {
    for (int i = 1; i <= n; ++i) {
        const Variant& v = groupValues[static_cast<std::size_t>(i)];
        const std::string& field = fields[static_cast<std::size_t>(i)];
        if (!v.IsNull()) copyValue(rs, column(field), field, v);
    }
    if (describedField >= 1) column("DataField")->SetValue(fields[static_cast<std::size_t>(describedField)]);
    if (pairField >= 1) {
        const std::string& f = fields[static_cast<std::size_t>(pairField)];
        copyValue(rs, column(PairColumnName(f, 1)), f, pair1);
        copyValue(rs, column(PairColumnName(f, 2)), f, pair2);
    }
    if (!countColumn.empty()) column(countColumn)->SetValue(count);
    if (withObservations) column("Observations")->SetValue(static_cast<double>(observations));
    if (!missingColumn.empty()) column(missingColumn)->SetValue(static_cast<int>(records - observations));
}

} // namespace

void WriteLeadFields(Recordset& rs, std::int16_t n, const FieldList& fields, const std::vector<Variant>& groupValues,
                     std::int16_t describedField, const std::string& countColumn, const std::string& missingColumn,
                     bool withObservations, double count, long records, long observations, std::int16_t pairField,
                     const Variant& pair1, const Variant& pair2) {
    writeLead(rs, [&rs](const std::string& name) { return rs.Fields(name); }, n, fields, groupValues, describedField,
              countColumn, missingColumn, withObservations, count, records, observations, pairField, pair1, pair2);
}

const FieldPtr& LeadColumns::Column(const RecordsetPtr& rs, std::string_view name) {
    if (m_of != rs) {
        m_found.clear();
        m_of = rs;
        m_next = 0;
    }
    // A row's columns are asked for in the same order row after row: the
    // search starts after the column found last.
    const std::size_t n = m_found.size();
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = (m_next + k) % n;
        if (m_found[i].first == name) {
            m_next = i + 1;
            return m_found[i].second;
        }
    }
    m_found.emplace_back(std::string(name), rs->Fields(name));
    m_next = m_found.size();
    return m_found.back().second;
}

void LeadColumns::Write(const RecordsetPtr& rs, std::int16_t n, const FieldList& fields,
                        const std::vector<Variant>& groupValues, std::int16_t describedField,
                        const std::string& countColumn, const std::string& missingColumn, bool withObservations,
                        double count, long records, long observations, std::int16_t pairField, const Variant& pair1,
                        const Variant& pair2) {
    auto column = [&](const std::string& name) -> const FieldPtr& { return Column(rs, name); };
    writeLead(*rs, column, n, fields, groupValues, describedField, countColumn, missingColumn, withObservations, count,
              records, observations, pairField, pair1, pair2);
}

std::int16_t CreateRegressionSummaryFields(const TableDefPtr& td, bool withAnova, std::int16_t& counter) {
    for (const char* name : {"Multiple_R", "R-Square", "Adj_R-Square", "StdError_of_Estimate"})
        AddTableField(td, name, dbDouble, counter, 0);
    if (withAnova)
        for (const char* name : {"Regression_DF", "Residual_DF", "Total_DF", "Regression_SS", "Residual_SS", "Total_SS",
                                 "Regression_MS", "Residual_MS", "F-Value", "Prob"})
            AddTableField(td, name, dbDouble, counter, 0);
    return counter;
}

void CommonFieldType(std::int16_t offset, std::int16_t count, const std::vector<long>& types,
                     const std::vector<long>& sizes, long& type, long& size) {
    size = 0;
    if (count < 1) {
        type = dbText;
        size = 25;
        return;
    }
    long candidate = -1;
    bool mixed = false;
    for (int i = 1; i <= count; ++i) {
        std::size_t q = static_cast<std::size_t>(offset + i);
        long t = types[q];
        if (candidate == -1) candidate = t;
        else if (t != candidate) mixed = true;
        if (t == dbText && sizes[q] > size) size = sizes[q];
    }
    if (!mixed) {
        type = candidate;
        if (type != dbText) size = 0;
        return;
    }
    type = dbText;
    if (size < 20) size = 25;
}

void WidenToHoldEveryValue(std::int16_t offset, std::int16_t count, const std::vector<long>& types, long& type,
                           long& size) {
    if (type != dbText) return;
    bool memo = false, other = false;
    for (int i = 1; i <= count; ++i) {
        const long t = types[static_cast<std::size_t>(offset + i)];
        if (t == dbMemo) memo = true;
        else if (t != dbText) other = true;
    }
    if (memo) {
        type = dbMemo;
        size = 0;
    } else if (other && size < 25) {
        size = 25;
    }
}

bool FileExists(const std::string& path) {
    try {
        if (path.empty()) return false;
        std::filesystem::path p(path);
        if (!std::filesystem::is_regular_file(p)) return false;
        // Hidden files (a leading dot) do not count, as a directory search would skip them.
        std::string name = p.filename().string();
        return !name.empty() && name[0] != '.';
    } catch (...) {
        return false;
    }
}

bool TableExists(const std::string& table, const DatabasePtr& db) {
    try {
        if (!db) return false;
        (void)db->TableDefs()(table);
        return true;
    } catch (...) {
        return false;
    }
}

std::string MakeTempFileName(const std::string& prefix) {
    std::string folder = std::filesystem::temp_directory_path().string();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + prefix.substr(0, 3) + "1.TMP";
}

std::string MakeUniqueTempFileName(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    std::string folder = std::filesystem::temp_directory_path().string();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string name = folder + prefix.substr(0, 3) + std::to_string(::getpid()) + "-" +
                           std::to_string(counter.fetch_add(1)) + ".TMP";
        int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(name.c_str());
            return name;
        }
    }
    throw RunTimeError(75, "Path/File access error: no temporary file name is free in " + folder);
}

double TieRanks::Run(double W) {
    const double p = m_p + 1; // the run's first position
    double rankSum;
    if (W == 1) {
        rankSum = p;
    } else {
        rankSum = (2 * p + W - 1) * W / 2; // in double: no overflow for any count of records
        tiedGroups += 1;
        tiedObservations += W;
        cubeTerm += std::pow(W, 3) - W;
        if (m_kendall) {
            double T = std::pow(W, 2) - W;
            kendall1 += T;
            kendall2 += (W - 2) * T;
            kendall3 += (2 * W + 5) * T;
        }
    }
    m_p = p + W - 1;
    return rankSum / W;
}

namespace {

void unrankable(double W, double v) {
    if (W < 1)
        throw RunTimeError(5, "Records with a weight below 1 cannot be ranked: the tied values at " +
                                  dao::FormatDouble(v) + " have a total weight below 1.");
}

} // namespace

void RankWithTies(Recordset& rs, bool withKendall, const std::string& valueColumn, const std::string& rankColumn,
                  double& tiedObservations, double& cubeTerm, double& tiedGroups, double& kendall1, double& kendall2,
                  double& kendall3) {
    tiedObservations = cubeTerm = tiedGroups = kendall1 = kendall2 = kendall3 = 0;
    TieRanks ranks(withKendall);
    auto give = [&] {
        tiedObservations = ranks.tiedObservations;
        cubeTerm = ranks.cubeTerm;
        tiedGroups = ranks.tiedGroups;
        kendall1 = ranks.kendall1;
        kendall2 = ranks.kendall2;
        kendall3 = ranks.kendall3;
    };
    if (rs.EOF_() && rs.BOF()) return;
    rs.MoveFirst();
    auto weightOf = [&]() { return std::floor(rs.Fields("Weight")->Value().ToDouble()); };
    auto valueField = rs.Fields(valueColumn);
    auto rankField = rs.Fields(rankColumn);
    while (!rs.EOF_()) {
        double v = valueField->Value().ToDouble();
        long t = 0;
        double W = weightOf();
        while (true) {
            rs.MoveNext();
            ++t;
            if (rs.EOF_()) break;
            if (valueField->Value().ToDouble() != v) break;
            W += weightOf();
        }
        unrankable(W, v);
        const double average = ranks.Run(W);
        give();
        rs.Move(-t);
        for (long i = 0; i < t; ++i) {
            rs.Edit();
            rankField->SetValue(average);
            rs.Update();
            rs.MoveNext();
        }
    }
}

void RankWithTies(const std::vector<double>& values, const std::vector<double>& weights, bool withKendall,
                  std::vector<double>& ranks, double& tiedObservations, double& cubeTerm, double& tiedGroups,
                  double& kendall1, double& kendall2, double& kendall3) {
    tiedObservations = cubeTerm = tiedGroups = kendall1 = kendall2 = kendall3 = 0;
    const std::size_t n = values.size();
    ranks.assign(n, 0.0);
    TieRanks runs(withKendall);
    std::size_t a = 0;
    while (a < n) {
        const double v = values[a];
        double W = 0;
        std::size_t b = a;
        while (b < n && values[b] == v) W += std::floor(weights[b++]);
        unrankable(W, v);
        const double average = runs.Run(W);
        tiedObservations = runs.tiedObservations;
        cubeTerm = runs.cubeTerm;
        tiedGroups = runs.tiedGroups;
        kendall1 = runs.kendall1;
        kendall2 = runs.kendall2;
        kendall3 = runs.kendall3;
        for (; a < b; ++a) ranks[a] = average;
    }
}

double CalcVariance(const std::string& method, double n, double sumSquares, double sum, double& variance) {
    variance = 0;
    double result = 0;
    if (n <= 0) return 0;
    double S = std::pow(sum, 2);
    double nq = n * sumSquares;
    if (nq == S) return 0;
    double divisor;
    if (method == "N") {
        divisor = n * n;
    } else {
        if (n <= 1) return 0;
        divisor = n * (n - 1);
    }
    Decimal diff = Decimal(nq) - Decimal(S);
    variance = diff.ToDouble() / divisor;
    if (variance > 0) result = std::sqrt(variance);
    return result;
}

void ReadInKeptTransaction(const std::function<void()>& read) {
    const auto ws = dao::DBEngine().Workspaces(0);
    ws->BeginTrans();
    try {
        read();
    } catch (...) {
        try {
            ws->CommitTrans();
        } catch (...) {
        }
        throw;
    }
    ws->CommitTrans();
}

void CreateWorkTable(const dao::DatabasePtr& db, const std::string& name,
                     const std::vector<std::pair<std::string, int>>& columns) {
    try {
        db->TableDefs().Delete(name);
    } catch (...) {
    }
    dao::TableDefPtr td = db->CreateTableDef(name);
    std::int16_t ord = 0;
    for (const auto& [column, type] : columns) AddTableField(td, column, type, ord, 0);
    db->TableDefs().Append(td);
}
