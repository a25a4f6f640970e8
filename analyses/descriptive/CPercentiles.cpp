#include "analyses/descriptive/CPercentiles.h"

#include "analyses/descriptive/CDescribe.h"
#include "engine/SortStage.h"
#include "engine/modStatsGeneral.h"
#include "scenario/CMelvarsScenario.h"

#include <cctype>
#include <cmath>

using namespace dao;

namespace {

std::int16_t divisorOf(const std::string& type) {
    switch (type.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(type[0])))) {
    case 'M': return 2;
    case 'Q': return 4;
    case '5': return 5;
    case 'D': return 10;
    case 'P': return 100;
    default: return 0;
    }
}

} // namespace

CPercentiles::CPercentiles(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_Percentile", "Percentiles"), m_s(settings) {}
CPercentiles::~CPercentiles() = default;

std::string CPercentiles::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                       AnalysisType::Settings& out) {
    Settings& a = NewSettings<Settings>(base, out);
    a.PercentileLetter = s.PercentileRadio().substr(0, 1);
    return {};
}

std::string CPercentiles::Steps() {
    m_d = divisorOf(m_s.PercentileLetter);
    if (m_d == 0) return "Unknown percentile type: " + m_s.PercentileLetter;
    std::string msg = OpenAndCreate(m_s.nG, false, [this] { return CreateOutput(); });
    if (Going(msg)) msg = MakeWorkDatabase();
    if (Going(msg)) {
        // One kept pass covers the output rows and the staged values of a
        // group that outgrows memory.
        m_stage = std::make_unique<SortStage>(Cx(), m_s.nX, SortStage::Values());
        AnalyzeGroups(m_s.nG, true);
    }
    return msg;
}

void CPercentiles::CloseOwn() {
    if (m_stage) m_stage->Close();
    m_stage.reset();
    m_lead.Clear();
}

std::string CPercentiles::CreateOutput() {
    return Guard("CreateOutput", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, true, 0, 0, false, "", "");
        AddTableField(td, "Percentile", dbDouble, ord, 0);
        AddTableField(td, "Value", dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

void CPercentiles::InitData() {
    Guard("InitData", [&] {
        m_count.assign(static_cast<std::size_t>(m_s.nX) + 1, 0);
        m_weight.assign(static_cast<std::size_t>(m_s.nX) + 1, 0.0);
        // The stage forgets the finished group (emptying or dropping the sort
        // table when the group used it).
        m_stage->BeginGroup();
    });
}

void CPercentiles::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        const std::size_t first = m_s.XPosition();
        for (std::size_t j = 1; j <= static_cast<std::size_t>(m_s.nX); ++j) {
            double x = 0;
            if (!Number(first + j - 1, x)) continue;
            ++m_count[j];
            m_weight[j] += w;
            m_stage->Add(static_cast<std::int16_t>(j), x, w);
        }
    });
}

void CPercentiles::WriteData() {
    Guard("WriteData", [&] {
        RecordsetPtr out = Cx().OutputRecordset();
        const std::int16_t d = m_d;
        const double step = std::round(100.0 / d);
        std::vector<double> r(static_cast<std::size_t>(d) + 1, 0.0);
        FieldPtr fPct = out->Fields("Percentile"), fValue = out->Fields("Value");
        for (std::int16_t j = 1; j <= m_s.nX; ++j) {
            const std::size_t J = static_cast<std::size_t>(j);
            if (!(m_weight[J] > 0)) continue; // a field without valid weight in the group gets no rows
            const bool done = Guard("Quorb_CalcPcntiles", [&] {
                CDescribe::Quorb_CalcPcntiles(*m_stage, j, m_s.bW, d, m_weight[J], r);
                return true;
            });
            if (!done) return;
            for (std::int16_t k = 0; k <= d; ++k) {
                out->AddNew();
                m_lead.Write(out, m_s.nG, m_s.fields, GroupValues(), static_cast<std::int16_t>(m_s.XPosition() + static_cast<std::size_t>(j) - 1), "", "", false,
                             0, 0, 0, 0, Variant::Null(), Variant::Null());
                fPct->SetValue(step * k);
                fValue->SetValue(r[static_cast<std::size_t>(k)]);
                out->Update();
            }
        }
    });
}
