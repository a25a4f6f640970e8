#include "analyses/descriptive/CFrequency.h"

#include "analyses/descriptive/CDescribe.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "scenario/CMelvarsScenario.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <limits>

using namespace dao;

namespace {

bool switchAt(const std::string& s, std::size_t i, char on) {
    return i < s.size() && std::toupper(static_cast<unsigned char>(s[i])) == on;
}

// A positive width as its decimal form of 15 significant digits, raised by
// `units` in the last digit (3.8499999999999996 by 0 gives 3.85, by 1
// 3.85000000000001).
double RaiseLastDigit(double width, int units) {
    if (!(width > 0) || !std::isfinite(width)) return width;
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, width, std::chars_format::scientific, 14);
    const char* e = std::find(static_cast<const char*>(buf), static_cast<const char*>(res.ptr), 'e');
    int exp10 = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), res.ptr, exp10);
    std::int64_t digits = buf[0] - '0';
    for (const char* c = buf + 2; c < e; ++c) digits = digits * 10 + (*c - '0');
    const std::string text = std::to_string(digits + units) + "e" + std::to_string(exp10 - 14);
    return std::strtod(text.c_str(), nullptr);
}

} // namespace

bool CFrequency::BordersAreNumbers(double start, double width, std::int16_t intervals) {
    return std::isfinite(start) && std::isfinite(width) && std::isfinite(start + intervals * width);
}

std::string CFrequency::BordersBeyondDoublesMessage(double start, double width, std::int16_t intervals) {
    return "The frequency intervals end beyond the range of a double: " + std::to_string(intervals) + " intervals of " +
           CDescribe::NumberText(width) + " from " + CDescribe::NumberText(start) + ".";
}

std::int32_t CFrequency::CellOf(double x, double start, double width, std::int16_t interV, bool lowerIncluded) {
    bool isWhole = false;
    double whole = CDescribe::IntervalPosition(x, start, width, isWhole);
    if (whole < 0) return 0;
    // Beyond the last interval (also a quotient past any integer range).
    if (whole >= static_cast<double>(interV) + 1) return interV + 1;
    std::int32_t i = static_cast<std::int32_t>(whole);
    if (!lowerIncluded && isWhole) i -= 1;
    std::int32_t cell = i + 1;
    return cell > interV + 1 ? interV + 1 : cell;
}

CFrequency::CFrequency(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_Frequency", "Frequency"), m_s(settings), m_interV(settings.Intervals),
      m_start(settings.Start), m_width(settings.Width) {}

std::string CFrequency::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                     AnalysisType::Settings& out) {
    Settings& a = NewSettings<Settings>(base, out);
    auto doubleOr0 = [](const Variant& v) { return (v.IsNull() || v.IsEmpty()) ? 0.0 : v.ToDouble(); };
    bool user = !NamesEqual(s.FreqGroupRadio(), "Default");
    bool lower = NamesEqual(s.FreqIncRadio(), "Lower");
    a.FreqCode = std::string(s.FreqSum() ? "S" : "-") + (lower ? "Y" : "N") + (user ? "Y" : "N");
    a.Intervals = s.InterV();
    if (user) {
        a.Start = doubleOr0(s.FreqInit());
        a.Width = doubleOr0(s.FreqWidth());
    } else {
        std::string msg = DescFreqInit_ZUR(cx, true, a.Intervals, lower, a.Table, a.fields, a.nG, a.nX, a.Start,
                                           a.Width);
        if (!msg.empty()) return msg;
    }
    return {};
}

std::string CFrequency::Steps() {
    // Every value is divided by the width and the rows run over the
    // intervals: refused before any table is touched.
    if (m_interV < 1) return "The number of frequency intervals must be at least 1.";
    // Specified intervals get a row below and one above them, and the rows
    // are numbered in an Integer column: 32765 intervals and those two rows
    // are as many as it can number.
    if (switchAt(m_s.FreqCode, 2, 'Y') && m_interV > 32765)
        return "With specified intervals the number of frequency intervals must be at most 32765, not " +
               std::to_string(m_interV) + ".";
    if (!(m_width > 0) || !std::isfinite(m_width)) return "The frequency interval width must be greater than 0.";
    if (!std::isfinite(m_start)) return "The frequency start value must be a number.";
    if (!BordersAreNumbers(m_start, m_width, m_interV)) return BordersBeyondDoublesMessage(m_start, m_width, m_interV);
    std::string msg = OpenAndCreate(m_s.nG, true, [this] { return CreateOutput(); });
    if (Going(msg)) {
        const std::size_t nX = static_cast<std::size_t>(m_s.nX);
        const std::size_t cells = static_cast<std::size_t>(m_interV) + 2;
        m_total.assign(nX + 1, 0.0);
        m_cells.assign(nX + 1, std::vector<double>(cells, 0.0));
        m_sums.assign(nX + 1, std::vector<double>(m_sum ? cells : 0, 0.0));
        AnalyzeGroups(m_s.nG);
    }
    return msg;
}

