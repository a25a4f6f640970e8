#include "engine/Varnello.h"

#include "engine/VarnelloCore.h"

Varnello::Varnello() : m_core(std::make_unique<VarnelloCore>()) {}
Varnello::~Varnello() = default;

dao::DatabasePtr Varnello::ScenarioDatabase() const { return m_core->ScenarioDatabase(); }
void Varnello::SetScenarioDatabase(const DatabaseArg& value) { m_core->SetScenarioDatabase(value); }
dao::DatabasePtr Varnello::SourceDatabase() const { return m_core->SourceDatabase(); }
void Varnello::SetSourceDatabase(const DatabaseArg& value) { m_core->SetSourceDatabase(value); }
dao::DatabasePtr Varnello::OutputDatabase() const { return m_core->OutputDatabase(); }
void Varnello::SetOutputDatabase(const DatabaseArg& value) { m_core->SetOutputDatabase(value); }
const std::string& Varnello::ScenarioTbl() const { return m_core->ScenarioTbl(); }
void Varnello::SetScenarioTbl(const std::string& v) { m_core->SetScenarioTbl(v); }
const std::string& Varnello::OptionsTbl() const { return m_core->OptionsTbl(); }
void Varnello::SetOptionsTbl(const std::string& v) { m_core->SetOptionsTbl(v); }
const std::string& Varnello::FieldTbl() const { return m_core->FieldTbl(); }
void Varnello::SetFieldTbl(const std::string& v) { m_core->SetFieldTbl(v); }
const std::string& Varnello::SourceTableName() const { return m_core->SourceTableName(); }
void Varnello::SetSourceTableName(const std::string& v) { m_core->SetSourceTableName(v); }
const std::string& Varnello::OutputTableName() const { return m_core->OutputTableName(); }
void Varnello::SetOutputTableName(const std::string& v) { m_core->SetOutputTableName(v); }
const std::string& Varnello::OutputTableName2() const { return m_core->OutputTableName2(); }
void Varnello::SetOutputTableName2(const std::string& v) { m_core->SetOutputTableName2(v); }
const std::string& Varnello::ErrorInfo() const { return m_core->ErrorInfo(); }
bool Varnello::ShowProgress() const { return m_core->ShowProgress(); }
void Varnello::SetShowProgress(bool v) { m_core->SetShowProgress(v); }
bool Varnello::ShowErrors() const { return m_core->ShowErrors(); }
void Varnello::SetShowErrors(bool v) { m_core->SetShowErrors(v); }

double Varnello::ProbInverse(const std::string& ProbType, double Probability, double DF1, double DF2) {
    return m_core->ProbInverse(ProbType, Probability, DF1, DF2);
}
double Varnello::Probability(const std::string& ProbType, double Value, double DF1, double DF2) {
    return m_core->Probability(ProbType, Value, DF1, DF2);
}
bool Varnello::RunScenario(long ScenarioID) { return m_core->RunScenario(ScenarioID); }
bool Varnello::RunScenario(long ScenarioID, const RunScenarioArgs& args) { return m_core->RunScenario(ScenarioID, args); }
void Varnello::RequestStop() noexcept { m_core->RequestStop(); }
void Varnello::HoldOutput(bool hold) noexcept { m_core->HoldOutput(hold); }

void Varnello::SetEvents(IVarnelloEvents* listener) { m_core->SetEvents(listener); }
