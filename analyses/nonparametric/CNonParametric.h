#pragma once
// CNonParametric: the "Paired Fields" analysis. Every X field is paired,
// record by record, with the one Y field; per group of the group fields and
// per X field it writes the means and their difference, the counts of x
// below, equal to and above y, Pearson's r, the sign test, the Wilcoxon
// signed-rank test, Spearman's rho and Kendall's tau (each also corrected
// for ties), on request the counts against a given median and a chi-square
// of x observed against y expected.
//
// The pairs are staged (SortStage): for Wilcoxon by their absolute
// difference, with its sign; for Spearman and Kendall in the order of x
// (then y, for Kendall), which gives the mid-ranks of x; the pairs then go
// on, with their x rank (and for Kendall their place in that order), to a
// stage in the order of y, which gives the mid-ranks of y. Both orders are read in runs of tied values, one
// reader a run ahead of the other, so no run is held in memory. Kendall's
// score is counted from the two orders in n·log n (KendallCount). A pair
// occupies as many rank positions as the whole part of its weight; counts
// and means use the weight itself.
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"
#include "engine/CrossProducts.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class SortStage;

struct PairedFieldsSettings : AnalysisSettings {
    bool Sign = false, Wilcoxon = false, Spearman = false;
    // Not asked for by scenarios; callers of the analysis may turn them on.
    bool Tau = false, ChiSquare = false, Median = false;
    std::vector<double> Medians; // 1 .. nX: what each X field is counted against with Median
};

class CNonParametric : public AnalysisRoad {
public:
    using Settings = PairedFieldsSettings;
    explicit CNonParametric(const Settings& settings);
    ~CNonParametric() override;

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // Kendall's score S = Σ w_a·w_b·sign(x_b − x_a)·sign(y_b − y_a) over all
    // pairs of rows (ties in x or y count 0), in n·log n; `chunk` as in
    // KendallCount.
    struct Ranked {
        double x, y;
        double w; // whole weight: the number of rank positions
    };
    static double KendallScore(std::vector<Ranked> rows, std::size_t chunk = 0);

    // Kendall's score from the pairs read in two orders, with memory bounded
    // by `chunk` rows. S = n0 − n1 − n2 + n3 − 2·swaps (Knight): n0 the pairs
    // of the n rank positions, n1 and n2 those tied in x and in y, n3 those
    // tied in both, and swaps the pairs whose y falls as their (x, y) rises.
    // Swaps are counted in chunks of consecutive pairs of the (x, y) order:
    // within a chunk from the chunk itself, across chunks as the pairs come
    // again in the order of (y, place in the (x, y) order).
    class KendallCount {
    public:
        // Pairs held at once (0: 16,384).
        explicit KendallCount(std::size_t chunk = 0);
        // The next pair in the order of (x, y), with its whole weight.
        void Add(double y, double k);
        // After the last Add.
        void Finish();
        // The pairs again in the order of (y, place): the place (1, 2, ...)
        // is the pair's position in the (x, y) order.
        void Again(double place, double k);
        // The score, from the tie sums: the rank positions, Σ W(W − 1) of the
        // runs tied in x and in y (kendall1 of TieRanks), and Σ W(W − 1)/2
        // of the runs tied in both.
        double Score(double n, double xTies, double yTies, double bothTies) const;

    private:
        void countChunk();
        std::size_t m_chunk;
        std::vector<double> m_y, m_k;   // the chunk being filled
        std::vector<double> m_chunkWeight;
        std::vector<double> m_remaining; // Fenwick tree over the chunks' weights not yet come again
        double m_swaps = 0;
    };

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

    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    void CloseOwn() override;
    std::string CreateOutput();
    Wilcoxon CalcWilcoxon(std::int16_t i);
    Rank CalcSpearmanTauKS(std::int16_t i);
    // Starts a row's statistics: every statistic column Null, so that each
    // row sets the same columns; the columns are found once per output
    // recordset, with the lead columns.
    void BeginStatistics(const dao::RecordsetPtr& out);
    // A statistic column of the row begun, by its name.
    const dao::FieldPtr& Column(std::string_view name);

    const Settings& m_s;
    std::string m_countColumn;
    std::vector<std::string_view> m_statNames; // the statistic columns, in order
    dao::RecordsetPtr m_statsOf;               // the recordset of the row begun
    LeadColumns m_lead;                        // the lead and statistic columns, found once
    bool m_rank = false; // Spearman or Kendall
    std::vector<FieldSums> m_sums;
    std::unique_ptr<SortStage> m_pairs;    // (x, y, weight) by x, then y
    std::unique_ptr<SortStage> m_signed;   // (|x − y|, sign, weight) by |x − y|
    std::unique_ptr<SortStage> m_byY;      // (y, place, x rank, whole weight) by y, then place
};
