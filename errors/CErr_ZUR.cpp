#include "errors/CErr_ZUR.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "errors/ErrorReport.h"
#include "platform/App.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/SystemInfo.h"

struct CErr_ZUR::Subscription::Listeners {
    std::uint64_t nextId = 1;
    std::vector<std::pair<std::uint64_t, BeforeHandlerCalledFn>> before;
    std::vector<std::pair<std::uint64_t, AfterHandlerCalledFn>> after;
};

namespace {

long ReportFileError(int cause) {
    return cause == ENOENT || cause == ENOTDIR ? rterr::PathNotFound : rterr::PathFileAccessError;
}

// Deletes the report file at path, or a symbolic link standing there; a
// folder of that name is left alone. Failures are ignored.
void DeleteReportFile(const std::string& path) {
    if (!path.empty()) ::unlink(path.c_str());
}

// Puts `text` in the file at `path` as a whole. It is written to a file of
// its own beside it and then renamed over it, so that the old report stays
// as it was until the new one is complete (a full disk or a program killed
// half-way through loses nothing), and two programs reporting at the same
// moment leave one report or the other, never both run together. A folder
// that takes no new file (while the report file in it may be written), or a
// name too long to take the suffix of the new file, gets its report
// rewritten in place.
//
// Never through a symbolic link: in a shared folder someone else's link
// would make the report overwrite one of the user's files. The rename
// replaces a link at the path instead of following it.
void ReplaceReportFile(const std::string& path, const std::string& text) {
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = path + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        const int cause = errno;
        if (cause != EACCES && cause != EPERM && cause != ENAMETOOLONG) throw RunTimeError(ReportFileError(cause));
        const int inPlace = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (inPlace < 0) throw RunTimeError(ReportFileError(errno));
        bool ok = platform::WriteAll(inPlace, text);
        if (::close(inPlace) != 0) ok = false;
        if (!ok) throw RunTimeError(57); // Device I/O error
        return;
    }
    bool ok = platform::WriteAll(fd, text);
    // On the disk before it takes the report's name: renamed first, a power
    // cut could leave an empty report in place of the old one.
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) {
        // What programs killed while they wrote a report left beside it.
        platform::RemoveFilesOfDeadProcesses(path, ".~");
        return;
    }
    const int cause = errno;
    ::unlink(temp.c_str());
    throw RunTimeError(ok ? ReportFileError(cause) : 57); // 57: Device I/O error
}

} // namespace

// ---- subscriptions -----------------------------------------------------------

CErr_ZUR::Subscription::Subscription(Subscription&& other) noexcept
    : m_listeners(std::move(other.m_listeners)), m_id(other.m_id) {
    other.m_id = 0;
}

CErr_ZUR::Subscription& CErr_ZUR::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        Disconnect();
        m_listeners = std::move(other.m_listeners);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

void CErr_ZUR::Subscription::Disconnect() noexcept {
    if (auto listeners = m_listeners.lock()) {
        std::erase_if(listeners->before, [this](const auto& p) { return p.first == m_id; });
        std::erase_if(listeners->after, [this](const auto& p) { return p.first == m_id; });
    }
    m_listeners.reset();
    m_id = 0;
}

bool CErr_ZUR::Subscription::Connected() const noexcept {
    auto listeners = m_listeners.lock();
    if (!listeners || m_id == 0) return false;
    for (const auto& p : listeners->before)
        if (p.first == m_id) return true;
    for (const auto& p : listeners->after)
        if (p.first == m_id) return true;
    return false;
}

CErr_ZUR::Subscription CErr_ZUR::OnBeforeHandlerCalled(BeforeHandlerCalledFn fn) {
    const std::uint64_t id = m_listeners->nextId++;
    m_listeners->before.emplace_back(id, std::move(fn));
    return Subscription(m_listeners, id);
}

CErr_ZUR::Subscription CErr_ZUR::OnAfterHandlerCalled(AfterHandlerCalledFn fn) {
    const std::uint64_t id = m_listeners->nextId++;
    m_listeners->after.emplace_back(id, std::move(fn));
    return Subscription(m_listeners, id);
}

std::string CErr_ZUR::DefaultDestination() { return platform::TempPath() + "ERRORS.TXT"; }

// ---- construction --------------------------------------------------------------

CErr_ZUR::CErr_ZUR() : m_stack(23), m_listeners(std::make_shared<Subscription::Listeners>()) {}

CErr_ZUR::~CErr_ZUR() = default;

// ---- properties ------------------------------------------------------------------

void CErr_ZUR::SetMaxItems(int n) {
    // The stack bounds are 16-bit: n + 2 must stay within them.
    if (n > 32765 || n < -32768) throw RunTimeError(rterr::Overflow);
    if (n + 2 < 0) throw RunTimeError(rterr::SubscriptOutOfRange);
    std::vector<std::string> fresh(static_cast<size_t>(n) + 3);
    m_maxItems = n;
    m_upperBound = n + 2;
    m_stack = std::move(fresh);
}

