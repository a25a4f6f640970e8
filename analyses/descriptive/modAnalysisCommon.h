#pragma once
// Steps that the analyses of this library share on the road of a run.
#include "db/Dao.h"

#include <functional>
#include <string>

class CErr_ZUR;
class Varnello;

// Puts the new output table `td` in place of any table of its name in the
// engine's output database and, with `open`, opens it as the engine's output
// recordset; the result is the database's error text, empty on success.
//
// The table of an earlier run is replaced: when its columns are exactly the
// new definition's (names, types and text sizes, in order) and it has no
// index, it is emptied in place; otherwise it is dropped and `td` appended.
// The database cannot drop a table while a query on the same file is being
// read, so before a drop the engine's data recordset is closed and `reopen`
// is called afterwards to open it again (its message fails the step).
//
// The table the analysis reads (`sourceTable` in the source database) is
// never replaced: that would destroy the data; the answer is a message.
std::string ReplaceOutputTable(Varnello& engine, const dao::TableDefPtr& td, bool open,
                               const std::function<std::string()>& reopen, const std::string& sourceTable);

// The text with which an unexpected run-time error fails a run: the error's
// description as the handler captured it, or `fallback` when it has none.
std::string UnexpectedErrorMessage(const CErr_ZUR* handler, const std::string& fallback);
