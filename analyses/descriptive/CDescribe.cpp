#include "analyses/descriptive/CDescribe.h"

#include "engine/SortStage.h"

#include "db/Decimal.h"
#include "analyses/descriptive/CFrequency.h"
#include "engine/CZValue.h"
#include "engine/modStatsGeneral.h"
#include "errors/RunTimeError.h"
#include "scenario/CMelvarsScenario.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

using namespace dao;

namespace {

std::string upperFirst(const std::string& s) { return s.empty() ? std::string() : ToUpperAscii(s.substr(0, 1)); }

char charAt(const std::string& s, std::size_t i) { return i < s.size() ? s[i] : '\0'; }

// Parts of a group of values: "M" median, "Q" quartiles, "5" quintiles,
// "D" deciles, "P" percentiles; 0 for any other letter.
std::int16_t percentileDivisor(const std::string& letter) {
    std::string l = upperFirst(letter);
    if (l == "M") return 2;
    if (l == "Q") return 4;
    if (l == "5") return 5;
    if (l == "D") return 10;
    if (l == "P") return 100;
    return 0;
}

bool inDecimalRange(double x) {
    double a = std::fabs(x);
    return a == 0.0 || (a >= 1e-14 && a < 7.9e28);
}

// The column name of a percentile point: "25_Percentile".
std::string percentileColumn(int percent) { return std::to_string(percent) + "_Percentile"; }

// The walk over one field's values in ascending order that gives the
// percentile points and the mode.
class SortedWalk {
public:
    SortedWalk(bool weighted, std::int16_t d, double n, std::vector<double>* r, CDescribe::ModeResult* mode)
        : m_weighted(weighted), m_d(r ? d : std::int16_t(0)), m_n(n), m_r(r), m_mode(mode) {
        if (m_mode) *m_mode = CDescribe::ModeResult{};
        if (m_r && m_r->size() < static_cast<std::size_t>(d) + 1) m_r->resize(static_cast<std::size_t>(d) + 1, 0.0);
    }

    void Row(double x, double w) {
        ++m_c;
        if (m_c == 1) {
            // Every point starts as the smallest value.
            if (m_d > 0)
                for (std::int16_t k = 0; k <= m_d; ++k) (*m_r)[static_cast<std::size_t>(k)] = x;
            m_runValue = x;
        }
        if (m_mode) {
            if (m_c > 1 && x != m_runValue) {
                closeRun();
                m_runValue = x;
                m_runWeight = 0;
            }
            m_runWeight += w;
        }
        if (m_d > 0 && m_i < m_d) {
            if (m_weighted) {
                // The first value whose cumulative weight reaches i·n/d.
                m_cum += w;
                while (m_i < m_d && reached(m_i)) {
                    (*m_r)[static_cast<std::size_t>(m_i)] = x;
                    ++m_i;
                }
            } else {
                // Position (n − 1)/d·i + 1: the value there, or between the
                // two records around it.
                while (m_i < m_d) {
                    bool frac = false;
                    std::int32_t rec = CDescribe::NextPcntRec(m_n, m_i, frac, m_d);
                    if (!frac && rec <= m_c) {
                        (*m_r)[static_cast<std::size_t>(m_i)] = rec == m_c ? x : m_prev;
                    } else if (frac && rec + 1 <= m_c) {
                        double pos = (m_n - 1) / m_d * m_i + 1;
                        (*m_r)[static_cast<std::size_t>(m_i)] = CDescribe::Interpolate(m_prev, x, pos - std::floor(pos));
                    } else {
                        break;
                    }
                    ++m_i;
                }
            }
        }
        m_prev = x;
        m_last = x;
    }

    void Finish() {
        if (m_c == 0) return;
        closeRun();
        if (m_d > 0) (*m_r)[static_cast<std::size_t>(m_d)] = m_last;
    }

private:
    // Whether the cumulative weight reaches point i, n·i/d, decided without
    // rounding the target: (n/d)·i can land just above a cumulative weight
    // that equals it (14·50/100 gives 7.000000000000001), which would report
    // the next value. Clear cases are settled on the doubles; near a tie the
    // products n·i and cum·d are compared in the decimal type, on the
    // weights' 15-digit forms.
    bool reached(std::int16_t i) const {
        // Weight sums near the largest doubles times i or d (at most 100)
        // would overflow: both sides are taken 2^16 lower, which is exact.
        const bool huge = m_n >= 0x1p1000 || m_cum >= 0x1p1000;
        const double lhs = (huge ? std::ldexp(m_n, -16) : m_n) * i, rhs = (huge ? std::ldexp(m_cum, -16) : m_cum) * m_d;
        if (lhs < rhs * (1 - 1e-12)) return true;
        if (lhs > rhs * (1 + 1e-12)) return false;
        // Whole sums (whole weights) are exact in their doubles: compared in
        // integers, where 15-digit forms would take 10^15 + 1 for 10^15.
        if (isWholeSum(m_n) && isWholeSum(m_cum)) {
            __extension__ typedef __int128 Int128;
            return static_cast<Int128>(m_n) * i <= static_cast<Int128>(m_cum) * m_d;
        }
        if (!inDecimalRange(m_n) || !inDecimalRange(m_cum)) return lhs <= rhs;
        return Decimal(m_n) * Decimal(static_cast<int>(i)) <= Decimal(m_cum) * Decimal(static_cast<int>(m_d));
    }

