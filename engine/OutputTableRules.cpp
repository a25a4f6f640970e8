#include "engine/OutputTableRules.h"

#include "db/JetFunctions.h"

#include <sys/stat.h>

using namespace dao;

namespace {

bool startsWithNoCase(const std::string& s, const char* prefix) {
    return ToLowerAscii(s).rfind(ToLowerAscii(prefix), 0) == 0;
}

std::string trimmed(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

} // namespace

bool OutputTableRules::SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return a == b;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string OutputTableRules::Refusal(const std::string& name, const Context& cx) {
    if (trimmed(name).empty()) return "The output table has no name; give it a name in the scenario.";
    std::vector<std::string> scenario = {"usysQuorbScenarios", "usysQuorbOptions", "usysQuorbFields"};
    scenario.insert(scenario.end(), cx.scenarioTables.begin(), cx.scenarioTables.end());
    for (const auto& s : scenario)
        if (!s.empty() && NamesEqual(name, s))
            return "The output table " + name +
                   " would replace a scenario table, and every stored scenario with it; choose another output table name.";
    if (startsWithNoCase(name, "MSys") || startsWithNoCase(name, "sqlite_"))
        return "The output table " + name +
               " would replace a table the database keeps for itself; choose another output table name.";
    if (!cx.output) return {};
    const std::string refused =
        "The output table " + name + " is the table the analysis reads; choose another output table name.";
    if (cx.source && !cx.sourceTable.empty()) {
        // Without a catalogue to ask (the source cannot be read), the names decide.
        std::vector<Database::TableRef> reads;
        try {
            reads = cx.source->TablesRead(cx.sourceTable);
        } catch (...) {
        }
        if (reads.empty()) reads.push_back({cx.source->Name(), cx.sourceTable});
        // A legacy program's Latin-1 name ("Donn\xE9es") is the table its
        // word ("Données") names: an output of that word, made beside it,
        // would be what the scenario reads from then on.
        for (const auto& r : reads)
            if ((NamesEqual(r.table, name) || NamesEqual(ValidUtf8(r.table), ValidUtf8(name))) &&
                (cx.source == cx.output || SameFile(r.file, cx.output->Name())))
                return refused;
    }
    return {};
}
