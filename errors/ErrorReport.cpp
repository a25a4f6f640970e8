#include "errors/ErrorReport.h"

#include <langinfo.h>
#include <locale.h>

#include <cmath>
#include <ctime>
#include <mutex>

#include "db/DBEngine.h"
#include "platform/App.h"
#include "platform/Screen.h"
#include "platform/SystemInfo.h"

namespace {

const std::string kCrLf = "\r\n";

struct Hooks {
    std::mutex mutex;
    std::function<std::string()> systemDb;
    std::function<std::string()> engineVersion;
    std::function<ErrorReportEnvironment()> provider;
};

Hooks& hooks() {
    static Hooks h;
    return h;
}

// The user's locale (from the environment), or the C locale when it names
// none that exists here. Freed by its holder.
class UserLocale {
public:
    UserLocale() {
        m_locale = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
        if (m_locale == static_cast<locale_t>(0)) m_locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    }
    ~UserLocale() {
        if (m_locale != static_cast<locale_t>(0)) ::freelocale(m_locale);
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;
    locale_t get() const { return m_locale; }

private:
    locale_t m_locale;
};

std::string twoDigits(size_t n) {
    std::string s = std::to_string(n);
    return s.size() < 2 ? "0" + s : s;
}

bool interestingLibrary(const std::string& name) {
    for (const char* prefix : {"libsqlite3.so", "libQt6", "libQt5", "libstdc++.so", "libgcc_s.so", "libc.so", "libm.so"})
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

} // namespace

void SetDatabaseEngineInfo(std::function<std::string()> systemDb, std::function<std::string()> version) {
    std::lock_guard lock(hooks().mutex);
    hooks().systemDb = std::move(systemDb);
    hooks().engineVersion = std::move(version);
}

void SetErrorReportEnvironmentProvider(std::function<ErrorReportEnvironment()> provider) {
    std::lock_guard lock(hooks().mutex);
    hooks().provider = std::move(provider);
}

ErrorReportEnvironment CurrentErrorReportEnvironment() {
    std::function<ErrorReportEnvironment()> provider;
    {
        std::lock_guard lock(hooks().mutex);
        provider = hooks().provider;
    }
    return provider ? provider() : CollectErrorReportEnvironment();
}

std::string GeneralDateText(std::int64_t unixTime) {
    std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm tm{};
    if (!::localtime_r(&t, &tm)) return {};
    UserLocale loc;
    char buf[128] = {};
    size_t n = loc.get() != static_cast<locale_t>(0) ? ::strftime_l(buf, sizeof buf, "%x %X", &tm, loc.get())
                                                      : std::strftime(buf, sizeof buf, "%x %X", &tm);
    return std::string(buf, n);
}

std::string FormatReportNumber(double value, const std::string& thousandsSeparator) {
    if (!std::isfinite(value)) return {};
    const double rounded = std::round(value);
    if (rounded == 0) return {};
    const bool negative = rounded < 0;
    // Whole numbers up to 2^53 are exact in a double; larger ones print their
    // nearest representable value.
    char digitsBuf[64];
    std::snprintf(digitsBuf, sizeof digitsBuf, "%.0f", std::fabs(rounded));
    const std::string digits = digitsBuf;
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += thousandsSeparator;
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

std::string FileVersionLabel(const std::string& fileName) {
    std::string label = fileName + " Ver";
    if (label.size() < 18)
        label.append(18 - label.size(), ' ');
    else
        label += ' ';
    return label + ": ";
}

ErrorReportEnvironment CollectErrorReportEnvironment() {
    ErrorReportEnvironment env;
    using platform::App;
    env.ProductVersion =
        std::to_string(App::Major()) + "." + std::to_string(App::Minor()) + "." + std::to_string(App::Revision());
    env.Date = GeneralDateText(static_cast<std::int64_t>(std::time(nullptr)));
    env.AppEXE = App::EXEName();
    env.AppPath = App::Path();

    std::function<std::string()> systemDb, engineVersion;
    {
        std::lock_guard lock(hooks().mutex);
        systemDb = hooks().systemDb;
        engineVersion = hooks().engineVersion;
    }
    env.WorkgroupPath = systemDb ? systemDb() : dao::DBEngine().SystemDB();
    env.DAOVersion = engineVersion ? engineVersion() : dao::DBEngine().Version();

    const platform::KernelInfo kernel = platform::GetKernelInfo();
    env.WindowsType = kernel.sysname;
    env.OSMajorVersion = std::to_string(kernel.major);
    env.OSMinorVersion = std::to_string(kernel.minor);
    env.OSBuild = std::to_string(kernel.patch & 0x7FFF);
    env.OSAdditional = platform::GetOsPrettyName();
    env.WindowsDirectory = platform::SystemRootDirectory();
    env.SystemDirectory = platform::SystemLibraryDirectory();
    env.WinDiskSpace = platform::DiskFreeBytes(env.WindowsDirectory);
    env.AppDiskSpace = platform::DiskFreeBytes(env.AppPath);

    const platform::MemInfo mem = platform::GetMemInfo();
    env.FreePageFile = static_cast<double>(mem.freeSwap);
    env.TotalPhysical = static_cast<double>(mem.totalPhysical);
    env.FreePhysical = static_cast<double>(mem.availablePhysical);
    if (auto screen = platform::GetScreenInfo())
        env.DisplayColors = std::ldexp(1.0, screen->bitsPerPixel * screen->planes);

    env.FileVersions.emplace_back(App::EXEName(), platform::FileVersion(App::ExecutablePath()));
    for (const auto& lib : platform::LoadedLibraries())
        if (interestingLibrary(lib.name)) env.FileVersions.emplace_back(lib.name, platform::FileVersion(lib.path));

    UserLocale loc;
    if (loc.get() != static_cast<locale_t>(0)) {
        const char* sep = ::nl_langinfo_l(THOUSEP, loc.get());
        if (sep && *sep) env.ThousandsSeparator = sep;
    }
    return env;
}

std::string BuildErrorReport(const ErrorReportInput& in, const ErrorReportEnvironment& env) {
    const std::string rule(64, '=');
    std::string t;
    auto line = [&t](const std::string& s) { t += s + kCrLf; };
    auto number = [&env](double v) { return FormatReportNumber(v, env.ThousandsSeparator); };

    line(env.ProductName + " ERROR INFORMATION");
    line(rule);
    line("Please provide a description of what you were doing");
    line("when the error occurred: ");
    line("");
    line("");
    line(rule);
    line("Product Name      : " + env.ProductName);
    line("Product Version   : " + env.ProductVersion);
    line("Date              : " + env.Date);
    line("");
    line(env.ProductName);
    line("App EXE           : " + env.AppEXE);
    line("App Path          : " + env.AppPath);
    line("Workgroup Path    : " + env.WorkgroupPath);
    line("Error String      : " + in.ErrDescription);
    line("Error Number      : " + std::to_string(in.ErrNumber));
    line("Error Procedure   : " + in.ErrProcedure);
    line("");
    line("Procedure Stack");
    line("---------------");
    for (size_t slot = 0; slot < in.Stack.size(); ++slot)
        if (!in.Stack[slot].empty()) line(twoDigits(slot) + std::string(2 * slot, ' ') + in.Stack[slot]);
    line("");
    if (in.ScenarioNumber != 0) {
        line("Scenario Number: " + std::to_string(in.ScenarioNumber));
        line("");
    }
    line("");
    line("");
    line("[System Information]");
    line("Windows Type      : " + env.WindowsType);
    line("Windows Version   : " + env.OSMajorVersion + "." + env.OSMinorVersion);
    line("Windows Build     : " + env.OSBuild + " " + env.OSAdditional);
    line("Windows Directory : " + env.WindowsDirectory);
    line("System Directory  : " + env.SystemDirectory);
    line("Win Disk Space    : " + number(env.WinDiskSpace));
    line("App Disk Space    : " + number(env.AppDiskSpace));
    line("Free Page File    : " + number(env.FreePageFile));
    line("Total Physical Mem: " + number(env.TotalPhysical));
    line("Free Physical Mem : " + number(env.FreePhysical));
    line("Display Colors    : " + number(env.DisplayColors));
    line("DAO Version       : " + env.DAOVersion);
    line("");
    line("");
    line("[File Versions]");
    for (const auto& [file, version] : env.FileVersions) line(FileVersionLabel(file) + version);
    if (!in.CurrentOperation.empty()) line("Current Operation: " + in.CurrentOperation);
    return t;
}
