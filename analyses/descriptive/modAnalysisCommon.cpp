#include "analyses/descriptive/modAnalysisCommon.h"

#include "engine/Varnello.h"
#include "engine/modStatsGeneral.h"
#include "errors/CErr_ZUR.h"

using namespace dao;

namespace {

bool sameLayout(TableDef& existing, TableDef& wanted) {
    if (existing.Indexes().Count() != 0) return false;
    Fields& a = existing.Fields();
    Fields& b = wanted.Fields();
    if (a.Count() != b.Count()) return false;
    // The definition's fields sorted by their ordinal positions, as the table stores them.
    std::vector<FieldPtr> want;
    for (int i = 0; i < b.Count(); ++i) want.push_back(b(i));
    std::stable_sort(want.begin(), want.end(),
                     [](const FieldPtr& x, const FieldPtr& y) { return x->OrdinalPosition() < y->OrdinalPosition(); });
    for (int i = 0; i < a.Count(); ++i) {
        const FieldPtr& have = a(i);
        const FieldPtr& need = want[static_cast<std::size_t>(i)];
        if (have->Name() != need->Name() || have->Type() != need->Type()) return false;
        if (need->Type() == dbText && have->Size() != need->Size()) return false;
        if (have->Attributes() & dbAutoIncrField) return false;
    }
    return true;
}

} // namespace

std::string ReplaceOutputTable(Varnello& engine, const TableDefPtr& td, bool open,
                               const std::function<std::string()>& reopen, const std::string& sourceTable) {
    DatabasePtr out = engine.OutputDatabase();
    DatabasePtr src = engine.SourceDatabase();
    const bool sameFile = src && out && (src == out || src->Name() == out->Name());
    if (sameFile && NamesEqual(td->Name(), sourceTable))
        return "The output table " + td->Name() + " is the table the analysis reads; choose another output table name.";
    TableDefPtr existing;
    try {
        out->TableDefs().Refresh();
        existing = out->TableDefs().Find(td->Name());
    } catch (...) {
        existing.reset();
    }
    if (existing && sameLayout(*existing, *td)) {
        try {
            out->Execute("DELETE FROM " + BracketName(td->Name()));
            if (open) engine.SetOutputRecordset(out->OpenRecordset(td->Name(), dbOpenDynaset));
            return {};
        } catch (const DaoError&) {
            // Fall back to dropping the table.
        }
    }
    if (existing) {
        bool hadData = false;
        if (auto rs = engine.DataRecordset()) {
            rs->Close();
            engine.SetDataRecordset(nullptr);
            hadData = true;
        }
        engine.Quorb_DeleteTable(false, td->Name());
        if (hadData && reopen) {
            std::string msg = reopen();
            if (!msg.empty()) return msg;
        }
    }
    return engine.Quorb_CreateTable(td, open);
}

std::string UnexpectedErrorMessage(const CErr_ZUR* handler, const std::string& fallback) {
    if (handler && !handler->ErrDescription().empty()) return handler->ErrDescription();
    return fallback;
}
