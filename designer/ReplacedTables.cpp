#include "designer/ReplacedTables.h"

#include "designer/CMelvarsPropWiz.h"
#include "scenario/AppDatabase.h"
#include "util/modZURSTAT.h"

namespace replacedtables {

namespace {

const QString kDataQuestion = QStringLiteral(
    "The following table(s) of the current database hold data: no scenario writes them. Running this scenario would "
    "replace them, and their data would be lost for good. Do you want to overwrite them?");
const QString kOutputQuestion = QStringLiteral(
    "The following output table(s) already exist in the current database. Do you want to overwrite them?");

// Asks one question about the tables of one kind; true when there are none
// or the answer is Yes.
bool AskAbout(const ExistingTables& existing, bool output, const QString& question, const Asking& asking) {
    if ((output ? existing.Outputs() : existing.Data()).empty()) return true;
    const QString list = existing.List(output, asking.lineBreak, asking.secondOnItsOwnLine);
    return asking.ask(question + asking.lineBreak + asking.lineBreak + list) == 6;
}

} // namespace

std::string InputRefusal(const std::string& name) {
    if (name.empty() || !CMelvarsPropWiz::IsInputOfStoredScenario(name)) return {};
    return "The output table '" + name + "' is the input table of a stored scenario. Please choose another name.";
}

ExistingTables::ExistingTables(const std::string& first, const std::string& second) {
    const std::string names[] = {first, second};
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        Name& n = m_names[i];
        n.name = names[i];
        n.exists = !n.name.empty() && gdbCurrent && TableDefExists(gdbCurrent, n.name);
        n.output = n.exists && CMelvarsPropWiz::IsOutputOfStoredScenario(n.name);
    }
}

std::vector<std::string> ExistingTables::Of(bool output) const {
    std::vector<std::string> names;
    for (const Name& n : m_names)
        if (n.exists && n.output == output) names.push_back(n.name);
    return names;
}

QString ExistingTables::List(bool output, const QString& lineBreak, bool secondOnItsOwnLine) const {
    QString list;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        const Name& n = m_names[i];
        if (!n.exists || n.output != output) continue;
        if (!list.isEmpty() || (i == 1 && secondOnItsOwnLine)) list += lineBreak;
        list += QString::fromStdString(n.name);
    }
    return list;
}

bool AgreeToReplace(const ExistingTables& existing, const Asking& asking) {
    return AskAbout(existing, false, kDataQuestion, asking) && AskAbout(existing, true, kOutputQuestion, asking);
}

bool AgreeToNameData(const ExistingTables& existing, const Asking& asking) {
    return AskAbout(existing, false, kDataQuestion, asking);
}

} // namespace replacedtables
