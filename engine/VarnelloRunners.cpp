// The runners: one per analysis type, turning a loaded scenario's options into
// the argument list of its analysis entry.
#include "engine/VarnelloCore.h"

#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "scenario/CMelvarsScenario.h"

#include <cmath>

using namespace dao;

namespace {

std::string firstChar(const std::string& s) { return s.substr(0, 1); }

double doubleOr0(const Variant& v) { return (v.IsNull() || v.IsEmpty()) ? 0.0 : v.ToDouble(); }

// Runs a runner's body under the engine's error handler: an unexpected error
// is reported there and the runner returns the empty message it held.
template <class Body>
std::string guarded(const char* name, Body&& body) {
    ProcGuard proc(gEngineErr, name);
    try {
        return body();
    } catch (...) {
        proc.HandleError();
    }
    return {};
}

template <class Args>
std::function<std::string(Args&, VarnelloCore&)> unavailable(const std::string& type) {
    return [type](Args&, VarnelloCore&) { return "Analysis not available: " + type; };
}

} // namespace

// Analyses register themselves here as they are built.
AnalysisEntries AnalysisEntries::Builtin() {
    AnalysisEntries e;
    e.ANOVA = unavailable<AnovaArgs>("ANOVA");
    e.Describe = unavailable<DescribeArgs>("Describe");
    e.Frequency = unavailable<FrequencyArgs>("Frequency");
    e.Percentile = unavailable<PercentileArgs>("Percentiles");
    e.Compare = unavailable<CompareArgs>("Compare");
    e.Matrix = unavailable<MatrixArgs>("Matrix");
    e.Regression = unavailable<RegressionArgs>("Regression");
    e.Xtab = unavailable<XtabArgs>("Crosstab");
    e.ChiSquare = unavailable<ChiSquareArgs>("Chi-Square");
    e.SignFit = unavailable<SignFitArgs>("Sign Test");
    e.NonParametric = unavailable<NonParametricArgs>("Paired Fields");
    e.Runs = unavailable<RunsArgs>("2 Sample");
    e.MannKSKruskal = unavailable<MannKSKruskalArgs>("2 Sample");
    e.Friedman = unavailable<FriedmanArgs>("N Fields");
    RegisterBuiltinAnalyses(e);
    return e;
}

std::string VarnelloCore::DescFreqInit_ZUR(bool bRoundWidth, std::int16_t intervals, bool lowerIncluded,
                                       const std::string& table, const FieldList& fields, std::int16_t nG,
                                       std::int16_t nX, double& start, double& width) {
    ProcGuard proc(gEngineErr, "DescFreqInit_ZUR");
    std::string msg;
    std::string current; // the field being read, for the message of a failure
    try {
        Quorb_Msg(0, true, "Calculating default frequency values");
        bool found = false;
        double mn = 0, mx = 0;
        // One scan finds the bounds of every field: each field's missing-value
        // rule picks the values its own minimum and maximum see.
        if (nX < 1) return "No data found";
        std::string sql = "SELECT ";
        for (int i = 1; i <= nX; ++i) {
            std::string F = BracketName(fields[static_cast<std::size_t>(nG + i)]);
            std::string where = Quorb_DataWhere(F);
            std::string value = where.empty() ? F : "IIf(" + where + ", " + F + ", Null)";
            std::string n = std::to_string(i);
            if (i > 1) sql += ", ";
            sql += "MIN(" + value + ") as Minimum" + n + ", MAX(" + value + ") as Maximum" + n;
        }
        sql += " FROM " + BracketName(table) + ";";
        RecordsetPtr rs = m_sourceDb->OpenRecordset(sql);
        for (int i = 1; i <= nX && !rs->EOF_(); ++i) {
            Variant lo = rs->Fields("Minimum" + std::to_string(i))->Value();
            Variant hi = rs->Fields("Maximum" + std::to_string(i))->Value();
            current = fields[static_cast<std::size_t>(nG + i)];
            if (!lo.IsNull()) (void)DataValue(lo, current);
            if (!hi.IsNull()) (void)DataValue(hi, current);
            if (lo.IsNull()) continue;
            if (!found) {
                mn = lo.ToDouble();
                mx = hi.ToDouble();
                found = true;
            } else {
                if (lo.ToDouble() < mn) mn = lo.ToDouble();
                if (!hi.IsNull() && hi.ToDouble() > mx) mx = hi.ToDouble();
            }
        }
        rs->Close();
        if (!found) return "No data found";
        if (intervals < 1) return "The number of frequency intervals must be at least 1.";
        double pad = 0;
        if (mn != mx) {
            double L = std::log10(mx - mn);
            pad = L > 0 ? std::pow(10.0, L - 1) : std::pow(10.0, L - 2);
        }
        width = (mx + pad - mn) / intervals;
        if (width < 1) {
            if (bRoundWidth && width > 0) {
                width = RoundUpToTwoDigits(width);
            } else {
                // Without rounding, and for constant data (a width of 0) with it, the width is 1.
                width = 1;
            }
        }
        start = lowerIncluded ? mn : mn - pad;
    } catch (...) {
        // The cause itself (a damaged file, a name that cannot be written, a
        // value that is no number), not a width of 0 found later.
        proc.HandleError();
        msg = UnexpectedErrorMessage(proc.Handler(), "The default frequency values of " + current + " in " + table +
                                                         " could not be worked out.");
    }
    return msg;
}

