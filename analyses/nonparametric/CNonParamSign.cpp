#include "analyses/nonparametric/CNonParamSign.h"

#include "db/Decimal.h"
#include "engine/Moments.h"
#include "engine/ValueSpool.h"
#include "engine/modStatsGeneral.h"
#include "scenario/CMelvarsScenario.h"

#include <cmath>

using namespace dao;

namespace {

// Standard normal distribution function from the engine's central area.
double normalCdf(CZValue& zv, double z) {
    if (z == 0) return 0.5;
    if (z > 0) return zv.Quorb_CalcProb("Z", z, 0, 0) / 2 + 0.5;
    return Moments::DecimalDifference(0.5, zv.Quorb_CalcProb("Z", -z, 0, 0) / 2);
}

// Poisson means from this size on are compared with the normal curve.
constexpr double LargePoissonMean = 100000;

} // namespace

CNonParamSign::CNonParamSign(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_SignFitTest", settings.Fit ? "K-S Fit" : "Sign Test"), m_s(settings) {}

CNonParamSign::~CNonParamSign() = default;

std::string CNonParamSign::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                        AnalysisType::Settings& out) {
    Settings& a = NewSettings<Settings>(base, out);
    a.Fit = NamesEqual(s.CalcType(), "K-S Fit");
    if (a.Fit) {
        a.Distributions[1] = s.FitUniform();
        a.Distributions[2] = s.FitNormal();
        a.Distributions[3] = s.FitPoisson();
    } else {
        a.AgainstMean = s.SignMean();
        a.AgainstMedian = s.SignMedian();
        a.AgainstCustom = s.SignCustom();
        const Variant& v = s.SignValue();
        a.CustomValue = (v.IsNull() || v.IsEmpty()) ? 0.0 : v.ToDouble();
    }
    return {};
}

std::string CNonParamSign::Steps() {
    const bool fit = m_s.Fit;
    m_fitTypes.assign(4, false);
    for (std::size_t i = 1; i < 4 && i < m_s.Distributions.size(); ++i) m_fitTypes[i] = fit && m_s.Distributions[i];
    m_mean = !fit && m_s.AgainstMean;
    m_median = !fit && m_s.AgainstMedian;
    m_custom = !fit && m_s.AgainstCustom;

    const std::size_t k = static_cast<std::size_t>(m_s.nG);
    m_work.assign(k + (m_s.bW ? 3 : 2), std::string());
    for (std::size_t i = 1; i <= k; ++i) m_work[i] = m_s.fields[i];
    if (m_s.bW) m_work[k + 2] = m_s.fields[static_cast<std::size_t>(m_s.WeightPosition())];
    ReadFields(m_work, m_s.bW ? k + 2 : 0);
    m_ZValue.Quorb_FactorialInit();
    m_spool = std::make_unique<ValueSpool>(Cx());

    std::string msg;
    for (std::int16_t j = 1; j <= m_s.nX && Going(msg); ++j) {
        m_work[k + 1] = m_s.fields[m_s.XPosition() + static_cast<std::size_t>(j) - 1];
        Progress("Retrieving and sorting [" + m_work[k + 1] + "] data");
        // A field that cannot be read ends the run; the rows of earlier fields stay.
        msg = OpenSource(m_work, m_s.nG);
        if (!Going(msg)) break;
        if (j == 1) {
            Progress("Creating output table");
            msg = fit ? CreateOutputFit() : CreateOutput();
            if (!Going(msg)) break;
        }
        RecordProgress("Field [" + m_work[k + 1] + "], analyzing record: ");
        Kept([this] { ReadGroups(m_s.nG); });
        if (auto rs = Cx().DataRecordset()) rs->Close();
    }
    return msg;
}

void CNonParamSign::CloseOwn() {
    if (m_spool) m_spool->Close();
    m_spool.reset();
}