std::string CFrequency::CreateOutput() {
    return Guard("CreateOutput", [&]() -> std::string {
        const std::string& options = m_s.FreqCode;
        m_sum = switchAt(options, 0, 'S');
        m_lower = switchAt(options, 1, 'Y');
        m_user = switchAt(options, 2, 'Y');
        m_lowName = std::string("Low") + (m_lower ? "<=" : "<") + "Range";
        m_highName = std::string("Range") + (m_lower ? "<" : "<=") + "High";

        TableDefPtr td = NewTable(m_s.OutputTable1);
        try {
            std::int16_t ord = CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, true, 0, 0, false, "", "");
            AddTableField(td, "Interval", dbInteger, ord, 0);
            AddTableField(td, m_lowName, dbDouble, ord, 0);
            AddTableField(td, m_highName, dbDouble, ord, 0);
            for (const char* name : {"Count", "Cumulative", "Count%", "Cumulative%"}) AddTableField(td, name, dbDouble, ord, 0);
            if (m_sum)
                for (const char* name : {"Sum", "CumulativeSum", "Sum%", "CumulativeSum%"})
                    AddTableField(td, name, dbDouble, ord, 0);
        } catch (const RunTimeError& e) {
            // A group field named like one of the table's own columns.
            return e.Description();
        }
        return PlaceOutput(td, true);
    });
}

void CFrequency::InitData() {
    Guard("InitData", [&] {
        for (std::size_t j = 1; j < m_cells.size(); ++j) {
            m_total[j] = 0;
            std::fill(m_cells[j].begin(), m_cells[j].end(), 0.0);
            std::fill(m_sums[j].begin(), m_sums[j].end(), 0.0);
        }
    });
}

void CFrequency::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        const std::size_t first = m_s.XPosition();
        for (std::size_t j = 1; j <= static_cast<std::size_t>(m_s.nX); ++j) {
            double x = 0;
            if (!Number(first + j - 1, x)) continue;
            m_total[j] += w;
            const std::size_t cell = static_cast<std::size_t>(CellOf(x, m_start, m_width, m_interV, m_lower));
            m_cells[j][cell] += w;
            if (m_sum) m_sums[j][cell] += w * x;
        }
    });
}

void CFrequency::WriteData() {
    Guard("WriteData", [&] {
        RecordsetPtr out = Cx().OutputRecordset();
        const int first = m_user ? 0 : 1;
        const int last = m_user ? m_interV + 1 : m_interV;
        FieldPtr fInterval = m_lead.Column(out, "Interval"), fLow = out->Fields(m_lowName), fHigh = out->Fields(m_highName);
        FieldPtr fCount = m_lead.Column(out, "Count"), fCum = m_lead.Column(out, "Cumulative"), fPct = m_lead.Column(out, "Count%"),
                 fCumPct = m_lead.Column(out, "Cumulative%");
        FieldPtr fSum, fCumSum, fSumPct, fCumSumPct;
        if (m_sum) {
            fSum = m_lead.Column(out, "Sum");
            fCumSum = m_lead.Column(out, "CumulativeSum");
            fSumPct = m_lead.Column(out, "Sum%");
            fCumSumPct = m_lead.Column(out, "CumulativeSum%");
        }
        for (std::int16_t j = 1; j <= m_s.nX; ++j) {
            const std::size_t J = static_cast<std::size_t>(j);
            if (!(m_total[J] > 0)) continue; // a field without valid weight in the group gets no rows
            // The fractions are taken of the cells' own totals, added in the
            // order the cumulative columns add them: with fractional weights
            // the sum in the order of the records can differ in its last
            // digit, and the last "Cumulative%" would read 0.9999999999999999.
            // Every valid weight lies in one of the cells.
            double W = 0, S = 0;
            for (std::size_t c = 0; c < m_cells[J].size(); ++c) {
                W += m_cells[J][c];
                if (m_sum) S += m_sums[J][c];
            }
            double R = 0, Q = 0;
            for (int c = first; c <= last; ++c) {
                const std::size_t C = static_cast<std::size_t>(c);
                R += m_cells[J][C];
                out->AddNew();
                m_lead.Write(out, m_s.nG, m_s.fields, GroupValues(), static_cast<std::int16_t>(m_s.XPosition() + static_cast<std::size_t>(j) - 1), "", "",
                                false, 0, 0, 0, 0, Variant::Null(), Variant::Null());
                if (c == 0) {
                    fHigh->SetValue(m_start);
                } else if (c == m_interV + 1) {
                    fLow->SetValue(m_interV * m_width + m_start);
                } else {
                    fLow->SetValue((c - 1) * m_width + m_start);
                    fHigh->SetValue(c * m_width + m_start);
                }
                fInterval->SetValue(static_cast<std::int16_t>(c - first + 1));
                fCount->SetValue(m_cells[J][C]);
                fCum->SetValue(R);
                fPct->SetValue(m_cells[J][C] / W);
                fCumPct->SetValue(R / W);
                if (m_sum) {
                    // A sum beyond a double's range (two values near 1.5e308
                    // in one cell) is left Null, and with it the fractions of
                    // a total beyond that range.
                    Q += m_sums[J][C];
                    if (std::isfinite(m_sums[J][C])) fSum->SetValue(m_sums[J][C]);
                    if (std::isfinite(Q)) fCumSum->SetValue(Q);
                    if (S != 0 && std::isfinite(S) && std::isfinite(m_sums[J][C]) && std::isfinite(Q)) {
                        fSumPct->SetValue(m_sums[J][C] / S);
                        fCumSumPct->SetValue(Q / S);
                    }
                }
                out->Update();
            }
        }
    });
}

