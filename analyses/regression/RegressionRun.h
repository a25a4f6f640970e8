#pragma once
// RegressionRun: the road the three regressions share. It opens the sorted
// source records, replaces the statistics table (output table 1) and, when a
// second name is given, the residual table, reads the records group by group
// inside one transaction and writes the statistics rows the class fits. With
// a residual table, each group's usable records are kept as they are read
// (in memory, a large group in the work database) and walked again as soon
// as the group's fits are known: every usable record's row is written then,
// with its fitted value and residual, in the order of the records. Nothing
// grows with the number of records.
//
// The fits: each class hands a FitModel (the cross-products of its
// regressors, kept in double-double precision about the first record, and
// the map from the fitted coefficients to the reported ones); Fit() solves it
// with LeastSquares, works out every reported number, and refuses a fit whose
// regressors are (nearly) collinear, naming them, rather than report
// coefficients it cannot vouch for to 9 significant digits. A refused fit
// keeps its lead values only and has no residual rows; its reason (which
// group, which regressor) goes out as the run's status text, and the run
// goes on with the other fits and groups.
//
// The statistics columns of every row:
//   t = coefficient / SE, with its two-tailed probability; when SE is 0 (a
//   perfect fit) t, its probability and partial F stay Null, as F does;
//   R² = 1 − SSE/SST; adjusted R² = R² − (1 − R²)·p/(n − p − 1) when
//   n > p + 1; standard error of estimate √(SSE/df); the ANOVA columns with
//   F and its probability only when SSE > 0. n is the sum of the weights and
//   df = n − p − 1 (n − p through the origin), where SST is Σw·y².
#include "db/Dao.h"
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/DoubleDouble.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CZValue;
class CrossProducts;
class ValueSpool;

struct RegressionSettings : AnalysisSettings {
    char Kind = 'S';                    // 'S' simple, 'M' multiple, 'P' polynomial
    bool Anova = false, YIntercept = false;
    std::int16_t ConfidenceLevel = 0;   // percent; 0 or less: no interval columns
    std::int16_t PolyOrder = 0;         // 'P' only
};

class RegressionRun : public AnalysisRoad {
public:
    using Settings = RegressionSettings;
    ~RegressionRun() override;

    // The scenario's regression options ("Unknown regression type: " for a
    // type other than "S", "M" or "P").
    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

protected:
    RegressionRun(const Settings& settings, const char* entryName);

    // One fit as the class sees it: p regressors f_1 .. f_p (for example the
    // X values less their first value), their cross-products G (about the
    // means with an intercept, about zero without), g with Y and gyy of Y.
    // Regressor j and its reported coefficient may be held in the unit
    // 2^scale[j], and Y in 2^yScale (as the sums were kept, so that data
    // whose products lie beyond a double's range are fitted): every sum and
    // mean below is in those units, and the fit is brought back to the data's
    // own units at the end (powers of two scale exactly).
    struct FitModel {
        int p = 0;
        std::vector<int> scale;    // p entries (none: all in the data's own units)
        int yScale = 0;
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
        // b and se are in the data's own units; SSE and SST in the unit
        // 2^(2·yScale), and the fitted values' pieces below in the model's.
        int yScale = 0;
        std::vector<int> scale;    // the unit of each regressor, 2^scale[j]
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

    // --- what each class supplies -------------------------------------------------------
    virtual std::string CheckOptions() { return {}; }
    // Statistics and residual tables have a "DataField" column.
    virtual bool WithDataField() const = 0;
    // The coefficient columns (entry 0 the intercept's when bYInt), in order.
    virtual std::vector<CoefficientColumns> CoefficientColumnNames() const = 0;
    // Those names, worked out once a run (with the output table).
    const std::vector<CoefficientColumns>& OutputCoefficientColumns() {
        if (m_coefficientColumns.empty()) m_coefficientColumns = CoefficientColumnNames();
        return m_coefficientColumns;
    }
    // Adds the residual table's X value column(s).
    virtual void AddResidualXColumns(const dao::TableDefPtr& td, std::int16_t& ord) = 0;
    // The group's sums start from nothing in InitData, the road's hook.
    // One record into the sums: its values are in m_w, m_y, m_yOk, m_x, m_xOk.
    virtual void AddRecord() = 0;
    // The statistics rows of the finished group (GroupValues(), GroupRecords()).
    virtual void WriteStatisticsRows() = 0;
    // The residual rows of a usable record kept from the group (its values
    // in m_w, m_y, m_x, m_xOk; its weight above 0 and its Y usable),
    // from the fits of its group.
    virtual void WriteResidualRows() = 0;

    // --- shared pieces ------------------------------------------------------------------
    // The model of a fit of the last variable of `cp` on the others, each
    // regressor measured from its first value (with an intercept) or from 0.
    static FitModel ModelOf(const CrossProducts& cp, bool intercept);
    // Solves the model and works out every reported number; a refused fit
    // says why in the run's status text (`what` names the fit, the regressors'
    // names the collinearity).
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
    // ŷ of a solved fit for the regressor values f (p entries), in the data's
    // own units or, `inUnits`, already in the regressors' units (2^scale[j]).
    static DoubleDouble Fitted(const FitResult& fit, const std::vector<DoubleDouble>& f, bool inUnits = false);

    const std::string& YName() const { return m_s.fields[m_s.YPosition()]; }
    const std::string& XName(int i) const { return m_s.fields[m_s.XPosition() + static_cast<std::size_t>(i) - 1]; }
    // The field index of X field i.
    std::int16_t XIndex(int i) const {
        return static_cast<std::int16_t>(m_s.XPosition() + static_cast<std::size_t>(i) - 1);
    }
    std::string GroupText() const;
    // The first 64 characters (never part of one).
    static std::string Left64(const std::string& s) { return dao::LeftChars(s, 64); }

    const Settings& m_s;
    bool m_residual = false;
    std::string m_countColumn, m_yResidualColumn;
    std::vector<CoefficientColumns> m_coefficientColumns; // of the output table
    LeadColumns m_statColumns;             // the statistics table's columns, found once
    std::map<double, double> m_tCritical;  // critical values of t by degrees of freedom

    // The current record's values.
    double m_w = 0, m_y = 0;
    bool m_yOk = false;
    std::vector<double> m_x; // 1 .. nX
    std::vector<char> m_xOk;

    dao::RecordsetPtr m_out, m_res;
    std::unique_ptr<CZValue> m_z;

private:
    std::string Steps() override;
    void CalcData() final;
    void WriteData() final;
    void CloseOwn() override;
    std::string CreateOutput();
    std::string CreateResidual();
    void ReadValues();
    // A refused fit's reason, as the run's status text.
    void Explain(const std::string& text);

    // The usable records of the group (weight above 0, Y usable) kept for
    // their residual rows: w, y, then each X and 1 or 0 for whether it is
    // usable (in memory, or in the work database for a large group).
    void KeepRecord();
    std::unique_ptr<ValueSpool> m_kept;
    std::vector<double> m_keptRecord;

    long m_residualCount = 0;
    // The residual table's columns, looked up once: group fields (1 .. nG),
    // "DataField", "Observations", the Y column, "Estimated_Y", "Residual".
    std::vector<dao::FieldPtr> m_resGroup;
    dao::FieldPtr m_resDataField, m_resObservations, m_resY, m_resFitted, m_resResidual;
};

// The regression's run: the class its settings' kind names.
template <>
std::string RunAnalysis<RegressionRun>(AnalysisSettings& settings, RunContext& cx);
