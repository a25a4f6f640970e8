#include "analyses/nonparametric/CNonParamSign.h"

#include "engine/Moments.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

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

void CNonParamSign::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty())
        m_error = RunContext::UnexpectedErrorMessage(proc.Handler(),
                                                   m_fit ? "Unexpected error in K-S Fit" : "Unexpected error in Sign Test");
}

std::string CNonParamSign::Quorb_SignFitTest(std::string OutputTable1, std::string Table, FieldList& Fields,
                                             std::int16_t nG, std::int16_t nData, bool bWeighted, bool bFit,
                                             const std::vector<bool>& FitTypes, bool SignMean, bool SignMedian,
                                             bool SignCustom, double SignValue, RunContext& Engine) {
    ProcGuard proc(gEngineErr, "Quorb_SignFitTest");
    std::string result;
    m_Engine = &Engine;
    bool outputMade = false;
    try {
        m_out = OutputTable1;
        m_table = Table;
        m_fields = Fields;
        m_k = nG;
        m_nData = nData;
        m_bWeighted = bWeighted;
        m_fit = bFit;
        m_fitTypes.assign(4, false);
        for (std::size_t i = 1; i < 4 && i < FitTypes.size(); ++i) m_fitTypes[i] = bFit && FitTypes[i];
        m_mean = !bFit && SignMean;
        m_median = !bFit && SignMedian;
        m_custom = !bFit && SignCustom;
        m_customValue = bFit ? 0.0 : SignValue;

        const std::size_t k = static_cast<std::size_t>(m_k);
        m_work.assign(k + (m_bWeighted ? 3 : 2), std::string());
        for (std::size_t i = 1; i <= k; ++i) m_work[i] = m_fields[i];
        if (m_bWeighted) m_work[k + 2] = m_fields[k + static_cast<std::size_t>(m_nData) + 1];
        m_ZValue.Quorb_FactorialInit();

        for (std::int16_t j = 1; j <= m_nData && result.empty() && !Failed(); ++j) {
            m_work[k + 1] = m_fields[k + static_cast<std::size_t>(j)];
            Engine.Quorb_Msg(0, true, "Retrieving and sorting [" + m_work[k + 1] + "] data");
            // A field that cannot be read ends the run; the rows of earlier fields stay.
            result = OpenData();
            if (!result.empty() || Failed()) break;
            if (j == 1) {
                Engine.Quorb_Msg(0, true, "Creating output table");
                result = m_fit ? CreateOutputFit() : CreateOutput();
                if (!result.empty() || Failed()) break;
                outputMade = true;
            }
            ReadInKeptTransaction([&] { ReadRecords(); });
            if (auto rs = Engine.DataRecordset()) rs->Close();
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (auto rs = Engine.DataRecordset()) rs->Close();
        if (outputMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (result.empty() && Failed()) result = m_error;
    m_Engine = nullptr;
    return result;
}

std::string CNonParamSign::OpenData() {
    return m_Engine->Quorb_InitDataTable(m_table, m_work, m_k, m_types, m_sizes);
}

std::string CNonParamSign::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out);
        std::int16_t ord =
            CreateLeadFields(td, m_k, m_work, m_types, m_sizes, true, 0, 0, m_bWeighted, "Count", "Missing");
        AddTableField(td, "TestType", dbText, ord, 6);
        for (const char* name : {"TestValue", "Count<Test", "Count=Test", "Count>Test", "Prob<=Test", "Prob>=Test"})
            AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [this] { return OpenData(); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string CNonParamSign::CreateOutputFit() {
    ProcGuard proc(gEngineErr, "CreateOutputFit");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out);
        std::int16_t ord = CreateLeadFields(td, m_k, m_work, m_types, m_sizes, true, 0, 0, m_bWeighted, "Count", "");
        for (const char* name : {"Mean", "StdDeviation", "Minimum", "Maximum", "Range"})
            AddTableField(td, name, dbDouble, ord, 0);
        AddTableField(td, "TestType", dbText, ord, 7);
        for (const char* name : {"Max_Absolute", "Max_Positive", "Max_Negative", "K-S_Z", "Prob"})
            AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [this] { return OpenData(); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void CNonParamSign::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    try {
        RunContext& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        const std::size_t k = static_cast<std::size_t>(m_k);
        const std::string progress = "Field [" + m_work[k + 1] + "], analyzing record: ";
        std::vector<FieldPtr> keys(k + 1);
        for (std::size_t i = 1; i <= k; ++i) keys[i] = rs->Fields(m_work[i]);
        m_fData = rs->Fields(m_work[k + 1]);
        m_fWeight = m_bWeighted ? rs->Fields(m_work[k + 2]) : nullptr;
        std::vector<Variant> stored(k + 1, Variant::Null()), key(k + 1, Variant::Null());
        auto reset = [&] {
            m_groupRecords = 0;
            m_values.clear();
            m_W = m_sum = m_sumSq = 0;
            m_poisson = true;
        };
        auto write = [&] {
            if (m_fit) WriteDataFit(stored);
            else WriteData(stored);
        };
        reset();
        std::int64_t counter = 0;
        while (!rs->EOF_() && !Failed()) {
            for (std::size_t i = 1; i <= k; ++i) key[i] = keys[i]->Value();
            if (eng.Quorb_SameRecords_b(m_k, counter != 0, stored, key)) {
                write();
                stored = key;
                reset();
            }
            CalcData();
            ++m_groupRecords;
            ++counter;
            eng.Quorb_Msg(static_cast<long>(counter), false, progress + std::to_string(counter));
            rs->MoveNext();
        }
        if (Failed()) return;
        eng.Quorb_Msg(static_cast<long>(counter), true, progress + std::to_string(counter));
        if (counter > 0) write();
    } catch (...) {
        Fail(proc);
    }
}

// One record: a usable value has a weight above 0 (not the "Equal" missing
// value), is not Null and passes the missing-value rule.
void CNonParamSign::CalcData() {
    RunContext& eng = *m_Engine;
    double w = 1;
    if (m_bWeighted) {
        Variant v = m_fWeight->Value();
        w = v.IsNull() ? 0.0 : v.ToDouble();
        if (NamesEqual(eng.MissingRule(), "Equal") && w == eng.MissingEqualValue()) w = 0;
    }
    if (!(w > 0)) return;
    Variant v = m_fData->Value();
    if (v.IsNull()) return;
    const double x = v.ToDouble();
    if (!eng.Quorb_DataOk_b(x, false)) return;
    m_values.emplace_back(x, w);
    m_W += w;
    m_sum += x * w;
    m_sumSq += x * x * w;
    if (m_poisson && !(x >= 0 && std::floor(x) == x)) m_poisson = false;
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

void CNonParamSign::WriteData(const std::vector<Variant>& groupValues) {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        if (m_W <= 1) return;
        const double mean = m_sum / m_W;
        double median = 0;
        if (m_median) {
            const std::size_t m = m_values.size();
            if (m_bWeighted) {
                // The first value at which the running weight reaches half the total.
                double run = 0;
                for (const auto& [x, w] : m_values) {
                    run += w;
                    median = x;
                    if (run >= m_W / 2) break;
                }
            } else if (m % 2 == 0) {
                median = (m_values[m / 2 - 1].first + m_values[m / 2].first) / 2;
            } else {
                median = m_values[(m + 1) / 2 - 1].first;
            }
        }
        const struct {
            bool on;
            const char* name;
            double value;
        } tests[] = {{m_mean, "Mean", mean}, {m_median, "Median", median}, {m_custom, "Custom", m_customValue}};
        RecordsetPtr out = m_Engine->OutputRecordset();
        for (const auto& t : tests) {
            if (!t.on) continue;
            // Weighted counts are summed exactly and brought to whole numbers once.
            double below = 0, equal = 0, above = 0;
            for (const auto& [x, w] : m_values) {
                if (x < t.value) below += w;
                else if (x == t.value) equal += w;
                else above += w;
            }
            const auto nb = static_cast<std::int64_t>(std::nearbyint(below));
            const auto ne = static_cast<std::int64_t>(std::nearbyint(equal));
            const auto na = static_cast<std::int64_t>(std::nearbyint(above));
            out->AddNew();
            WriteLeadFields(*out, m_k, m_work, groupValues, static_cast<std::int16_t>(m_k + 1), "Count", "Missing",
                            m_bWeighted, m_W, static_cast<long>(m_groupRecords), static_cast<long>(m_values.size()), 0,
                            Variant::Null(), Variant::Null());
            out->Fields("TestType")->SetValue(std::string(t.name));
            out->Fields("TestValue")->SetValue(t.value);
            out->Fields("Count<Test")->SetValue(static_cast<double>(nb));
            out->Fields("Count=Test")->SetValue(static_cast<double>(ne));
            out->Fields("Count>Test")->SetValue(static_cast<double>(na));
            out->Fields("Prob<=Test")->SetValue(SignTest(nb + na, nb));
            out->Fields("Prob>=Test")->SetValue(SignTest(nb + na, na));
            out->Update();
        }
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamSign::WriteDataFit(const std::vector<Variant>& groupValues) {
    ProcGuard proc(gEngineErr, "WriteDataFit");
    try {
        if (m_W <= 1) return;
        // Deviations from the first value keep the digits of a large common offset.
        const double K = m_values.front().first;
        double dev = 0;
        for (const auto& [x, w] : m_values) dev += w * (x - K);
        const double meanDev = dev / m_W, mean = K + meanDev;
        double m2 = 0, rest = 0;
        for (const auto& [x, w] : m_values) {
            const double d = (x - K) - meanDev;
            m2 += w * d * d;
            rest += w * d;
        }
        m2 -= rest * rest / m_W;
        const double sd = m2 > 0 ? std::sqrt(m2 / (m_W - 1)) : 0.0;
        const double mn = m_values.front().first, mx = m_values.back().first;
        const double range = Moments::DecimalDifference(mx, mn);
        bool normalOk = false, poissonOk = m_poisson;
        double pos[4] = {0, 0, 0, 0}, neg[4] = {0, 0, 0, 0};
        CalcCompareFit(mean, meanDev, sd, normalOk, poissonOk, pos, neg);

        if (m_fitTypes[3] && !poissonOk) ExplainNoPoissonFit(groupValues, mean);
        RecordsetPtr out = m_Engine->OutputRecordset();
        const char* names[] = {"", "Uniform", "Normal", "Poisson"};
        for (int i = 1; i <= 3; ++i) {
            if (!m_fitTypes[static_cast<std::size_t>(i)]) continue;
            const bool usable = i == 1 || (i == 2 && normalOk) || (i == 3 && poissonOk);
            out->AddNew();
            WriteLeadFields(*out, m_k, m_work, groupValues, static_cast<std::int16_t>(m_k + 1), "Count", "",
                            m_bWeighted, m_W, static_cast<long>(m_groupRecords), static_cast<long>(m_values.size()), 0,
                            Variant::Null(), Variant::Null());
            out->Fields("TestType")->SetValue(std::string(names[i]));
            out->Fields("Mean")->SetValue(mean);
            out->Fields("StdDeviation")->SetValue(sd);
            out->Fields("Minimum")->SetValue(mn);
            out->Fields("Maximum")->SetValue(mx);
            out->Fields("Range")->SetValue(range);
            if (usable) {
                const double a = std::fabs(neg[i]) < pos[i] ? pos[i] : std::fabs(neg[i]);
                const double z = std::sqrt(m_W) * a;
                out->Fields("Max_Absolute")->SetValue(a);
                out->Fields("Max_Positive")->SetValue(pos[i]);
                out->Fields("Max_Negative")->SetValue(neg[i]);
                out->Fields("K-S_Z")->SetValue(z);
                out->Fields("Prob")->SetValue(m_ZValue.Quorb_CalcKSProb(z));
            }
            out->Update();
        }
    } catch (...) {
        Fail(proc);
    }
}

// The Poisson row of a group is left without its test statistics when the
// distribution cannot describe the values; the run's progress text says why,
// naming the field and the group.
void CNonParamSign::ExplainNoPoissonFit(const std::vector<Variant>& groupValues, double mean) {
    std::string text = "No Poisson fit for [" + m_work[m_k + 1] + "]";
    if (m_k > 0) {
        text += " in group ";
        for (std::size_t i = 1; i <= static_cast<std::size_t>(m_k); ++i) {
            if (i > 1) text += ", ";
            text += groupValues[i].IsNull() ? std::string("(Null)") : groupValues[i].ToString();
        }
    }
    if (!m_poisson) text += ": its values are not all whole numbers of 0 or more";
    else if (!(mean > 0)) text += ": the mean of its values is 0";
    else text += ": its values do not vary, so the normal curve that stands in for a mean this large has no spread";
    // A record number with the text forced: the text is raised as it stands.
    m_Engine->Quorb_Msg(static_cast<long>(m_groupRecords > 0 ? m_groupRecords : 1), true, text);
}

// One walk over the group's ascending values: at every distinct value p the
// share S of values up to p and the share S' below p are compared with the
// expected distribution function F(p).
void CNonParamSign::CalcCompareFit(double mean, double meanDev, double sd, bool& normalOk, bool& poissonOk, double pos[4],
                                   double neg[4]) {
    const double mn = m_values.front().first, mx = m_values.back().first;
    const double range = Moments::DecimalDifference(mx, mn);
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
    double F3 = 0;          // cumulative Poisson up to the next term index − 1
    std::int64_t next = 0;  // next Poisson term to add

    auto compare = [&](int i, double d) {
        if (d > 0 && d > pos[i]) pos[i] = d;
        else if (d <= 0 && d < neg[i]) neg[i] = d;
    };
    auto step = [&](double p, double S, double Sprev) {
        if (use[1]) {
            const double F = Moments::DecimalDifference(p, mn) / range;
            compare(1, Moments::DecimalDifference(Sprev, F));
            compare(1, Moments::DecimalDifference(S, F));
        }
        if (use[2] || (use[3] && large)) {
            const double F = normalCdf(m_ZValue, ((p - mn) - meanDev) / sd);
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
    for (const auto& [x, w] : m_values) {
        if (x != p) {
            const double S = C / m_W;
            step(p, S, Sprev);
            p = x;
            Sprev = S;
        }
        C += w;
    }
    step(p, C / m_W, Sprev);
}