    static bool isWholeSum(double v) { return std::floor(v) == v && std::fabs(v) < 9e18; }

    // A value's weight sum against the largest so far, on the same terms as
    // reached(): weights 0.1 and 0.2 on one value and 0.3 on another are a
    // tie, though the doubles' 0.1 + 0.2 lies just above 0.3.
    // Whole sums (counts, whole weights) are compared as they are: their
    // doubles are exact, where 15-digit forms would call 10^15 + 1 and 10^15 a tie.
    static int compareWeights(double a, double b) {
        if (a < b * (1 - 1e-12)) return -1;
        if (a > b * (1 + 1e-12)) return 1;
        if (isWholeSum(a) && isWholeSum(b)) return a < b ? -1 : a > b ? 1 : 0;
        if (!inDecimalRange(a) || !inDecimalRange(b)) return a < b ? -1 : a > b ? 1 : 0;
        const auto order = Decimal(a) <=> Decimal(b);
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    }

    void closeRun() {
        if (!m_mode) return;
        const int order = compareWeights(m_runWeight, m_mode->weight);
        if (order > 0) {
            m_mode->weight = m_runWeight;
            m_mode->value = m_runValue;
            m_mode->unique = true;
        } else if (order == 0) {
            m_mode->unique = false;
        }
    }

    bool m_weighted;
    std::int16_t m_d;
    double m_n;
    std::vector<double>* m_r;
    CDescribe::ModeResult* m_mode;
    std::int32_t m_c = 0;    // records seen
    std::int16_t m_i = 1;    // the next percentile point
    double m_cum = 0;
    double m_prev = 0, m_last = 0;
    double m_runValue = 0, m_runWeight = 0;
};

} // namespace

// ---- shared helpers --------------------------------------------------------------

std::int32_t CDescribe::NextPcntRec(double n, std::int16_t k, bool& bFraction, std::int16_t d) {
    double pos = (n - 1) / d * k + 1;
    double whole = std::floor(pos);
    bFraction = pos != whole;
    return static_cast<std::int32_t>(whole);
}

double CDescribe::Interpolate(double lo, double hi, double fraction) {
    if (hi == lo) return lo;
    if (inDecimalRange(lo) && inDecimalRange(hi) && inDecimalRange(fraction)) {
        // On the decimal forms only when they are the values: beyond fifteen
        // significant digits (1000000000000000.5) the forms drop the digits
        // that tell the two values apart, and the point would fall outside them.
        Decimal L(lo), H(hi);
        if (L.ToDouble() == lo && H.ToDouble() == hi) return (L + (H - L) * Decimal(fraction)).ToDouble();
    }
    const double span = Moments::DecimalDifference(hi, lo);
    if (std::isfinite(span)) return lo + span * fraction;
    // Values on either side of 0 near the largest doubles lie further apart
    // than a double reaches; the point between them does not: in halves.
    return 2 * (lo * 0.5 + (hi * 0.5 - lo * 0.5) * fraction);
}

CDescribe::DecimalParts CDescribe::DecimalParts::Of(double v) {
    DecimalParts p;
    p.ok = Moments::DecimalForm(v, p.mant, p.scale);
    return p;
}

double CDescribe::IntervalPosition(double x, double start, double width, bool& isWhole) {
    return intervalPosition(x, start, DecimalParts::Of(start), width, DecimalParts::Of(width), isWhole);
}

