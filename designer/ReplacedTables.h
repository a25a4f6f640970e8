#pragma once
// Before a run replaces the output tables a scenario names (the designer's
// "Save and &Run", the scenario list's Run): one routine decides what is
// refused and what is asked, for both.
//
// - A name that a stored scenario reads as its input is refused, whether or
//   not the table exists now (InputRefusal).
// - The names that are tables of the current database are split by what
//   they are (ExistingTables): the output of a stored scenario, or a table
//   of data that no stored scenario writes.
// - AgreeToReplace asks about the data first, naming it as data, then about
//   the outputs; every question's default answer is No, and No to one asks
//   nothing more.
//
// A plain "&Save" replaces nothing, but a name it stores is taken for an
// output from then on: it asks the data question alone (AgreeToNameData).
#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace replacedtables {

// The message that refuses `name` as an output table because a scenario
// stored in the current database reads it (letter case aside); empty when
// none does or the name is empty.
std::string InputRefusal(const std::string& name);

// The first and the second output name, and which of them exist as tables of
// the current database and whether a stored scenario writes them.
class ExistingTables {
public:
    ExistingTables(const std::string& first, const std::string& second);

    // The existing names: of data (no stored scenario writes them), or of the
    // outputs of stored scenarios; first before second.
    std::vector<std::string> Data() const { return Of(false); }
    std::vector<std::string> Outputs() const { return Of(true); }
    bool Any() const { return m_names[0].exists || m_names[1].exists; }

    // The names of one kind one per line; with `secondOnItsOwnLine` the
    // second name follows a line break even when the first is not listed
    // (the scenario list has always shown it so).
    QString List(bool output, const QString& lineBreak, bool secondOnItsOwnLine) const;

private:
    struct Name {
        std::string name;
        bool exists = false;
        bool output = false;
    };
    std::vector<std::string> Of(bool output) const;
    std::array<Name, 2> m_names;
};

// How the questions are put: `ask` shows a Yes/No question whose default
// answer is No and returns the answer (6 Yes); the names are listed after two
// line breaks.
struct Asking {
    std::function<int(const QString& question)> ask;
    QString lineBreak = QStringLiteral("\r\n");
    bool secondOnItsOwnLine = false;
};

// Asks before the existing tables are replaced: about the data, then about
// the outputs. True when nothing exists or every question was answered Yes.
bool AgreeToReplace(const ExistingTables& existing, const Asking& asking);

// The data question alone (for a save that stores the names). True when no
// name is data or the answer was Yes.
bool AgreeToNameData(const ExistingTables& existing, const Asking& asking);

} // namespace replacedtables
