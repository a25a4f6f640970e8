#pragma once
// CRegressSimple: the "Regression" analysis of type "S". For every group and
// every X field separately it fits the straight line Y = a + b·X by weighted
// least squares (or Y = b·X through the origin), writing one statistics row
// per group and X field ("DataField" names the field) and, with a residual
// table, one residual row per record and X field that entered the fit.
//
// A record enters the fit of an X field when its weight is above 0 and its
// Y and that X are present and pass the missing-value rule. A row has its
// lead values only when its fit has no residual degree of freedom
// (df = n − 2, or n − 1 through the origin), or X or Y does not vary.
// Statistics table columns after the lead ones: ["Y-Intercept"], "Coef_of_X",
// ["SE_of_Y-Intercept"], "SE_of_X", "Beta_of_X", ["t-Value_of_Y-Intercept"],
// "t-Value_of_X", ["Prob_of_Y-Intercept"], "Prob_of_X", the confidence
// intervals when asked for, and the summary columns (RegressionRun).
#include "analyses/regression/RegressionRun.h"
#include "engine/CrossProducts.h"

class CRegressSimple : public RegressionRun {
public:
    explicit CRegressSimple(const Settings& settings);

private:
    bool WithDataField() const override { return true; }
    std::vector<CoefficientColumns> CoefficientColumnNames() const override;
    void AddResidualXColumns(const dao::TableDefPtr& td, std::int16_t& ord) override;
    void InitData() override;
    void AddRecord() override;
    void WriteStatisticsRows() override;
    void WriteResidualRows() override;

    std::vector<CrossProducts> m_sums; // 1 .. nX: (x, y)
    std::vector<FitResult> m_fits;     // the group's, 1 .. nX (residual table only)
    dao::FieldPtr m_xValue;            // the residual table's "X_Value"
};
