#pragma once
// CNonParametric: the "Paired Fields" analysis. Every X field is paired,
// record by record, with the one Y field; per group of the group fields and
// per X field it writes the means and their difference, the counts of x
// below, equal to and above y, Pearson's r, the sign test, the Wilcoxon
// signed-rank test, Spearman's rho and Kendall's tau (each also corrected
// for ties), on request the counts against a given median and a chi-square
// of x observed against y expected.
//
// The pairs are staged in the temporary work database ("statTemp1": Field,
// X, Y, Absolute, Weight); the Wilcoxon ranks come from the pairs read back
// by absolute difference; for Spearman the pairs are read back once in the
// order of x and the engine's RankWithTies gives the mid-ranks of x and y,
// from which Kendall's score is counted in n·log n. A pair occupies as many rank positions as the
// whole part of its weight; counts and means use the weight itself.
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"
#include "engine/CrossProducts.h"

#include <cstdint>
#include <string>
#include <vector>

class ProcGuard;
class RunContext;

class CNonParametric {
public:
    // The run. The outcome comes back in `message`: empty on success, else
    // the reason the run stopped. medians(1 .. K) serve the median switch.
    void Quorb_NonParametric(std::string OutputTable, std::string Table, FieldList& Fields, std::int16_t G,
                             std::int16_t K, std::int16_t YIndex, bool bWeighted, bool bMedian,
                             const std::vector<double>& medians, bool bSign, bool bWilcoxon, bool bSpearman, bool bTau,
                             bool bChi, RunContext& Engine, std::string& message);

    // Kendall's score S = Σ w_a·w_b·sign(x_b − x_a)·sign(y_b − y_a) over all
    // pairs of rows (ties in x or y count 0), in n·log n.
    struct Ranked {
        double x, y;
        double w; // whole weight: the number of rank positions
    };
    static double KendallScore(std::vector<Ranked> rows);

    // Sign test of a paired sample (continuity-corrected normal form): false
    // when no pair differs.
    static bool SignTest(double below, double above, double& Z, double& prob);

private:
    struct FieldSums {
        std::int64_t N = 0;          // records used
        double n = 0;                // weight sum
        CrossProducts xy{2};         // about the first pair
        double below = 0, equal = 0, above = 0;
        double mBelow = 0, mEqual = 0, mAbove = 0;
        double chiCount = 0, chiSum = 0;
        bool chiValid = true;
    };
    struct Wilcoxon {
        double negCount = 0, posCount = 0, negSum = 0, posSum = 0, Z = 0, prob = 0;
        bool tested = false;
    };
    struct Rank {
        double tiesX = 0, tiesY = 0;
        double n = 0; // rank positions (whole weights)
        double rho = 0, rhoTies = 0, t = 0, tTies = 0;
        bool tInfinite = false, tTiesInfinite = false;
        bool rhoDefined = false; // neither field is constant
        double S = 0, tau = 0, Z = 0, tauTies = 0, ZTies = 0;
        bool tauOk = false, ZOk = false, tauTiesOk = false, ZTiesOk = false;
        bool done = false;
    };

    std::string OpenData();
    std::string CreateOutput();
    void CreateTemp();
    void InitData();
    void ReadRecords();
    void CalcData();
    Wilcoxon CalcWilcoxon(std::int64_t i);
    Rank CalcSpearmanTauKS(std::int64_t i);
    void WriteData(const std::vector<dao::Variant>& groupValues);

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    RunContext* m_Engine = nullptr;
    std::string m_error;
    std::string m_out, m_table, m_countColumn;
    FieldList m_fields;
    std::int16_t m_G = 0, m_K = 0, m_Y = 0;
    bool m_weighted = false, m_median = false, m_sign = false, m_wilcoxon = false, m_spearman = false, m_tau = false,
         m_chi = false, m_stage = false;
    std::vector<double> m_medians;
    std::vector<long> m_types, m_sizes;

    dao::RecordsetPtr m_stageRS;
    dao::FieldPtr m_sField, m_sX, m_sY, m_sAbs, m_sWeight;
    std::vector<dao::FieldPtr> m_xCols;
    dao::FieldPtr m_yCol, m_wCol;
    bool m_tableExists = false;
    std::int64_t m_groupRecords = 0;
    std::vector<FieldSums> m_sums;
};
