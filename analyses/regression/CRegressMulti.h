#pragma once
// CRegressMulti: the "Regression" analysis of type "M". For every group it
// fits one weighted least-squares regression of Y on all X fields together,
// with or without an intercept, writing one statistics row per group (no
// "DataField") and, with a residual table, one residual row per record that
// entered the fit. A record enters only when its weight is above 0 and its Y
// and every X are present and pass the missing-value rule (listwise).
//
// Coefficient columns carry the X field's number and name, cut to 64
// characters: "Coef_of_X1: Price", "SE_of_X1: Price", "Beta_of_X1: Price",
// "t-Value_of_X1: Price", "Prob_of_X1: Price" (each group of columns in
// turn, the intercept's first); with a confidence level "X1_95%_CI_Low" and
// its companions and the partial-F columns "X1_PartialF". The residual
// table's X columns are "X1:Price" and so on.
//
// Collinear X fields (one a linear combination of others, exactly or so
// nearly that the coefficients cannot be had to 9 significant digits) leave
// the group's row with its lead values, without residual rows; the run's
// status text names them and the group.
#include "analyses/regression/RegressionRun.h"
#include "engine/CrossProducts.h"

class CRegressMulti : public RegressionRun {
public:
    explicit CRegressMulti(const Settings& settings);

private:
    bool WithDataField() const override { return false; }
    std::vector<CoefficientColumns> CoefficientColumnNames() const override;
    void AddResidualXColumns(const dao::TableDefPtr& td, std::int16_t& ord) override;
    void InitData() override;
    void AddRecord() override;
    void WriteStatisticsRows() override;
    void WriteResidualRows() override;

    CrossProducts m_sums;           // x1 .. xp, y
    std::vector<double> m_v;
    std::vector<std::string> m_residualX;
    FitResult m_fit;                // the group's (residual table only)
    std::vector<DoubleDouble> m_f;
    std::vector<dao::FieldPtr> m_xColumns; // the residual table's X columns
};
