#pragma once
// Starting documents, programs, folders, mail and web addresses, in the manner
// of the desktop shell: a verb ("open", "explore", "print" or none), a file or
// address, parameters for a program, a working folder. Programs are started
// detached; documents, folders and addresses go to the desktop's default
// handler (platform/ui/DesktopServices.h).
#include <QString>
#include <QtGlobal>

namespace platform::ui {

// Results as the shell gives them: above 32 the request was accepted, 0 to 32
// is an error code.
constexpr long SE_ERR_OOM = 0;
constexpr long SE_ERR_FNF = 2;
constexpr long SE_ERR_PNF = 3;
constexpr long SE_ERR_ACCESSDENIED = 5;
constexpr long SE_ERR_NOASSOC = 31;
constexpr long SE_OK = 42;

struct ShellLaunch {
    long instance = 0;     // above 32 on success, else the error code
    qint64 processId = 0;  // the started program's process id; 0 for documents and addresses
};

// verb: empty or "open" (case does not matter), "explore" or "print".
// file: a path (absolute, or relative to folder) or an address with a scheme;
// a "file:" address is taken as the path it names.
// parameters: a program's command line arguments (quoted as on a shell line).
// folder: the working folder; empty for the current one.
// showCmd: the window state asked for; the desktop decides here.
ShellLaunch ShellExecute(const QString& verb, const QString& file, const QString& parameters,
                         const QString& folder, int showCmd);

// True while a process started by ShellExecute runs.
bool ProcessStillActive(qint64 processId);

} // namespace platform::ui