std::string VarnelloCore::RunGroup_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nC,
                                     std::int16_t nX, bool bW) {
    return guarded("RunGroup_s_ZUR", [&]() -> std::string {
        AnovaArgs a;
        a.Kind = ToUpperAscii(s.CalcType()) == "TWO SAMPLE T-TEST" ? "T" : "A";
        a.KeepBlankCompare = !s.GroupIgnoreBlanks();
        a.OutputTable1 = s.OutputTable1();
        a.OutputTable2 = s.OutputTable2();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nC = nC;
        a.nX = nX;
        a.bW = bW;
        return m_entries.ANOVA(a, *this);
    });
}

std::string VarnelloCore::RunDescribe_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW) {
    return guarded("RunDescribe_s_ZUR", [&]() -> std::string {
        DescribeArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.bW = bW;
        a.Range = s.Range();
        a.VarMethod = s.VarStd() ? s.VarNRadio() : std::string();
        a.Sum = s.Sum();
        a.Mean = s.Mean();
        a.Skew = s.Skew();
        a.Mode = s.Mode();
        a.PercentileLetter = s.Percentile() ? firstChar(s.PercentileRadio()) : "-";
        a.IntervalLetter = s.CI() ? firstChar(s.CITypeRadio()) : "-";
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
                std::string msg = DescFreqInit_ZUR(false, a.Intervals, lower, a.Table, f, nG, nX, a.Start, a.Width);
                if (!msg.empty()) return msg;
            }
        }
        return m_entries.Describe(a, *this);
    });
}

std::string VarnelloCore::RunFrequency_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW) {
    return guarded("RunFrequency_s_ZUR", [&]() -> std::string {
        FrequencyArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.bW = bW;
        bool user = !NamesEqual(s.FreqGroupRadio(), "Default");
        bool lower = NamesEqual(s.FreqIncRadio(), "Lower");
        a.FreqCode = std::string(s.FreqSum() ? "S" : "-") + (lower ? "Y" : "N") + (user ? "Y" : "N");
        a.Intervals = s.InterV();
        if (user) {
            a.Start = doubleOr0(s.FreqInit());
            a.Width = doubleOr0(s.FreqWidth());
        } else {
            std::string msg = DescFreqInit_ZUR(true, a.Intervals, lower, a.Table, f, nG, nX, a.Start, a.Width);
            if (!msg.empty()) return msg;
        }
        return m_entries.Frequency(a, *this);
    });
}

std::string VarnelloCore::RunPercentile_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW) {
    return guarded("RunPercentile_s_ZUR", [&]() -> std::string {
        PercentileArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.bW = bW;
        a.PercentileLetter = firstChar(s.PercentileRadio());
        return m_entries.Percentile(a, *this);
    });
}

std::string VarnelloCore::RunCompare_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bY,
                                       bool bW) {
    return guarded("RunCompare_s_ZUR", [&]() -> std::string {
        if (!bY) return "Y Field not assigned";
        CompareArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.bW = bW;
        a.Switches = BoolToYN(s.CountXY()) + BoolToYN(s.MeanXY()) + BoolToYN(s.CorrXY()) + BoolToYN(s.TTest()) + "N";
        return m_entries.Compare(a, *this);
    });
}

std::string VarnelloCore::RunMatrix_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW) {
    return guarded("RunMatrix_s_ZUR", [&]() -> std::string {
        MatrixArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.bW = bW;
        a.ProbTail = firstChar(s.MProbTail());
        a.Switches = BoolToYN(s.MCnt()) + BoolToYN(s.MMis()) + BoolToYN(s.MMean()) + BoolToYN(s.MDev()) +
                     BoolToYN(s.MCov()) + BoolToYN(s.MCor()) + BoolToYN(s.MR2()) + BoolToYN(s.MT()) + BoolToYN(s.MProb());
        return m_entries.Matrix(a, *this);
    });
}

std::string VarnelloCore::RunRegression_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW) {
    return guarded("RunRegression_s_ZUR", [&]() -> std::string {
        std::string type = ToUpperAscii(s.RegressType());
        if (type != "S" && type != "M" && type != "P")
            return "Unknown regression type: " + s.RegressType();
        RegressionArgs a;
        a.Kind = type[0];
        a.OutputTable1 = s.OutputTable1();
        a.OutputTable2 = s.OutputTable2();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.bW = bW;
        a.Anova = s.RAnova();
        a.YIntercept = s.RYInt();
        a.ConfidenceLevel = 0;
        if (a.Kind == 'P') a.PolyOrder = s.RPoly();
        return m_entries.Regression(a, *this);
    });
}