std::string CNonParamSign::CreateOutput() {
    return Guard("CreateOutput", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord =
            CreateLeadFields(td, m_s.nG, m_work, m_types, m_sizes, true, 0, 0, m_s.bW, "Count", "Missing");
        AddTableField(td, "TestType", dbText, ord, 6);
        for (const char* name : {"TestValue", "Count<Test", "Count=Test", "Count>Test", "Prob<=Test", "Prob>=Test"})
            AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

std::string CNonParamSign::CreateOutputFit() {
    return Guard("CreateOutputFit", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, m_s.nG, m_work, m_types, m_sizes, true, 0, 0, m_s.bW, "Count", "");
        for (const char* name : {"Mean", "StdDeviation", "Minimum", "Maximum", "Range"})
            AddTableField(td, name, dbDouble, ord, 0);
        AddTableField(td, "TestType", dbText, ord, 7);
        for (const char* name : {"Max_Absolute", "Max_Positive", "Max_Negative", "K-S_Z", "Prob"})
            AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

void CNonParamSign::InitData() {
    Guard("InitData", [&] {
        m_used = 0;
        m_W = m_first = m_dev = m_last = m_devQuarter = 0;
        m_poisson = true;
        m_spool->BeginGroup();
    });
}

// One record: a usable value has a weight above 0 (not the "Equal" missing
// value), is not Null and passes the missing-value rule.
void CNonParamSign::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        double x = 0;
        if (!Number(static_cast<std::size_t>(m_s.nG) + 1, x)) return;
        if (m_used == 0) m_first = x;
        ++m_used;
        m_last = x;
        m_W += w;
        // Deviations from the first value keep the digits of a large common offset.
        m_dev += w * (x - m_first);
        m_devQuarter += w / m_W * ((x * 0.25 - m_first * 0.25) - m_devQuarter);
        if (m_poisson && !(x >= 0 && std::floor(x) == x)) m_poisson = false;
        m_spool->Add(x, w);
    });
}

void CNonParamSign::WriteData() {
    if (m_s.Fit) Guard("WriteDataFit", [&] { WriteFit(); });
    else Guard("WriteData", [&] { WriteSign(); });
}

double CNonParamSign::SignTest(std::int64_t n, std::int64_t k) {
    if (n <= 0) return 1.0;
    if (k < 0) return 0.0;
    if (k >= n) return 1.0;
    if (n <= 25) {
        // Σ C(n, i) for i = 0 .. k over 2^n, in whole numbers.
        std::int64_t c = 1, sum = 1;
        for (std::int64_t i = 1; i <= k; ++i) {
            c = c * (n - i + 1) / i;
            sum += c;
        }
        return static_cast<double>(sum) / static_cast<double>(std::int64_t(1) << n);
    }
    const double z = Moments::DecimalDifference(static_cast<double>(k) + 0.5, static_cast<double>(n) / 2) /
                     (0.5 * std::sqrt(static_cast<double>(n)));
    return normalCdf(m_ZValue, z);
}

void CNonParamSign::WriteSign() {
    if (m_W <= 1) return;
    // About the first value: a sum of values near 1e15 drops their spread.
    // In quarters where the deviations' sum is beyond a double's range.
    const double mean = std::isfinite(m_dev) ? m_first + m_dev / m_W : (m_first * 0.25 + m_devQuarter) * 4;
    // Weighted counts are summed exactly and brought to whole numbers once:
    // [test][below, equal, above], the tests Mean, Median, Custom.
    double counts[3][3] = {};
    auto count = [&counts](int t, double value, double x, double w) {
        if (x < value) counts[t][0] += w;
        else if (x == value) counts[t][1] += w;
        else counts[t][2] += w;
    };
    // The median: unweighted, the middle value or the mean of the two middle
    // ones; weighted, the first value at which the running weight reaches
    // half the total.
    double median = 0;
    const std::int64_t m = m_used;
    const std::int64_t lower = m % 2 == 0 ? m / 2 : (m + 1) / 2;
    std::int64_t position = 0;
    double run = 0;
    bool found = false;
    m_spool->Replay([&](double x, double w) {
        if (m_mean) count(0, mean, x, w);
        if (m_custom) count(2, m_s.CustomValue, x, w);
        if (!m_median || found) return;
        if (m_s.bW) {
            run += w;
            median = x;
            found = run >= m_W / 2;
        } else {
            ++position;
            if (position == lower) {
                median = x;
                found = m % 2 != 0;
            } else if (position == lower + 1) {
                // Two values near 1.7e308 sum beyond a double; their halves do not.
                const double sum = median + x;
                median = std::isfinite(sum) ? sum / 2 : median * 0.5 + x * 0.5;
                found = true;
            }
        }
    });
    if (m_median) m_spool->Replay([&](double x, double w) { count(1, median, x, w); });

    const struct {
        bool on;
        const char* name;
        double value;
    } tests[] = {{m_mean, "Mean", mean}, {m_median, "Median", median}, {m_custom, "Custom", m_s.CustomValue}};
    RecordsetPtr out = Cx().OutputRecordset();
    for (int t = 0; t < 3; ++t) {
        if (!tests[t].on) continue;
        const std::int64_t nb = WholeCount(counts[t][0]), ne = WholeCount(counts[t][1]), na = WholeCount(counts[t][2]);
        out->AddNew();
        m_outColumns.Write(out, m_s.nG, m_work, GroupValues(), static_cast<std::int16_t>(m_s.nG + 1), "Count", "Missing",
                        m_s.bW, m_W, static_cast<long>(GroupRecords()), static_cast<long>(m_used), 0, Variant::Null(),
                        Variant::Null());
        m_outColumns.Column(out, "TestType")->SetValue(std::string(tests[t].name));
        m_outColumns.Column(out, "TestValue")->SetValue(tests[t].value);
        m_outColumns.Column(out, "Count<Test")->SetValue(static_cast<double>(nb));
        m_outColumns.Column(out, "Count=Test")->SetValue(static_cast<double>(ne));
        m_outColumns.Column(out, "Count>Test")->SetValue(static_cast<double>(na));
        m_outColumns.Column(out, "Prob<=Test")->SetValue(SignTest(nb + na, nb));
        m_outColumns.Column(out, "Prob>=Test")->SetValue(SignTest(nb + na, na));
        out->Update();
    }
}

