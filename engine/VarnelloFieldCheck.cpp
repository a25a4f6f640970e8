// The check of a scenario's fields against its source before anything is
// read or written: every field must exist in the source table or query, and
// the roles that take numbers (X, Y and the weight; a crosstab's X may be
// any field) must not be given text or binary fields. A failed check names
// the field and its role, and no output table is touched.
#include "engine/VarnelloCore.h"

#include "engine/AnalysisCatalogue.h"
#include "engine/modStatsGeneral.h"

#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "scenario/CMelvarsScenario.h"

using namespace dao;

namespace {

bool holdsNumbers(long type) {
    switch (type) {
    case dbText:
    case dbMemo:
    case dbBinary:
    case dbLongBinary:
    case dbGUID: return false;
    default: return true;
    }
}

// The columns of a table or of a select query; false when they cannot be
// listed (a query with parameters), so that the source's own message comes later.
bool sourceFields(const DatabasePtr& db, const std::string& name, std::vector<FieldPtr>& out) {
    try {
        if (auto td = db->TableDefs().Find(name)) {
            for (int i = 0; i < td->Fields().Count(); ++i) out.push_back(td->Fields()(i));
            return true;
        }
        if (auto qd = db->QueryDefs().Find(name)) {
            Fields& f = qd->Fields();
            for (int i = 0; i < f.Count(); ++i) out.push_back(f(i));
            return true;
        }
    } catch (...) {
    }
    return false;
}

// A column another program made without a declared type is a Text field
// when it holds a text that is no number; when it holds numbers too, a role
// that takes numbers is refused at that text, named with its field and
// record, as a run refuses a text in a number field. Empty when the column
// holds no number at all.
std::string mixedColumnRefusal(const DatabasePtr& db, const std::string& table, const std::string& name) {
    try {
        if (!db->DeclaresNoType(table, name)) return {};
        RecordsetPtr numbers = db->OpenRecordset(
            "SELECT TOP 1 " + BracketName(name) + " FROM " + BracketName(table) + " WHERE IsNumeric(" + BracketName(name) + ");",
            dbOpenForwardOnly);
        if (numbers->EOF_()) return {};
        auto bad = db->FirstNonNumber(table, name);
        return bad ? RunContext::NotANumberText(*bad, name, table) : std::string();
    } catch (const DaoError&) {
        return {};
    }
}

} // namespace

std::string VarnelloCore::CheckFieldRoles(const std::string& table, const AnalysisType& type, const AnalysisSettings& a) {
    ProcGuard proc(gEngineErr, "CheckFieldRoles");
    try {
        std::vector<FieldPtr> have;
        if (!sourceFields(m_sourceDb, table, have)) return {};
        const FieldList& fields = a.fields;
        const int nG = a.nG, nC = a.nC, nX = a.nX;
        const bool bY = a.bY;
        const bool crosstab = type.fields == AnalysisType::Fields::RowsAnyX;
        const int last = nG + nC + nX + (bY ? 1 : 0) + (a.bW ? 1 : 0);
        for (int i = 1; i <= last && i < static_cast<int>(fields.size()); ++i) {
            const std::string& name = fields[static_cast<std::size_t>(i)];
            const char* role = i <= nG ? "group" : i <= nG + nC ? "compare" : i <= nG + nC + nX ? "X"
                             : (bY && i == nG + nC + nX + 1) ? "Y" : "weight";
            if (crosstab && name == "*") continue;
            FieldPtr found;
            for (const auto& f : have)
                if (NamesEqual(f->Name(), name)) found = f;
            if (!found) return "The " + std::string(role) + " field " + name + " is not a field of " + table + ".";
            const bool numeric = std::string(role) == "Y" || std::string(role) == "weight" ||
                                 (std::string(role) == "X" && !crosstab);
            // A view's computed column typed by its first value, a number,
            // that holds texts too: refused at its first such text.
            if (numeric && holdsNumbers(found->Type()))
                if (auto bad = m_run.ComputedText(table, name)) return RunContext::NotANumberText(*bad, name, table);
            if (numeric && !holdsNumbers(found->Type())) {
                if (std::string mixed = mixedColumnRefusal(m_sourceDb, table, name); !mixed.empty()) return mixed;
                return "The " + std::string(role) + " field " + name + " does not hold numbers and cannot be used in that role.";
            }
        }
    } catch (...) {
        proc.HandleError();
    }
    return {};
}
