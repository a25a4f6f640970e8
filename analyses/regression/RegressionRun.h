#pragma once
// RegressionRun: the road the three regressions share. It opens the sorted
// source records, replaces the statistics table (output table 1) and, when a
// second name is given, the residual table, reads the records group by group
// inside one transaction, writes the statistics rows the class fits and,
// with a residual table, each usable record's row with its fitted value and
// residual, in the order of the records. The records of a group are kept in
// memory until its fit is known (up to KeepLimit()); from the first group
// too large for that on, the rows come from a second reading of the records
// in a transaction of its own.
//
// The fits: each class hands a FitModel (the cross-products of its
// regressors, kept in double-double precision about the first record, and
// the map from the fitted coefficients to the reported ones); Fit() solves it
// with LeastSquares, works out every reported number, and refuses a fit whose
// regressors are (nearly) collinear, naming them, rather than report
// coefficients it cannot vouch for to 9 significant digits. A refused fit
// keeps its lead values only, the run goes on with the other groups, and the
// run ends with the message of the first refusal.
//
// The statistics columns of every row:
//   t = coefficient / SE, with its two-tailed probability; when SE is 0 (a
//   perfect fit) t, its probability and partial F stay Null, as F does;
//   R² = 1 − SSE/SST; adjusted R² = R² − (1 − R²)·p/(n − p − 1) when
//   n > p + 1; standard error of estimate √(SSE/df); the ANOVA columns with
//   F and its probability only when SSE > 0. n is the sum of the weights and
//   df = n − p − 1 (n − p through the origin), where SST is Σw·y².
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"
#include "engine/DoubleDouble.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

class CZValue;
class CrossProducts;
class ProcGuard;
class RunContext;

class RegressionRun {
public:
    RegressionRun();
    virtual ~RegressionRun();
    RegressionRun(const RegressionRun&) = delete;
    RegressionRun& operator=(const RegressionRun&) = delete;

    // How many numbers a run keeps in memory for the residual rows of one
    // group (8M doubles, 64 MB); a larger group has its records read again.
    static std::size_t& KeepLimit();

protected:
    // One fit as the class sees it: p regressors f_1 .. f_p (for example the
    // X values less their first value), their cross-products G (about the
    // means with an intercept, about zero without), g with Y and gyy of Y.
    struct FitModel {
        int p = 0;
        bool intercept = true;
        DoubleDouble n;            // Σw
        std::int64_t records = 0;
        std::vector<DoubleDouble> G, g;
        DoubleDouble gyy;
        std::vector<double> rho;   // p + 1 ratios for the error bound (LeastSquares)
        std::vector<DoubleDouble> mean; // the regressors' means (intercept only)
        DoubleDouble yMean;
        // Reported coefficient r (0 the intercept, 1 .. p the slopes) =
        // Σ_j T(r, j)·θ_j with θ_0 the intercept of the fit in f and θ_j its
        // slopes; (p + 1)² entries, row by row.
        std::vector<DoubleDouble> T;
        // For the standardized coefficients: the sum of squares of each
        // reported regressor (centred with an intercept, about zero without)
        // and of Y.
        std::vector<double> ssx;   // 1 .. p (entry 0 unused)
        double ssy = 0;
    };

    struct FitResult {
        bool solved = false;       // false: lead values only
        double sse = 0, sst = 0, df = 0, n = 0;
        bool perfect = false;      // SSE is 0 to the precision of the data
        std::vector<double> b, se; // 0 .. p (entry 0 the intercept)
        std::vector<double> beta;  // 1 .. p; NaN when not written
        // For the fitted values: ŷ = yMean + Σ c_j (f_j − mean_j), or Σ c_j f_j.
        bool intercept = true;
        DoubleDouble yMean;
        std::vector<DoubleDouble> c, mean;
        std::vector<double> origin; // the class's own (what the regressors are measured from)
    };

    // The names of one coefficient's columns; empty names are not written.
    struct CoefficientColumns {
        // The intercept's columns (CI prefix "Y-Int_").
        static CoefficientColumns Intercept(bool withPartialF);
        std::string coef, se, beta, t, prob, ciPrefix, partialF;
    };

    struct Settings {
        std::string out1, out2, table;
        FieldList fields;
        std::int16_t nG = 0, nX = 0;
        bool bWeight = false, bAnova = false, bYInt = false;
        std::int16_t CI = 0;
    };