double CNonParamSign::CalcQProb(double z) {
    if (z >= 0 && z <= 1) {
        if (z == 0) return 0.0; // v = exp(−∞)
        const double v = std::exp(-1.233701 / (z * z));
        return v + std::pow(v, 9) + std::pow(v, 25);
    }
    if (z > 1 && z <= 3.1) {
        const double q = std::exp(-2 * z * z);
        const Decimal sum = Decimal(q) - Decimal(std::pow(q, 4)) + Decimal(std::pow(q, 9)) - Decimal(std::pow(q, 16));
        return sum.ToDouble();
    }
    return 0.0;
}

double CNonParamSign::FitProb(double z) {
    if (z >= 0 && z <= 0.27) return 1.0;
    if (z > 0.27 && z <= 1) return Moments::DecimalDifference(1.0, 2.506628 / z * CalcQProb(z));
    if (z > 1 && z <= 3.1) return 2 * CalcQProb(z);
    return 0.0;
}

void CNonParamSign::WriteFit() {
    if (m_W <= 1) return;
    // Deviations from the first value K keep the digits of a large common offset.
    // Values spanning beyond a double's range (-1.5e308 to 1.7e308) are
    // taken in quarters (f = 1/4, exact), their mean from the quarters'
    // running mean; the range is then left Null.
    const bool spanning = !std::isfinite(m_dev) || !std::isfinite(m_last - m_first);
    const double f = spanning ? 0.25 : 1.0;
    const double K = m_first * f;
    const double meanDev = spanning ? m_devQuarter : m_dev / m_W;
    const double mean = spanning ? (K + meanDev) / f : K + meanDev;
    // Values whose squares are beyond a double's range (near 1e-300) are
    // measured in a power of two near their spread; ordinary ones in 1.
    const double span = m_last * f - K;
    const int e = Moments::SpreadUnit(span);
    double m2 = 0, rest = 0;
    m_spool->Replay([&](double x, double w) {
        const double d = std::ldexp((x * f - K) - meanDev, -e);
        m2 += w * d * d;
        rest += w * d;
    });
    // rest·(rest/W): the square of the rounding left in the deviations' sum
    // is beyond a double's range for weights near 1e200.
    m2 -= rest * (rest / m_W);
    const double sdF = m2 > 0 ? std::ldexp(std::sqrt(m2 / (m_W - 1)), e) : 0.0, sd = sdF / f;
    const double mn = m_first, mx = m_last;
    const double range = Moments::DecimalDifference(mx, mn);
    bool normalOk = false, poissonOk = m_poisson;
    double pos[4] = {0, 0, 0, 0}, neg[4] = {0, 0, 0, 0};
    CalcCompareFit(mean, meanDev, sdF, f, normalOk, poissonOk, pos, neg);

    if (m_fitTypes[3] && !poissonOk) ExplainNoPoissonFit(mean);
    RecordsetPtr out = Cx().OutputRecordset();
    const char* names[] = {"", "Uniform", "Normal", "Poisson"};
    for (int i = 1; i <= 3; ++i) {
        if (!m_fitTypes[static_cast<std::size_t>(i)]) continue;
        const bool usable = i == 1 || (i == 2 && normalOk) || (i == 3 && poissonOk);
        out->AddNew();
        m_outColumns.Write(out, m_s.nG, m_work, GroupValues(), static_cast<std::int16_t>(m_s.nG + 1), "Count", "",
                        m_s.bW, m_W, static_cast<long>(GroupRecords()), static_cast<long>(m_used), 0, Variant::Null(),
                        Variant::Null());
        m_outColumns.Column(out, "TestType")->SetValue(std::string(names[i]));
        m_outColumns.Column(out, "Mean")->SetValue(mean);
        if (std::isfinite(sd)) m_outColumns.Column(out, "StdDeviation")->SetValue(sd);
        m_outColumns.Column(out, "Minimum")->SetValue(mn);
        m_outColumns.Column(out, "Maximum")->SetValue(mx);
        if (std::isfinite(range)) m_outColumns.Column(out, "Range")->SetValue(range);
        if (usable) {
            const double a = std::fabs(neg[i]) < pos[i] ? pos[i] : std::fabs(neg[i]);
            const double z = std::sqrt(m_W) * a;
            m_outColumns.Column(out, "Max_Absolute")->SetValue(a);
            m_outColumns.Column(out, "Max_Positive")->SetValue(pos[i]);
            m_outColumns.Column(out, "Max_Negative")->SetValue(neg[i]);
            m_outColumns.Column(out, "K-S_Z")->SetValue(z);
            m_outColumns.Column(out, "Prob")->SetValue(FitProb(z));
        }
        out->Update();
    }
}