double CDescribe::intervalPosition(double x, double start, const DecimalParts& startParts, double width,
                                   const DecimalParts& widthParts, bool& isWhole) {
    // A value typed as a decimal on a border must land on it: 0.45 is three
    // widths of 0.15 from 0, which the doubles' own quotient misses. On the
    // decimal forms the quotient is a ratio of two whole numbers.
    std::int64_t xm = 0;
    int xs = 0;
    const std::int64_t sm = startParts.mant, wm = widthParts.mant;
    const int ss = startParts.scale, ws = widthParts.scale;
    if (startParts.ok && widthParts.ok && wm > 0 && Moments::DecimalForm(x, xm, xs)) {
        __extension__ typedef __int128 Int128;
        auto shift = [](Int128 v, int places) {
            while (places-- > 0) v *= 10;
            return v;
        };
        const int scale = std::max({xs, ss, ws});
        // Mantissas below 10^15 shifted by at most 22 places stay below 2^127.
        Int128 num = shift(xm, scale - xs) - shift(sm, scale - ss);
        Int128 den = shift(wm, scale - ws);
        Int128 q = num / den, r = num % den;
        if (r != 0 && num < 0) q -= 1; // towards minus infinity
        isWhole = r == 0;
        return static_cast<double>(q);
    }
    double k = (x - start) / width;
    double f = std::floor(k);
    isWhole = k == f;
    return f;
}

std::string CDescribe::NumberText(double value) {
    // As the language prints a number: up to 15 significant digits, no
    // trailing zeros (three widths of 0.15 print as 0.45).
    return FormatDouble(value == 0.0 ? 0.0 : value); // no "-0"
}

// ---- the settings and the entry --------------------------------------------------------

std::string CDescribe::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out) {
    Settings& a = NewSettings<Settings>(base, out);
    const std::int16_t nX = a.nX;
    auto doubleOr0 = [](const Variant& v) { return (v.IsNull() || v.IsEmpty()) ? 0.0 : v.ToDouble(); };
    a.Range = s.Range();
    a.VarMethod = s.VarStd() ? s.VarNRadio() : std::string();
    a.Sum = s.Sum();
    a.Mean = s.Mean();
    a.Skew = s.Skew();
    a.Mode = s.Mode();
    a.PercentileLetter = s.Percentile() ? s.PercentileRadio().substr(0, 1) : "-";
    a.IntervalLetter = s.CI() ? s.CITypeRadio().substr(0, 1) : "-";
    a.CI95 = s.CI95();
    Variant ciUser = s.CIUser();
    a.CIUser = (ciUser.IsNull() || ciUser.IsEmpty()) ? 0 : ciUser.ToInteger();
    a.CIStdDev.assign(static_cast<std::size_t>(nX) + 1, 0.0);
    a.TTestValues.assign(static_cast<std::size_t>(nX) + 1, 0.0);
    for (int i = 1; i <= nX; ++i) {
        a.CIStdDev[static_cast<std::size_t>(i)] = doubleOr0(s.CIStdDev());
        a.TTestValues[static_cast<std::size_t>(i)] = s.TTestValue();
    }
    a.TTestMean = s.TTestMean();
    std::string first = s.FreqN() && s.FreqP() ? "B" : s.FreqN() ? "N" : s.FreqP() ? "P" : "-";
    if (first == "-") {
        a.FreqCode = "-";
        a.Intervals = 0;
        a.Start = a.Width = 0;
    } else {
        bool user = !NamesEqual(s.FreqGroupRadio(), "Default");
        bool lower = NamesEqual(s.FreqIncRadio(), "Lower");
        a.FreqCode = first + "C" + (NamesEqual(s.FreqDispRadio(), "Count") ? "N" : "Y") + (lower ? "Y" : "N") +
                      (user ? "Y" : "N");
        a.Intervals = s.InterV();
        if (user) {
            a.Start = doubleOr0(s.FreqInit());
            a.Width = doubleOr0(s.FreqWidth());
        } else {
            std::string msg = CFrequency::DescFreqInit_ZUR(cx, false, a.Intervals, lower, a.Table, a.fields, a.nG,
                                                           a.nX, a.Start, a.Width);
            if (!msg.empty()) return msg;
        }
    }
    return {};
}

CDescribe::CDescribe(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_Describe", "Describe"), m_s(settings) {
    m_range = settings.Range;
    m_var = settings.VarMethod;
    m_sum = settings.Sum;
    m_means = settings.Mean;
    m_skew = settings.Skew;
    m_mode = settings.Mode;
    m_pcntiles = settings.PercentileLetter;
    m_conInt = settings.IntervalLetter;
    m_95 = settings.CI95;
    m_ciUser = settings.CIUser;
    m_popDev = settings.CIStdDev;
    m_popMean = settings.TTestValues;
    m_tTest = settings.TTestMean;
    m_strFreqDisplay = settings.FreqCode.substr(0, 1);
    m_nI = settings.Intervals;
    m_freqStart = settings.Start;
    m_freqWidth = settings.Width;
    m_freqStartParts = DecimalParts::Of(m_freqStart);
    m_freqWidthParts = DecimalParts::Of(m_freqWidth);
    m_popDev.resize(static_cast<std::size_t>(settings.nX) + 1, 0.0);
    m_popMean.resize(static_cast<std::size_t>(settings.nX) + 1, 0.0);
    m_bPercentiles = percentileDivisor(m_pcntiles) != 0;
    m_bSortTable = m_mode || m_bPercentiles;
    m_bFreq = m_strFreqDisplay == "N" || m_strFreqDisplay == "P" || m_strFreqDisplay == "B";
}