    // The entry's steps; `name` is pushed on the engine's error handler.
    std::string RunEntry(const char* name, const Settings& settings, RunContext& engine);

    // --- what each class supplies -------------------------------------------------------
    virtual std::string CheckOptions() { return {}; }
    // Statistics and residual tables have a "DataField" column.
    virtual bool WithDataField() const = 0;
    // The coefficient columns (entry 0 the intercept's when bYInt), in order.
    virtual std::vector<CoefficientColumns> CoefficientColumnNames() const = 0;
    // Adds the residual table's X value column(s).
    virtual void AddResidualXColumns(const dao::TableDefPtr& td, std::int16_t& ord) = 0;
    virtual void InitData() = 0;
    // One record: the values are in m_w, m_y, m_yOk, m_x, m_xOk.
    virtual void CalcData() = 0;
    // The statistics rows of the finished group (m_prev, m_groupRecords).
    virtual void WriteData() = 0;
    // The residual rows of the current record (second pass) for group `group`.
    virtual void WriteResidualRows(std::size_t group) = 0;

    // --- shared pieces ------------------------------------------------------------------
    // The model of a fit of the last variable of `cp` on the others, each
    // regressor measured from its first value (with an intercept) or from 0.
    static FitModel ModelOf(const CrossProducts& cp, bool intercept);
    // Solves the model and works out every reported number; a refused fit
    // records `refusal` (completed with the collinearity) as the run's message.
    FitResult Fit(const FitModel& model, const std::vector<std::string>& regressorNames, const std::string& what);
    // Writes the coefficient and summary columns of a solved fit into the
    // current row of the statistics table.
    void WriteStatistics(dao::Recordset& out, const FitResult& fit, const std::vector<CoefficientColumns>& columns,
                         bool simpleMultipleR);
    // Lead values of a statistics row; "DataField" from field index `dataField` (0: none).
    void WriteStatisticsLead(dao::Recordset& out, std::int16_t dataField, double n, long observations);
    // Appends one residual row with its lead values, "Observations" = w, the
    // Y column, the fitted value and the residual (the X columns are the caller's).
    void BeginResidualRow(std::int16_t dataField);
    void EndResidualRow(const DoubleDouble& fitted);
    // ŷ of a solved fit for the regressor values f (p entries).
    static DoubleDouble Fitted(const FitResult& fit, const std::vector<DoubleDouble>& f);

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }
    const std::string& YName() const { return m_s.fields[static_cast<std::size_t>(m_s.nG + m_s.nX + 1)]; }
    const std::string& XName(int i) const { return m_s.fields[static_cast<std::size_t>(m_s.nG + i)]; }
    std::string GroupText() const;
    static std::string Left64(const std::string& s) { return s.substr(0, 64); }

    RunContext* m_Engine = nullptr;
    Settings m_s;
    std::string m_error;    // an unexpected error's message
    std::string m_refusal;  // the first refused fit's message
    bool m_residual = false;
    std::string m_countColumn, m_yResidualColumn;
    std::vector<long> m_types, m_sizes;
    std::vector<dao::Variant> m_prev, m_cur;
    long m_groupRecords = 0;

    // The current record's values.
    double m_w = 0, m_y = 0;
    bool m_yOk = false;
    std::vector<double> m_x; // 1 .. nX
    std::vector<char> m_xOk;

    dao::RecordsetPtr m_out, m_res;
    // The residual table's columns, looked up once: group fields (1 .. nG),
    // "DataField", "Observations", the Y column, "Estimated_Y", "Residual".
    std::vector<dao::FieldPtr> m_resGroup;
    dao::FieldPtr m_resDataField, m_resObservations, m_resY, m_resFitted, m_resResidual;
    std::unique_ptr<CZValue> m_z;

private:
    std::string CreateOutput();
    std::string CreateResidual();
    void ReadRecords();
    void CalcResiduals();
    void KeepForResiduals(std::size_t group);
    void FlushResiduals(std::size_t group);
    void ReadValues();
    std::string Reopen();

    std::vector<dao::FieldPtr> m_groupCols, m_xCols;
    dao::FieldPtr m_yCol;
    bool m_missingRule = false;
    long m_residualCount = 0;
    // The usable records of the current group, kept for its residual rows
    // (w, y, x1 .. xnX each, and whether each x is usable), up to a bound;
    // groups from m_deferFrom on get theirs from a second reading.
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<double> m_kept;
    std::vector<char> m_keptOk;
    std::size_t m_deferFrom = kNone;
};