// The Poisson row of a group is left without its test statistics when the
// distribution cannot describe the values; the run's progress text says why,
// naming the field and the group.
void CNonParamSign::ExplainNoPoissonFit(double mean) {
    const std::size_t k = static_cast<std::size_t>(m_s.nG);
    std::string text = "No Poisson fit for [" + m_work[k + 1] + "]";
    if (k > 0) {
        text += " in group ";
        for (std::size_t i = 1; i <= k; ++i) {
            if (i > 1) text += ", ";
            text += GroupValues()[i].IsNull() ? std::string("(Null)") : GroupValues()[i].ToString();
        }
    }
    if (!m_poisson) text += ": its values are not all whole numbers of 0 or more";
    else if (!(mean > 0)) text += ": the mean of its values is 0";
    else text += ": its values do not vary, so the normal curve that stands in for a mean this large has no spread";
    // A record number with the text forced: the text is raised as it stands.
    Cx().Quorb_Msg(static_cast<long>(GroupRecords() > 0 ? GroupRecords() : 1), true, text);
}

// One walk over the group's ascending values: at every distinct value p the
// share S of values up to p and the share S' below p are compared with the
// expected distribution function F(p).
void CNonParamSign::CalcCompareFit(double mean, double meanDev, double sd, double f, bool& normalOk, bool& poissonOk,
                                   double pos[4], double neg[4]) {
    const double mn = m_first, mx = m_last;
    const double range = f == 1 ? Moments::DecimalDifference(mx, mn) : mx * f - mn * f;
    normalOk = sd > 0;
    bool large = false;
    if (poissonOk) poissonOk = mean > 0;
    if (poissonOk) {
        large = mean >= LargePoissonMean;
        // The normal curve stands in for a large mean; without spread it has no z.
        if (large && !(sd > 0)) poissonOk = false;
    }
    const bool use[4] = {false, m_fitTypes[1] && range > 0, m_fitTypes[2] && normalOk, m_fitTypes[3] && poissonOk};
    const double lnMean = poissonOk && !large ? std::log(mean) : 0.0;
    double F3 = 0;         // cumulative Poisson up to the next term index − 1
    std::int64_t next = 0; // next Poisson term to add

    auto compare = [&](int i, double d) {
        if (d > 0 && d > pos[i]) pos[i] = d;
        else if (d <= 0 && d < neg[i]) neg[i] = d;
    };
    auto step = [&](double p, double S, double Sprev) {
        if (use[1]) {
            const double F = (f == 1 ? Moments::DecimalDifference(p, mn) : p * f - mn * f) / range;
            compare(1, Moments::DecimalDifference(Sprev, F));
            compare(1, Moments::DecimalDifference(S, F));
        }
        if (use[2] || (use[3] && large)) {
            const double F = normalCdf(m_ZValue, ((p * f - mn * f) - meanDev) / sd);
            if (use[2]) {
                compare(2, Moments::DecimalDifference(Sprev, F));
                compare(2, Moments::DecimalDifference(S, F));
            }
            if (use[3] && large) {
                compare(3, Moments::DecimalDifference(Sprev, F));
                compare(3, Moments::DecimalDifference(S, F));
            }
        }
        if (use[3] && !large) {
            // Every term up to p is added: the distribution function is exact at each step.
            const auto upTo = static_cast<std::int64_t>(std::floor(p));
            for (; next <= upTo; ++next) {
                const double term = m_ZValue.Quorb_Poisson(mean, lnMean, static_cast<std::int32_t>(next));
                if (term == 0 && static_cast<double>(next) > mean) {
                    next = upTo + 1; // the remaining terms are below the smallest double
                    break;
                }
                F3 += term;
            }
            compare(3, Moments::DecimalDifference(S, F3 > 1 ? 1.0 : F3));
        }
    };

    double C = 0, Sprev = 0, p = mn;
    m_spool->Replay([&](double x, double w) {
        if (x != p) {
            const double S = C / m_W;
            step(p, S, Sprev);
            p = x;
            Sprev = S;
        }
        C += w;
    });
    step(p, C / m_W, Sprev);
}