CDescribe::~CDescribe() = default;

std::string CDescribe::CheckOptions() {
    std::string msg;
    const std::string& freq = m_s.FreqCode;
    // Frequency cells need at least one interval of a positive width: the
    // column names take the width's logarithm and every value is divided
    // by it. Refused before any table is touched.
    if (m_bFreq) {
        if (m_nI < 1) msg = "The number of frequency intervals must be at least 1.";
        else if (!(m_freqWidth > 0) || !std::isfinite(m_freqWidth))
            msg = "The frequency interval width must be greater than 0.";
        else if (!std::isfinite(m_freqStart)) msg = "The frequency start value must be a number.";
        else if (!CFrequency::BordersAreNumbers(m_freqStart, m_freqWidth, m_nI))
            msg = CFrequency::BordersBeyondDoublesMessage(m_freqStart, m_freqWidth, m_nI);
        if (msg.empty()) {
            m_bFreqCount = charAt(freq, 1) == 'C';
            m_bFreqCumulative = charAt(freq, 2) == 'Y';
            m_bFreqLowerIncluded = charAt(freq, 3) == 'Y';
            m_bFreqOuterCells = charAt(freq, 4) == 'Y';
        }
    }
    // A level of 100 (a box's 99.5 and above stored as a whole number)
    // or more has no finite band: the t or z quantile would come back as
    // 0 and the band as the mean itself.
    const std::string ci = ToUpperAscii(m_conInt);
    if (msg.empty() && (ci == "N" || ci == "T") && (m_ciUser < 0 || m_ciUser >= 100))
        msg = "The other confidence interval must be from 1 to 99 percent, not " + std::to_string(m_ciUser) +
              " percent.";
    // A normal band is the given deviation times z: one below 0 would put
    // the lower limit above the upper.
    if (msg.empty() && ci == "N")
        for (std::size_t j = 1; j < m_popDev.size() && msg.empty(); ++j)
            if (m_popDev[j] < 0)
                msg = "The standard deviation of the normal confidence interval must not be below 0, not " +
                      NumberText(m_popDev[j]) + ".";
    return msg;
}

std::string CDescribe::Steps() {
    std::string msg = CheckOptions();
    if (msg.empty()) msg = OpenAndCreate(m_s.nG, false, [this] { return CreateOutput(); });
    if (Going(msg) && ToUpperAscii(m_conInt) == "N") {
        CZValue z;
        if (m_95) m_dblZ95 = z.Quorb_FindValue("Z", 0.95, 0, 0, false);
        if (m_ciUser > 0) m_dblZUser = z.Quorb_FindValue("Z", m_ciUser / 100.0, 0, 0, false);
    }
    if (Going(msg) && m_bSortTable) msg = MakeWorkDatabase();
    if (Going(msg)) {
        // One kept pass covers every output row (and the staged values of a
        // group that outgrows memory).
        if (m_bSortTable) m_stage = std::make_unique<SortStage>(Cx(), m_s.nX, SortStage::Values());
        m_sums.assign(static_cast<std::size_t>(m_s.nX) + 1, DescribeSums{});
        m_cells.assign(static_cast<std::size_t>(m_s.nX) + 1,
                       std::vector<double>(m_bFreq ? static_cast<std::size_t>(m_nI) + 3 : 0, 0.0));
        m_pcntDivisor = m_bPercentiles ? percentileDivisor(m_pcntiles) : 0;
        AnalyzeGroups(m_s.nG);
    }
    return msg;
}

void CDescribe::CloseOwn() {
    if (m_stage) m_stage->Close();
    m_stage.reset();
    m_lead.Clear();
}

// ---- the output table ------------------------------------------------------------------

