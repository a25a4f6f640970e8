#pragma once
// CRegressPoly: the "Regression" analysis of type "P". For every group and
// every X field separately it fits the polynomial
// Y = b0 + b1·x + b2·x² + … + bk·x^k (or without b0) by weighted least
// squares, k being the scenario's order (1 or more; any order the table can
// hold). One statistics row per group and X field ("DataField" names the
// field) and, with a residual table, one residual row per record and X field
// that entered the fit ("X_Value" holds x).
//
// The power sums are kept about the field's first value in double-double
// precision and the fit is solved in the shifted basis (x − a)^j, whose
// conditioning is that of the spread of x and not of its size; the reported
// coefficients of x^j follow by the binomial expansion, their standard
// errors by the same map. Powers that are (nearly) collinear - an order too
// high for the distinct values or the spread of x - leave the row with its
// lead values, without residual rows; the run's status text names them.
//
// Columns after the lead ones: ["Y-Intercept"], "Coef_of_X^1" …; then the
// standard errors, betas, t-values and probabilities in the same way
// ("SE_of_X^j", "Beta_of_X^j", "t-Value_of_X^j", "Prob_of_X^j"); with a
// confidence level "X^j_95%_CI_Low" and its companions and "X^j_PartialF".
#include "analyses/regression/RegressionRun.h"
#include "engine/PowerSums.h"

class CRegressPoly : public RegressionRun {
public:
    explicit CRegressPoly(const Settings& settings);

private:
    std::string CheckOptions() override;
    bool WithDataField() const override { return true; }
    std::vector<CoefficientColumns> CoefficientColumnNames() const override;
    void AddResidualXColumns(const dao::TableDefPtr& td, std::int16_t& ord) override;
    void InitData() override;
    void AddRecord() override;
    void WriteStatisticsRows() override;
    void WriteResidualRows() override;

    FitModel ModelOf(const PowerSums& ps) const;

    const int m_k;
    std::vector<PowerSums> m_sums;  // 1 .. nX
    std::vector<FitResult> m_fits;  // the group's, 1 .. nX (residual table only)
    dao::FieldPtr m_xValue;                     // the residual table's "X_Value"
    std::vector<DoubleDouble> m_f;
};
