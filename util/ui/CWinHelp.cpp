#include "util/ui/CWinHelp.h"

#include "errors/RunTimeError.h"
#include "platform/ui/Help.h"

namespace {

template <class F>
void Guarded(const char* routine, F&& call) {
    try {
        call();
    } catch (...) {
        ShowRoutineError(routine);
    }
}

} // namespace

using namespace platform::ui;

void CWinHelp::CloseFile() {
    Guarded("CloseFile", [&] { WinHelp(m_helpFile, HELP_QUIT, QString()); });
}

void CWinHelp::HelpOnHelp() {
    Guarded("HelpOnHelp", [&] { WinHelp(QString(), HELP_HELPONHELP, 0); });
}

void CWinHelp::OpenContents() {
    Guarded("OpenContents", [&] { WinHelp(m_helpFile, HELP_CONTENTS, 0); });
}

void CWinHelp::OpenFinder() {
    Guarded("OpenFinder", [&] { WinHelp(m_helpFile, HELP_FINDER, 0); });
}

void CWinHelp::OpenContext(std::int32_t contextId) {
    Guarded("OpenContext", [&] { WinHelp(m_helpFile, HELP_CONTEXT, contextId); });
}

void CWinHelp::RunMacro(const QString& macro) {
    Guarded("RunMacro", [&] { WinHelp(m_helpFile, HELP_COMMAND, macro); });
}

void CWinHelp::SearchDialog() {
    Guarded("SearchDialog", [&] { WinHelp(m_helpFile, HELP_PARTIALKEY, QString()); });
}

void CWinHelp::SearchFor(const QString& keyword) {
    Guarded("SearchFor", [&] { WinHelp(m_helpFile, HELP_PARTIALKEY, keyword); });
}