std::string CDescribe::CreateOutput() {
    return Guard("CreateOutput", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, true, 0, 0, m_s.bW, "Count", "Missing");
        auto add = [&](const std::string& name) { AddTableField(td, name, dbDouble, ord, 0); };

        add("Mean");
        if (m_range) {
            add("Minimum");
            add("Maximum");
            add("Range");
        }
        if (!m_var.empty()) {
            add("Variance");
            add("CoeffOfVariance");
            add("StdDeviation");
            add("StdError");
        }
        if (m_sum) {
            add("Sum");
            add("SumSquared");
            add("AdjSumSquared");
        }
        if (m_means) {
            add("GeometricMean");
            add("HarmonicMean");
            add("RMS");
        }
        if (m_skew) {
            add("Skewness");
            add("SE_Skewness");
            add("Kurtosis");
            add("SE_Kurtosis");
        }
        if (m_mode) {
            add("Mode");
            add("ModeCount");
        }
        std::string ci = ToUpperAscii(m_conInt);
        if (ci == "T" || ci == "N") {
            if (ci == "N") add("Population_StdDev");
            if (m_95) {
                add("95%_" + m_conInt + "_Band");
                add("95%_Lower");
                add("95%_Upper");
            }
            if (m_ciUser > 0) {
                std::string lvl = std::to_string(m_ciUser);
                add(lvl + "%_" + m_conInt + "_Band");
                add(lvl + "%_Lower");
                add(lvl + "%_Upper");
            }
        }
        if (m_tTest) {
            add("Population_Mean");
            add("t-Value");
            add("Prob_(1-Tail)");
            add("Prob_(2-Tail)");
        }
        std::string p = upperFirst(m_pcntiles);
        if (p == "M") {
            add("Median");
        } else if (p == "Q") {
            add("25_Percentile");
            add("50_Percentile");
            add("75_Percentile");
            add("Quartile_Range");
        } else if (p == "5") {
            for (int i = 1; i <= 4; ++i) add(percentileColumn(20 * i));
        } else if (p == "D") {
            for (int i = 1; i <= 9; ++i) add(percentileColumn(10 * i));
        } else if (p == "P") {
            for (int i = 1; i <= 99; ++i) add(percentileColumn(i));
        }

        if (m_bFreq) {
            const int nI = m_nI;
            double width = m_freqWidth, start = m_freqStart;
            double s = width >= 1 ? 1.0 : std::pow(10.0, 3 - std::floor(std::log10(width)));
            std::string A = m_bFreqLowerIncluded ? "<=" : "<";
            std::string B = m_bFreqLowerIncluded ? "<" : "<=";
            m_strFreqNames.assign(static_cast<std::size_t>((nI + 2) * 2) + 1, std::string());
            auto label = [&](double v) { return NumberText(std::floor(v * s + 0.1) / s); };
            for (int k = 1; k <= nI; ++k) {
                std::string lo = label(start + (k - 1) * width);
                std::string hi = label(start + k * width);
                m_strFreqNames[static_cast<std::size_t>(k + 1)] = lo + A + "N" + B + hi;
                m_strFreqNames[static_cast<std::size_t>(k + nI + 3)] = lo + A + "%" + B + hi;
            }
            if (m_bFreqOuterCells) {
                std::string st = NumberText(start);
                std::string en = NumberText(start + nI * width);
                m_strFreqNames[1] = "N" + B + st;
                m_strFreqNames[static_cast<std::size_t>(nI + 2)] = en + A + "N";
                m_strFreqNames[static_cast<std::size_t>(nI + 3)] = "%" + B + st;
                m_strFreqNames[static_cast<std::size_t>((nI + 2) * 2)] = en + A + "%";
            }
            auto addCut = [&](int index) { add(m_strFreqNames[static_cast<std::size_t>(index)].substr(0, 64)); };
            if (m_strFreqDisplay == "N" || m_strFreqDisplay == "B") {
                if (m_bFreqOuterCells) addCut(1);
                for (int i = 2; i <= nI + 1; ++i) addCut(i);
                if (m_bFreqOuterCells) addCut(nI + 2);
            }
            if (m_strFreqDisplay == "P" || m_strFreqDisplay == "B") {
                if (m_bFreqOuterCells) addCut(nI + 3);
                for (int i = nI + 4; i <= 2 * nI + 3; ++i) addCut(i);
                if (m_bFreqOuterCells) addCut((nI + 2) * 2);
            }
        }
        // An earlier run's table is replaced (dropped, or emptied when it has
        // exactly these columns).
        return PlaceOutput(td, true);
    });
}

// ---- the record loop -------------------------------------------------------------------

void CDescribe::InitData() {
    Guard("InitData", [&] {
        for (std::size_t j = 1; j < m_sums.size(); ++j) {
            m_sums[j] = DescribeSums{};
            std::fill(m_cells[j].begin(), m_cells[j].end(), 0.0);
        }
        // The sort stage forgets the finished group (emptying or dropping the
        // sort table when the group used it).
        if (m_stage) m_stage->BeginGroup();
    });
}