void CErr_ZUR::RaiseInvalidObjectType(int varType) {
    throw RunTimeError(InvalidObjectTypeError, "Invalid object type: " + std::to_string(varType), "CErr_ZUR");
}

void CErr_ZUR::SetDestinationPath(std::string path) {
    m_path = std::move(path);
    m_recordset.reset();
}

void CErr_ZUR::SetDestinationRecordset(std::shared_ptr<IErrLogRecordset> recordset) {
    if (!recordset) RaiseInvalidObjectType(9);
    m_recordset = std::move(recordset);
    m_path.clear();
}

// ---- the stack ---------------------------------------------------------------------

void CErr_ZUR::Push(const std::string& name) {
    ++m_pointer;
    if (m_pointer <= m_maxItems && m_pointer >= 0 && m_pointer < static_cast<int>(m_stack.size()))
        m_stack[static_cast<size_t>(m_pointer)] = name;
}

void CErr_ZUR::Pop() {
    if (m_pointer <= m_maxItems && m_pointer >= 0 && m_pointer < static_cast<int>(m_stack.size()))
        m_stack[static_cast<size_t>(m_pointer)].clear();
    if (m_pointer > 0) --m_pointer;
}

std::string CErr_ZUR::TopOfStack() const {
    if (m_pointer < 0 || m_pointer >= static_cast<int>(m_stack.size())) return {};
    return m_stack[static_cast<size_t>(m_pointer)];
}

// ---- handling ----------------------------------------------------------------------

std::string CErr_ZUR::MessageText() const {
    std::string text = "The following error has occurred in procedure: \r\n" + m_errProcedure + " on line " +
                       std::to_string(m_errLine) + "\r\nError (" + std::to_string(m_errNumber) + ") " +
                       m_errDescription;
    if (!m_currentOperation.empty()) text += "\r\nCurrent Operation: " + m_currentOperation;
    return text;
}

bool CErr_ZUR::RaiseBeforeHandlerCalled() {
    bool cancel = false;
    auto listeners = m_listeners->before; // a listener may disconnect meanwhile
    for (auto& [id, fn] : listeners)
        if (fn) fn(cancel);
    return cancel;
}

void CErr_ZUR::RaiseAfterHandlerCalled() {
    auto listeners = m_listeners->after;
    for (auto& [id, fn] : listeners) {
        try {
            if (fn) fn();
        } catch (...) {
            // A failing listener does not stop the handler (nor the other listeners).
        }
    }
}

void CErr_ZUR::HandleError() { HandleError(ErrFromCurrentException()); }

void CErr_ZUR::HandleError(long number, const std::string& description, long line) {
    ErrInfo e;
    e.Number = number;
    e.Description = description;
    e.Line = line;
    HandleError(e);
}

void CErr_ZUR::HandleError(const ErrInfo& err) {
    m_errNumber = err.Number;
    m_errLine = err.Line;
    m_errDescription = err.Description;
    m_errProcedure = TopOfStack();
    if (m_appTitle.empty()) m_appTitle = platform::App::Title();

    if (RaiseBeforeHandlerCalled()) return;

    // From here on a failing step does not keep the next one from running.
    if (!m_recordset) {
        try {
            WriteErrorFile();
        } catch (...) {
        }
    }
    if (m_displayError) {
        try {
            Beep();
            MsgBox(MessageText(), vbCritical | vbOKOnly, m_appTitle);
        } catch (...) {
        }
    }
    RaiseAfterHandlerCalled();
}

bool CErr_ZUR::ClearLog() {
    try {
        if (m_recordset) {
            if (m_recordset->RecordCount() != 0) {
                m_recordset->MoveFirst();
                while (!m_recordset->EOF_()) {
                    m_recordset->Delete();
                    // Some recordsets already stand at the end once the last
                    // record is deleted; moving on from there would fail.
                    if (!m_recordset->EOF_()) m_recordset->MoveNext();
                }
            }
        } else {
            DeleteReportFile(m_path); // a missing file is no error
        }
        return true;
    } catch (...) {
        return false;
    }
}

void CErr_ZUR::WriteErrorFile() {
    try {
        const ErrorReportEnvironment env = CurrentErrorReportEnvironment();
        ErrorReportInput input;
        input.ErrDescription = m_errDescription;
        input.ErrNumber = m_errNumber;
        input.ErrProcedure = TopOfStack();
        input.Stack = m_stack;
        input.ScenarioNumber = m_scenarioNumber;
        input.CurrentOperation = m_currentOperation;
        m_errorText = BuildErrorReport(input, env);
    } catch (...) {
        // No report to put in its place: the file of an earlier error does
        // not stay behind as if it told of this one.
        DeleteReportFile(m_path); // a missing file is normal
        throw;
    }
    ReplaceReportFile(m_path, m_errorText + "\r\n");
}
