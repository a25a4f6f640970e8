#pragma once
// Shared routines of the engine's analyses: the builders of the lead columns
// every output table begins with, the regression summary columns, file and
// table tests, the temporary file name, ranking with ties and the variance.
#include "db/Dao.h"
#include "engine/AnalysisSettings.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Adds one column to a table definition at the ordinal position `counter`
// (which advances). A name the definition already has is refused with a
// run-time error that names the column, so that no value can land in the
// wrong column. A text column takes the empty text (a blank group value).
void AddTableField(const dao::TableDefPtr& td, const std::string& name, int type, std::int16_t& counter, long size);

std::int16_t CreateLeadFields(const dao::TableDefPtr& td, std::int16_t n, const FieldList& fields,
                              const std::vector<long>& types, const std::vector<long>& sizes, bool withDataField,
                              std::int16_t furtherField, std::int16_t pairField, bool withObservations,
                              const std::string& countColumn, const std::string& missingColumn);

// A group or pair value that its column cannot take (40000 in an Integer
// column) fails with a run-time error naming the value, its field and the
// output table.
void WriteLeadFields(dao::Recordset& rs, std::int16_t n, const FieldList& fields, const std::vector<dao::Variant>& groupValues,
                     std::int16_t describedField, const std::string& countColumn, const std::string& missingColumn,
                     bool withObservations, double count, long records, long observations, std::int16_t pairField,
                     const dao::Variant& pair1, const dao::Variant& pair2);

// The same for an analysis that writes many rows to one output recordset:
// each column is found by its name once, then kept (found anew when the
// recordset changes). Column finds the other columns the same way.
class LeadColumns {
public:
    void Write(const dao::RecordsetPtr& rs, std::int16_t n, const FieldList& fields,
               const std::vector<dao::Variant>& groupValues, std::int16_t describedField,
               const std::string& countColumn, const std::string& missingColumn, bool withObservations, double count,
               long records, long observations, std::int16_t pairField, const dao::Variant& pair1,
               const dao::Variant& pair2);
    // Any column of the recordset, found by its name once.
    const dao::FieldPtr& Column(const dao::RecordsetPtr& rs, std::string_view name);
    // Lets go of the recordset.
    void Clear() {
        m_found.clear();
        m_of.reset();
        m_next = 0;
    }

private:
    dao::RecordsetPtr m_of;
    // A deque, so that a column handed out stays in place as others are added.
    std::deque<std::pair<std::string, dao::FieldPtr>> m_found;
    std::size_t m_next = 0; // where the next search starts
};

std::int16_t CreateRegressionSummaryFields(const dao::TableDefPtr& td, bool withAnova, std::int16_t& counter);

void CommonFieldType(std::int16_t offset, std::int16_t count, const std::vector<long>& types,
                     const std::vector<long>& sizes, long& type, long& size);

// A common Text type widened so that one column holds a value of each of the
// fields: a memo beside a memo field, at least 25 characters beside a number
// or date field (its text, up to "-1.23456789012346E-300"). Any other type
// is left as it is.
void WidenToHoldEveryValue(std::int16_t offset, std::int16_t count, const std::vector<long>& types, long& type,
                           long& size);

// A table or field name in brackets for the SQL the engine writes, with
// every "]" of the name doubled, so that no name can end the brackets early.
std::string BracketName(const std::string& name);

// A positive width raised to two significant digits (0.0345 → 0.035, 0.123 →
// 0.13, 0.5 stays), taken on its 15-significant-digit decimal form; any
// magnitude a double holds, 1e-300 as well as 1e-3.
double RoundUpToTwoDigits(double width);

// The name of a pair column: the field's name cut to 62 characters, then "-1" or "-2".
std::string PairColumnName(const std::string& field, int which);

bool FileExists(const std::string& path);
bool TableExists(const std::string& table, const dao::DatabasePtr& db);
// A name in the temporary folder made from the first three characters of the
// prefix; the same prefix gives the same name, and no file is created.
std::string MakeTempFileName(const std::string& prefix);
// A name in the temporary folder with the prefix that no other run uses: the
// file is reserved (created empty and removed again) under a name with the
// process number and a counter.
std::string MakeUniqueTempFileName(const std::string& prefix);

// The ranking of values read in ascending order, one run of equal values at
// a time: a run that occupies W whole rank positions after those of the runs
// before it gets the average of its positions, p + (W - 1)/2 for its first
// position p, taken as the sum of the positions divided by W. A run of more
// than one position is a tie and adds to the sums rank statistics correct
// for: the tied observations (W), the cube term (W^3 - W), the tied groups
// and, when asked for, Kendall's three terms (W^2 - W, (W - 2)(W^2 - W),
// (2W + 5)(W^2 - W)). Every ranking of the engine goes through it.
class TieRanks {
public:
    explicit TieRanks(bool withKendall = false) : m_kendall(withKendall) {}
    // The next run, W >= 1 positions: the average of its ranks.
    double Run(double W);
    // Rank positions given so far.
    double Positions() const noexcept { return m_p; }

    double tiedObservations = 0, cubeTerm = 0, tiedGroups = 0, kendall1 = 0, kendall2 = 0, kendall3 = 0;

private:
    bool m_kendall;
    double m_p = 0; // the last position given
};

// Ranks the records of a recordset sorted by `valueColumn` (ties share the
// average rank) and returns the tie sums. Weights count by their integer
// part; a tied run whose weights add up to less than 1 cannot be ranked and
// raises a run-time error saying so.
void RankWithTies(dao::Recordset& rs, bool withKendall, const std::string& valueColumn, const std::string& rankColumn,
                  double& tiedObservations, double& cubeTerm, double& tiedGroups, double& kendall1, double& kendall2,
                  double& kendall3);

// The same ranking for values held in memory: `values` in ascending order
// with their `weights` (counted by their integer part); `ranks` receives the
// rank of each value and the six sums are those of the recordset form.
void RankWithTies(const std::vector<double>& values, const std::vector<double>& weights, bool withKendall,
                  std::vector<double>& ranks, double& tiedObservations, double& cubeTerm, double& tiedGroups,
                  double& kendall1, double& kendall2, double& kendall3);

// Makes the table `name` afresh in a work database with these columns (name,
// field type) in order; a table of that name is dropped first.
void CreateWorkTable(const dao::DatabasePtr& db, const std::string& name,
                     const std::vector<std::pair<std::string, int>>& columns);

// Runs an analysis's record pass inside a transaction of the calling
// thread's workspace and commits it. What was written stays: when the pass
// throws, the transaction is committed all the same (a failed commit is
// ignored) and the error goes on.
void ReadInKeptTransaction(const std::function<void()>& read);

// Variance and standard deviation from n, the sum of squares and the sum;
// method "N" the population form, any other text the sample form.
double CalcVariance(const std::string& method, double n, double sumSquares, double sum, double& variance);
