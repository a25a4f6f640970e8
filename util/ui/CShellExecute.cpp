#include "util/ui/CShellExecute.h"

#include "errors/RunTimeError.h"
#include "platform/ui/Shell.h"

namespace {

template <class F>
long Guarded(const char* routine, F&& call) {
    try {
        return call();
    } catch (...) {
        ShowRoutineError(routine);
        return 0;
    }
}

} // namespace

void CShellExecute::Clear() {
    m_instance = 0;
    m_process = 0;
}

bool CShellExecute::StillExecuting() {
    try {
        return m_instance != 0 && platform::ui::ProcessStillActive(m_process);
    } catch (...) {
        ShowRoutineError("StillExecuting");
        return false;
    }
}

long CShellExecute::Explore(std::int32_t /*hWnd*/, const QString& folder, int showCmd) {
    return Guarded("Explore", [&] {
        Clear();
        return Result(platform::ui::ShellExecute(QStringLiteral("explore"), folder, QString(), QString(), showCmd).instance);
    });
}

long CShellExecute::LaunchDocument(std::int32_t /*hWnd*/, const QString& file, const QString& folder, int showCmd) {
    return Guarded("LaunchDocument", [&] {
        Clear();
        const platform::ui::ShellLaunch r = platform::ui::ShellExecute(QStringLiteral("Open"), file, QString(), folder, showCmd);
        m_instance = r.instance;
        m_process = r.processId;
        return Result(r.instance);
    });
}

long CShellExecute::LaunchEmail(std::int32_t /*hWnd*/, const QString& address, int showCmd) {
    return Guarded("LaunchEmail", [&] {
        Clear();
        return Result(platform::ui::ShellExecute(QString(), QStringLiteral("mailto:") + address, QString(), QString(), showCmd).instance);
    });
}

long CShellExecute::LaunchFolder(std::int32_t /*hWnd*/, const QString& folder, int showCmd) {
    return Guarded("LaunchFolder", [&] {
        Clear();
        return Result(platform::ui::ShellExecute(QStringLiteral("open"), folder, QString(), QString(), showCmd).instance);
    });
}

long CShellExecute::LaunchProgram(std::int32_t /*hWnd*/, const QString& program, const QString& parameters,
                                  const QString& folder, int showCmd) {
    return Guarded("LaunchProgram", [&] {
        Clear();
        const platform::ui::ShellLaunch r = platform::ui::ShellExecute(QStringLiteral("Open"), program, parameters, folder, showCmd);
        m_instance = r.instance;
        m_process = r.processId;
        return Result(r.instance);
    });
}

long CShellExecute::LaunchURL(std::int32_t /*hWnd*/, const QString& url, int showCmd) {
    return Guarded("LaunchURL", [&] {
        Clear();
        return Result(platform::ui::ShellExecute(QString(), url, QString(), QString(), showCmd).instance);
    });
}

long CShellExecute::PrintDocument(std::int32_t /*hWnd*/, const QString& file) {
    return Guarded("PrintDocument", [&] {
        Clear();
        return Result(platform::ui::ShellExecute(QStringLiteral("print"), file, QString(), QString(), SW_HIDE).instance);
    });
}