// ---- default intervals ------------------------------------------------------------------

std::string CFrequency::DescFreqInit_ZUR(RunContext& cx, bool bRoundWidth, std::int16_t intervals,
                                         bool lowerIncluded, const std::string& table, const FieldList& fields,
                                         std::int16_t nG, std::int16_t nX, double& start, double& width) {
    const std::size_t first = static_cast<std::size_t>(nG) + 1;
    ProcGuard proc(gEngineErr, "DescFreqInit_ZUR");
    std::string msg;
    std::string current; // the field being read, for the message of a failure
    try {
        cx.Quorb_Msg(0, true, "Calculating default frequency values");
        bool found = false;
        double mn = 0, mx = 0;
        // One scan finds the bounds of every field: each field's missing-value
        // rule picks the values its own minimum and maximum see. A query
        // returns at most as many columns as a table holds (2,000), two for
        // each field: a table of more fields than half that many is scanned
        // once for each such share of them.
        if (nX < 1) return "No data found";
        const int perScan = std::max(1, cx.SourceDatabase()->ColumnLimit() / 2);
        for (int from = 1; from <= nX; from += perScan) {
            const int to = std::min<int>(nX, from + perScan - 1);
            std::string sql = "SELECT ";
            for (int i = from; i <= to; ++i) {
                // A column without a declared type holds its numbers as another
                // program stored them, texts too: its bounds are those of the
                // numbers, as the values are read ("100" above "9", not below).
                const std::string& name = fields[first + static_cast<std::size_t>(i) - 1];
                std::string F = cx.SortTerm(table, name);
                std::string where = cx.Quorb_DataWhere(cx.RuleTerm(table, name, BracketName(name)));
                std::string value = where.empty() ? F : "IIf(" + where + ", " + F + ", Null)";
                std::string n = std::to_string(i);
                if (i > from) sql += ", ";
                sql += "MIN(" + value + ") as Minimum" + n + ", MAX(" + value + ") as Maximum" + n;
            }
            sql += " FROM " + BracketName(table) + ";";
            RecordsetPtr rs;
            try {
                rs = cx.SourceDatabase()->OpenRecordset(sql);
            } catch (const DaoError& e) {
                // A query that asks for parameters fails the run as it fails
                // every reading of its data, without an error report.
                if (e.Number() == err::ParametersExpected) return RunContext::ParametersExpectedText;
                throw;
            }
            for (int i = from; i <= to && !rs->EOF_(); ++i) {
                Variant lo = rs->Fields("Minimum" + std::to_string(i))->Value();
                Variant hi = rs->Fields("Maximum" + std::to_string(i))->Value();
                current = fields[first + static_cast<std::size_t>(i) - 1];
                if (!lo.IsNull()) (void)cx.DataValue(lo, current);
                if (!hi.IsNull()) (void)cx.DataValue(hi, current);
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
        }
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
        // Values that are all equal have no pad below them: with the upper
        // border included the first interval starts one width below them, so
        // that they fall in it instead of below the first interval, which
        // default intervals do not write.
        if (!lowerIncluded && mn == mx) start = mn - width;
        // A value is placed by the quotient (x − start) / width, taken on
        // decimal forms of 15 digits where start and width have them, else
        // in doubles. A width such as 7.7/2, which as a double is a little
        // below 3.85, puts the last border just below the largest value it
        // was worked out to reach, and that value in the cell beyond the
        // last interval, which default intervals do not write. Take the
        // width's 15-digit form, then raise it by units of its last digit,
        // until the largest value lies within the intervals.
        for (int raise = 0; raise <= 64 && std::isfinite(start) && std::isfinite(width) &&
                            CellOf(mx, start, width, intervals, lowerIncluded) > intervals;
             raise = raise == 0 ? 1 : raise * 2)
            width = RaiseLastDigit(width, raise);
        // Data whose span (with its pad) is beyond the largest double, such
        // as -1e308 and 1e308, have no width or last border a double holds:
        // said so, rather than failing later on an infinite width.
        if (!BordersAreNumbers(start, width, intervals))
            return "The values from " + CDescribe::NumberText(mn) + " to " + CDescribe::NumberText(mx) +
                   " lie too far apart to be split into default frequency intervals: their borders would lie beyond "
                   "the range of a double.";
    } catch (...) {
        // The cause itself (a damaged file, a name that cannot be written, a
        // value that is no number), not a width of 0 found later.
        proc.HandleError();
        msg = RunContext::UnexpectedErrorMessage(proc.Handler(), "The default frequency values of " + current + " in " + table +
                                                         " could not be worked out.");
    }
    return msg;
}