void CDescribe::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        const std::size_t first = m_s.XPosition();
        for (std::size_t j = 1; j <= static_cast<std::size_t>(m_s.nX); ++j) {
            double x = 0;
            if (!Number(first + j - 1, x)) continue;
            DescribeSums& s = m_sums[j];
            s.mom.Add(x, w);
            if (m_means) {
                if (x > 0) {
                    s.SumLnX += std::log(x) * w;
                    // w/x = (w/m)·2^-e for x = m·2^e, summed in the unit 2^u, u the
                    // largest -e so far: the reciprocals of values near the
                    // smallest doubles are beyond a double's range, their
                    // harmonic mean is not. Powers of two scale exactly.
                    const int e = std::ilogb(x);
                    if (!s.InvUnitSet) {
                        s.InvUnit = -e;
                        s.InvUnitSet = true;
                    } else if (-e > s.InvUnit) {
                        s.SumInvX = std::ldexp(s.SumInvX, s.InvUnit + e);
                        s.InvUnit = -e;
                    }
                    s.SumInvX += std::ldexp(w / std::ldexp(x, -e), -e - s.InvUnit);
                } else {
                    ++s.NotPositive;
                }
            }
            if (m_bFreq) {
                bool isWhole = false;
                double whole = intervalPosition(x, m_freqStart, m_freqStartParts, m_freqWidth, m_freqWidthParts, isWhole);
                std::size_t top = static_cast<std::size_t>(m_nI) + 2;
                std::size_t cell;
                if (whole < 0) {
                    cell = 1;
                } else if (whole >= static_cast<double>(top)) {
                    cell = top;
                } else {
                    cell = static_cast<std::size_t>(whole) + 2;
                    if (!m_bFreqLowerIncluded && isWhole) cell -= 1;
                    if (cell > top) cell = top;
                }
                m_cells[j][cell] += m_bFreqCount ? w : x * w;
            }
            if (m_stage) m_stage->Add(static_cast<std::int16_t>(j), x, w);
        }
    });
}

// ---- one group's rows ------------------------------------------------------------------