std::string VarnelloCore::RunCrosstab_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bW) {
    return guarded("RunCrosstab_s_ZUR", [&]() -> std::string {
        if (nG < 1) return "At least one row field must be assigned";
        XtabArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.OutputTable2 = s.OutputTable2();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.bW = bW;
        a.CellFunction = s.XType();
        a.Switches = BoolToYN(s.XRowPCnt()) + BoolToYN(s.XColPcnt()) + BoolToYN(s.XTotPcnt()) +
                     BoolToYN(s.XExpectPcnt()) + BoolToYN(s.XExpect()) + BoolToYN(s.XChi());
        return m_entries.Xtab(a, *this);
    });
}

std::string VarnelloCore::RunChiSquare_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nC, bool bW) {
    return guarded("RunChiSquare_s_ZUR", [&]() -> std::string {
        ChiSquareArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.OutputTable2 = s.OutputTable2();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nC = nC;
        a.bW = bW;
        a.Detail = s.ChiDetail();
        a.KeepBlanks = !s.ChiIgnoreBlanks();
        a.AllCategories = s.ChiAll();
        return m_entries.ChiSquare(a, *this);
    });
}

std::string VarnelloCore::RunSignFit_s_ZUR(const std::string& kind, CMelvarsScenario& s, FieldList& f, std::int16_t nG,
                                       std::int16_t nX, bool bW) {
    return guarded("RunSignFit_s_ZUR", [&]() -> std::string {
        SignFitArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.bW = bW;
        a.Fit = NamesEqual(kind, "Fit");
        a.Distributions.assign(4, false);
        if (a.Fit) {
            a.Distributions[1] = s.FitUniform();
            a.Distributions[2] = s.FitNormal();
            a.Distributions[3] = s.FitPoisson();
        } else {
            a.AgainstMean = s.SignMean();
            a.AgainstMedian = s.SignMedian();
            a.AgainstCustom = s.SignCustom();
            a.CustomValue = doubleOr0(s.SignValue());
        }
        return m_entries.SignFit(a, *this);
    });
}

std::string VarnelloCore::RunNPPaired_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nX, bool bY,
                                        bool bW) {
    return guarded("RunNPPaired_s_ZUR", [&]() -> std::string {
        if (!bY) return "Y Field not assigned";
        NonParametricArgs a;
        a.OutputTable1 = s.OutputTable1();
        a.Table = s.Table();
        a.fields = f;
        a.nG = nG;
        a.nX = nX;
        a.YPosition = static_cast<std::int16_t>(nG + nX + 1);
        a.bW = bW;
        a.Zero = 0;
        a.Zeros.assign(static_cast<std::size_t>(nX) + 1, 0.0);
        a.Sign = s.NPPair_Sign();
        a.Wilcoxon = s.NPPair_Wilcoxon();
        a.Spearman = s.NPPair_Spearman();
        a.Tau = false;
        a.ChiSquare = false;
        return m_entries.NonParametric(a, *this);
    });
}

std::string VarnelloCore::RunNPTwoSample_s_ZUR(CMelvarsScenario& s, FieldList& f, std::int16_t nG, std::int16_t nC,
                                           std::int16_t nX, bool bW) {
    return guarded("RunNPTwoSample_s_ZUR", [&]() -> std::string {
        if (nC == 0) return "At least one Compare field must be assigned";
        if (nC > 1) return "Only one Compare field may be assigned";
        if (NamesEqual(s.NPTwoType(), "Wald")) {
            RunsArgs a;
            a.OutputTable1 = s.OutputTable1();
            a.Table = s.Table();
            a.fields = f;
            a.nGroupFields = static_cast<std::int16_t>(nG + 1);
            a.nX = nX;
            a.bW = bW;
            a.Flag = true;
            return m_entries.Runs(a, *this);
        } else if (NamesEqual(s.NPTwoType(), "Mann")) {
            MannKSKruskalArgs a;
            a.OutputTable1 = s.OutputTable1();
            a.OutputTable2 = "";
            a.Table = s.Table();
            a.fields = f;
            a.nGroupFields = static_cast<std::int16_t>(nG + 1);
            a.nX = nX;
            a.bW = bW;
            a.MannWhitney = true;
            a.KolmogorovSmirnov = true;
            a.KruskalWallis = false;
            return m_entries.MannKSKruskal(a, *this);
        } else {
            return "Unknown two-sample test type: " + s.NPTwoType();
        }
    });
}

std::string VarnelloCore::RunNPNSample_s_ZUR(const std::string& table, const std::string& out1, const std::string& out2,
                                         FieldList& f, std::int16_t nG, std::int16_t nC, std::int16_t nX, bool bW) {
    return guarded("RunNPNSample_s_ZUR", [&]() -> std::string {
        if (nC == 0) return "At least one Compare field must be assigned";
        if (nC > 1) return "Only one Compare field may be assigned";
        MannKSKruskalArgs a;
        a.OutputTable1 = out1;
        a.OutputTable2 = out2;
        a.Table = table;
        a.fields = f;
        a.nGroupFields = static_cast<std::int16_t>(nG + 1);
        a.nX = nX;
        a.bW = bW;
        a.MannWhitney = false;
        a.KolmogorovSmirnov = false;
        a.KruskalWallis = true;
        return m_entries.MannKSKruskal(a, *this);
    });
}