void CDescribe::WriteData() {
    Guard("WriteData", [&] {
        RecordsetPtr out = Cx().OutputRecordset();
        const std::int16_t d = m_pcntDivisor;
        std::vector<double> r;
        if (m_bPercentiles) r.assign(static_cast<std::size_t>(d) + 1, 0.0);
        const std::string ci = ToUpperAscii(m_conInt);
        const bool sampleVar = ToUpperAscii(m_var) == "N-1";
        CZValue z;
        // Critical values of t by degrees of freedom: groups of the same
        // weight need the search only once.
        auto tCritical = [&z](std::map<double, double>& cache, double p, double df) {
            auto it = cache.find(df);
            if (it != cache.end()) return it->second;
            double t = z.Quorb_FindValue("T", p, df, 0, false);
            cache.emplace(df, t);
            return t;
        };
        for (std::int16_t j = 1; j <= m_s.nX; ++j) {
            const std::size_t J = static_cast<std::size_t>(j);
            const DescribeSums& sums = m_sums[J];
            const Moments& mo = sums.mom;
            const double W = mo.SumW();
            const std::int32_t n = mo.Count();
            const double m = W > 0 ? mo.Mean() : 0.0;
            const double v = W > 0 ? mo.Variance("N-1") : 0.0;
            // The deviation from the scaled sums: values near 1e-300 have one
            // though their variance is below a double's range.
            const double s = W > 0 ? mo.StdDev("N-1") : 0.0;

            out->AddNew();
            m_lead.Write(out, m_s.nG, m_s.fields, GroupValues(), static_cast<std::int16_t>(m_s.XPosition() + static_cast<std::size_t>(j) - 1), "Count",
                            "Missing", m_s.bW, W, GroupRecords(), n, 0, Variant::Null(), Variant::Null());
            // A statistic beyond a double's range (the variance of values
            // near 1e154) has no value to write: its cell is left Null, and
            // the deviation and the rest of the row stand.
            auto put = [&](const std::string& name, double value) {
                if (std::isfinite(value)) m_lead.Column(out, name)->SetValue(value);
            };

            if (W > 0) {
                put("Mean", m);
                if (m_range) {
                    put("Minimum", mo.Min());
                    put("Maximum", mo.Max());
                    // On the values as typed: 1000000000.9 − 1000000000.2 is 0.7,
                    // not the doubles' 0.69999993.
                    put("Range", Moments::DecimalDifference(mo.Max(), mo.Min()));
                }
                if (!m_var.empty() && (W > 1 || ToUpperAscii(m_var) == "N")) {
                    double var = sampleVar ? v : mo.Variance("N");
                    double sd = sampleVar ? s : mo.StdDev("N");
                    put("Variance", var);
                    if (m != 0) put("CoeffOfVariance", sd / m);
                    put("StdDeviation", sd);
                    put("StdError", sd / std::sqrt(W));
                }
                if (m_sum) {
                    put("Sum", mo.Sum());
                    put("SumSquared", mo.SumSquares());
                    put("AdjSumSquared", mo.M2());
                }
                if (m_means) {
                    // Logarithms and reciprocals exist only for positive values:
                    // a group with any value of 0 or below has neither mean.
                    if (sums.NotPositive == 0) {
                        put("GeometricMean", std::exp(sums.SumLnX / W));
                        if (sums.SumInvX != 0) put("HarmonicMean", std::ldexp(W / sums.SumInvX, -sums.InvUnit));
                    }
                    put("RMS", mo.RootMeanSquare());
                }
                if (m_skew && mo.Min() != mo.Max()) {
                    // The shape statistics divide by powers of the variance:
                    // besides distinct values they need a positive variance.
                    if (W > 2) {
                        // Beyond ordinary weight sums as quotients of
                        // quotients: their products overflow near 1e200.
                        const bool ordinary = W <= Moments::kOrdinaryWeight;
                        const double seSkew2 = ordinary ? 6 * W * (W - 1) / ((W - 2) * (W + 1) * (W + 3))
                                                        : 6 * (W / (W + 1)) * ((W - 1) / (W - 2)) / (W + 3);
                        if (auto sk = mo.Skewness()) put("Skewness", *sk);
                        put("SE_Skewness", std::sqrt(seSkew2));
                        if (W > 3) {
                            if (auto ku = mo.Kurtosis()) put("Kurtosis", *ku);
                            put("SE_Kurtosis", std::sqrt(ordinary ? 4 * (W * W - 1) * seSkew2 / ((W - 3) * (W + 5))
                                                                  : 4 * ((W - 1) / (W - 3)) * ((W + 1) / (W + 5)) * seSkew2));
                        }
                    }
                }
                // One ordered read of the field's staged values gives its mode
                // and its percentile points.
                const bool wantPcnt = m_bPercentiles && W > 1;
                ModeResult mode;
                if (m_stage && (m_mode || wantPcnt)) {
                    SortedWalk walk(m_s.bW, d, W, wantPcnt ? &r : nullptr, m_mode ? &mode : nullptr);
                    m_stage->Scan(j, [&](double x, double w) { walk.Row(x, w); });
                    walk.Finish();
                }
                if (m_mode && mode.weight > 0) {
                    put("ModeCount", mode.weight);
                    if (mode.unique) put("Mode", mode.value);
                }
                if (wantPcnt) {
                    std::string p = upperFirst(m_pcntiles);
                    if (p == "M") {
                        put("Median", r[1]);
                    } else if (p == "Q") {
                        put("25_Percentile", r[1]);
                        put("50_Percentile", r[2]);
                        put("75_Percentile", r[3]);
                        put("Quartile_Range", Moments::DecimalDifference(r[3], r[1]));
                    } else if (p == "5") {
                        for (int i = 1; i <= 4; ++i) put(percentileColumn(20 * i), r[static_cast<std::size_t>(i)]);
                    } else if (p == "D") {
                        for (int i = 1; i <= 9; ++i) put(percentileColumn(10 * i), r[static_cast<std::size_t>(i)]);
                    } else if (p == "P") {
                        for (int i = 1; i <= 99; ++i) put(percentileColumn(i), r[static_cast<std::size_t>(i)]);
                    }
                }
                const std::string lvl = std::to_string(m_ciUser);
                if (ci == "N") {
                    double sigma = m_popDev[J];
                    put("Population_StdDev", sigma);
                    if (m_95) {
                        double b = sigma * m_dblZ95 / std::sqrt(W);
                        put("95%_" + m_conInt + "_Band", b);
                        put("95%_Lower", Moments::DecimalDifference(m, b));
                        put("95%_Upper", b + m);
                    }
                    if (m_ciUser > 0) {
                        double b = sigma * m_dblZUser / std::sqrt(W);
                        put(lvl + "%_" + m_conInt + "_Band", b);
                        put(lvl + "%_Lower", Moments::DecimalDifference(m, b));
                        put(lvl + "%_Upper", b + m);
                    }
                } else if (W > 1 && ci == "T") {
                    // √(v/W); from the scaled deviation where v is below the
                    // double range, or beyond it (values near 1e154).
                    double e = v >= std::numeric_limits<double>::min() && std::isfinite(v) ? std::sqrt(v / W)
                                                                                          : s / std::sqrt(W);
                    // A critical value the search cannot find (0: degrees of
                    // freedom far below 1, where t is beyond the doubles) gives
                    // no band, not one of width 0.
                    const double t95 = m_95 ? tCritical(m_t95, 0.05, W - 1) : 0.0;
                    if (m_95 && t95 > 0) {
                        double b = t95 * e;
                        put("95%_" + m_conInt + "_Band", b);
                        put("95%_Lower", Moments::DecimalDifference(m, b));
                        put("95%_Upper", b + m);
                    }
                    const double tUser = m_ciUser > 0 ? tCritical(m_tUser, 1 - m_ciUser / 100.0, W - 1) : 0.0;
                    if (m_ciUser > 0 && tUser > 0) {
                        double b = tUser * e;
                        put(lvl + "%_" + m_conInt + "_Band", b);
                        put(lvl + "%_Lower", Moments::DecimalDifference(m, b));
                        put(lvl + "%_Upper", b + m);
                    }
                }
            }
            if (m_tTest && s > 0 && W > 1) {
                double mu0 = m_popMean[J];
                // The difference times √W alone can lie beyond a double
                // (values near 1e300, weights near 1e200): divided by s first.
                const double dm = Moments::DecimalDifference(m, mu0);
                double t = dm * std::sqrt(W) / s;
                if (!std::isfinite(t)) t = dm / s * std::sqrt(W);
                double p = z.Quorb_CalcProb("T", t, W - 1, 0);
                put("Population_Mean", mu0);
                put("t-Value", t);
                put("Prob_(1-Tail)", p / 2);
                put("Prob_(2-Tail)", p);
            }
            if (W > 0 && m_bFreq) {
                std::vector<double> cells = m_cells[J];
                const int nI = m_nI;
                if (m_bFreqCumulative) {
                    double run = m_bFreqOuterCells ? cells[1] : 0.0;
                    for (int i = 2; i <= nI + 1; ++i) {
                        run += cells[static_cast<std::size_t>(i)];
                        cells[static_cast<std::size_t>(i)] = run;
                    }
                    if (m_bFreqOuterCells) {
                        run += cells[static_cast<std::size_t>(nI + 2)];
                        cells[static_cast<std::size_t>(nI + 2)] = run;
                    }
                }
                auto cellsWritten = [&](auto&& write) {
                    if (m_bFreqOuterCells) write(1);
                    for (int i = 2; i <= nI + 1; ++i) write(i);
                    if (m_bFreqOuterCells) write(nI + 2);
                };
                auto name = [&](int index) { return m_strFreqNames[static_cast<std::size_t>(index)].substr(0, 64); };
                if (m_strFreqDisplay == "N" || m_strFreqDisplay == "B")
                    cellsWritten([&](int i) { put(name(i), cells[static_cast<std::size_t>(i)]); });
                // Fractions of W, every weight in one cell, below, inside or
                // above the intervals: taken as the cells' total, added in the
                // order the cumulative cells add them, so that the last reads
                // 1, not 0.9999999999999999, with fractional weights.
                double total = W;
                if (m_bFreqCount) {
                    total = 0;
                    for (int i = 1; i <= nI + 2; ++i) total += m_cells[J][static_cast<std::size_t>(i)];
                }
                if (m_strFreqDisplay == "P" || m_strFreqDisplay == "B")
                    cellsWritten([&](int i) { put(name(i + nI + 2), cells[static_cast<std::size_t>(i)] / total); });
            }
            out->Update();
        }
    });
}

// ---- percentiles from the sort table --------------------------------------------------

void CDescribe::Quorb_CalcPcntiles(std::int16_t intFieldNum, bool fWeightField, std::int16_t intPcntGroups,
                                   double dblTotalRecs, std::vector<double>& dblPcntiles, RunContext& engine) {
    ProcGuard proc(gEngineErr, "Quorb_CalcPcntiles");
    {
        // The sort table is read through its own database: no path has to be
        // quoted into the statement.
        std::string cols = fWeightField ? "[Data], [Weight]" : "[Data]";
        std::string sql = "SELECT " + cols + " FROM " + std::string(SortStage::TableName) + " where (([Field] = " +
                          std::to_string(intFieldNum) + " AND [Data] Is Not Null)) ORDER BY [Data];";
        RecordsetPtr rs = engine.TempDatabase()->OpenRecordset(sql, dbOpenSnapshot);
        FieldPtr data = rs->Fields("Data");
        FieldPtr weight = fWeightField ? rs->Fields("Weight") : nullptr;
        SortedWalk walk(fWeightField, intPcntGroups, dblTotalRecs, &dblPcntiles, nullptr);
        while (!rs->EOF_()) {
            walk.Row(data->Value().ToDouble(), weight ? weight->Value().ToDouble() : 1.0);
            rs->MoveNext();
        }
        walk.Finish();
        rs->Close();
    }
}

void CDescribe::Quorb_CalcPcntiles(SortStage& stage, std::int16_t intFieldNum, bool fWeightField,
                                   std::int16_t intPcntGroups, double dblTotalRecs, std::vector<double>& dblPcntiles) {
    SortedWalk walk(fWeightField, intPcntGroups, dblTotalRecs, &dblPcntiles, nullptr);
    stage.Scan(intFieldNum, [&](double x, double w) { walk.Row(x, w); });
    walk.Finish();
}
