// The error report file: its exact lines for a known stack, error and
// environment, and its rewriting at each error.
#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "errors/CErr_ZUR.h"
#include "errors/ErrorReport.h"
#include "platform/App.h"
#include "support/HookRecorder.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

ErrorReportEnvironment knownEnvironment() {
    ErrorReportEnvironment env;
    env.ProductVersion = "0.1.0";
    env.Date = "12/08/2025 19:40:00";
    env.AppEXE = "varnello";
    env.AppPath = "/opt/varnello";
    env.WorkgroupPath = "/opt/varnello/ZURSTAT.MDW";
    env.WindowsType = "Linux";
    env.OSMajorVersion = "6";
    env.OSMinorVersion = "1";
    env.OSBuild = "55";
    env.OSAdditional = "Debian GNU/Linux 12 (bookworm)";
    env.WindowsDirectory = "/usr";
    env.SystemDirectory = "/lib/x86_64-linux-gnu";
    env.WinDiskSpace = 1234567890;
    env.AppDiskSpace = 0;
    env.FreePageFile = 999;
    env.TotalPhysical = 16384000000.0;
    env.FreePhysical = 1000;
    env.DisplayColors = 16777216;
    env.DAOVersion = "3.6";
    env.FileVersions = {{"varnello", "0.1.0.0"},
                        {"libsqlite3.so.0.8.6", "3.40.1.0"},
                        {"libQt6Widgets.so.6.4.2", "6.4.2.0"},
                        {"missing.dll", ""}};
    env.ThousandsSeparator = ",";
    return env;
}

const std::string kRule(64, '=');

std::vector<std::string> headLines(const std::string& description, long number, const std::string& procedure) {
    return {"Varnello ERROR INFORMATION",
            kRule,
            "Please provide a description of what you were doing",
            "when the error occurred: ",
            "",
            "",
            kRule,
            "Product Name      : Varnello",
            "Product Version   : 0.1.0",
            "Date              : 12/08/2025 19:40:00",
            "",
            "Varnello",
            "App EXE           : varnello",
            "App Path          : /opt/varnello",
            "Workgroup Path    : /opt/varnello/ZURSTAT.MDW",
            "Error String      : " + description,
            "Error Number      : " + std::to_string(number),
            "Error Procedure   : " + procedure,
            "",
            "Procedure Stack",
            "---------------"};
}

const std::vector<std::string> kSystemLines = {
    "[System Information]",
    "Windows Type      : Linux",
    "Windows Version   : 6.1",
    "Windows Build     : 55 Debian GNU/Linux 12 (bookworm)",
    "Windows Directory : /usr",
    "System Directory  : /lib/x86_64-linux-gnu",
    "Win Disk Space    : 1,234,567,890",
    "App Disk Space    : ",
    "Free Page File    : 999",
    "Total Physical Mem: 16,384,000,000",
    "Free Physical Mem : 1,000",
    "Display Colors    : 16,777,216",
    "DAO Version       : 3.6",
    "",
    "",
    "[File Versions]",
    "varnello Ver      : 0.1.0.0",
    "libsqlite3.so.0.8.6 Ver : 3.40.1.0",
    "libQt6Widgets.so.6.4.2 Ver : 6.4.2.0",
    "missing.dll Ver   : ",
};

class ErrorReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorReportEnvironmentProvider(knownEnvironment);
        handler.SetDisplayError(false);
        handler.SetDestination(dir.file("error.log"));
    }
    void TearDown() override { SetErrorReportEnvironmentProvider({}); }

    vtest::TempDir dir;
    vtest::HookRecorder rec;
    CErr_ZUR handler;
};

TEST_F(ErrorReportTest, ExactReportForAKnownStackAndError) {
    handler.Push("Sub Main");
    handler.Push("MDIForm_Load");
    handler.HandleError(11, "Division by zero");

    std::vector<std::string> lines = headLines("Division by zero", 11, "MDIForm_Load");
    for (const char* l : {"01  Sub Main", "02    MDIForm_Load", "", "", ""}) lines.push_back(l);
    lines.insert(lines.end(), kSystemLines.begin(), kSystemLines.end());
    const std::string expected = joinCrLf(lines);

    EXPECT_EQ(handler.ErrorText(), expected);
    EXPECT_EQ(vtest::ReadFileBytes(dir.file("error.log")), expected + "\r\n"); // the write adds one more line end
}

TEST_F(ErrorReportTest, ScenarioNumberAndCurrentOperationLines) {
    handler.Push("Melvar_RunScenario");
    handler.Push("RunOneScenario");
    handler.SetScenarioNumber(12);
    handler.SetCurrentOperation("Reading data");
    handler.HandleError(3265, "Item not found in this collection.");

    std::vector<std::string> lines = headLines("Item not found in this collection.", 3265, "RunOneScenario");
    for (const char* l : {"01  Melvar_RunScenario", "02    RunOneScenario", "", "Scenario Number: 12", "", "", ""})
        lines.push_back(l);
    lines.insert(lines.end(), kSystemLines.begin(), kSystemLines.end());
    lines.push_back("Current Operation: Reading data");
    EXPECT_EQ(handler.ErrorText(), joinCrLf(lines));
}

TEST_F(ErrorReportTest, StackLinesAreIndentedTwoBlanksPerSlot) {
    for (int i = 1; i <= 11; ++i) handler.Push("P" + std::to_string(i));
    handler.HandleError(1, "x");
    const std::string text = handler.ErrorText();
    EXPECT_NE(text.find("\r\n01  P1\r\n02    P2\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n10" + std::string(20, ' ') + "P10\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n11" + std::string(22, ' ') + "P11\r\n"), std::string::npos);
    EXPECT_NE(text.find("Error Procedure   : P11\r\n"), std::string::npos);
}

TEST_F(ErrorReportTest, TwoErrorsInARowLeaveOnlyTheSecondReport) {
    handler.Push("First");
    handler.HandleError(6, "Overflow");
    handler.Pop();
    handler.Push("Second");
    handler.HandleError(11, "Division by zero");
    const std::string file = vtest::ReadFileBytes(dir.file("error.log"));
    EXPECT_EQ(file, handler.ErrorText() + "\r\n");
    EXPECT_EQ(file.find("Overflow"), std::string::npos);
    EXPECT_EQ(file.find("Varnello ERROR INFORMATION"), file.rfind("Varnello ERROR INFORMATION"));
    EXPECT_NE(file.find("Error Procedure   : Second\r\n"), std::string::npos);
}

TEST_F(ErrorReportTest, DestinationInAMissingFolderLeavesNoFileButTheText) {
    handler.SetDestination(dir.file("nowhere/error.log"));
    handler.HandleError(76, "Path not found");
    EXPECT_FALSE(fs::exists(dir.file("nowhere")));
    EXPECT_NE(handler.ErrorText().find("Error String      : Path not found\r\n"), std::string::npos);
}

// A program folder that takes no new file, with a report file in it that may
// be written: the earlier report cannot be deleted, and the new one takes its
// place all the same instead of being added after it.
TEST_F(ErrorReportTest, AFolderThatTakesNoNewFileStillGetsOnlyTheLastReport) {
    const std::string folder = dir.file("program");
    fs::create_directory(folder);
    const std::string log = folder + "/error.log";
    handler.SetDestination(log);
    handler.Push("First");
    handler.HandleError(6, "Overflow");
    ASSERT_TRUE(fs::exists(log));
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(folder.c_str(), 0555);
    ::chmod(log.c_str(), 0666);
    const int result = vtest::RunUnprivileged([&] {
        CErr_ZUR second;
        second.SetDisplayError(false);
        second.SetDestination(log);
        second.Push("Second");
        second.HandleError(11, "Division by zero");
        return 0;
    });
    ::chmod(folder.c_str(), 0755);
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(result, 0);

    std::vector<std::string> lines = headLines("Division by zero", 11, "Second");
    for (const char* l : {"01  Second", "", "", ""}) lines.push_back(l);
    lines.insert(lines.end(), kSystemLines.begin(), kSystemLines.end());
    EXPECT_EQ(vtest::ReadFileBytes(log), joinCrLf(lines) + "\r\n");
}

// One whole report of the known environment and nothing else, as the file
// holds it (the write ends it with one more line end).
bool IsOneWholeReport(const std::string& file) {
    const std::string head = "Varnello ERROR INFORMATION\r\n";
    const std::string tail = "missing.dll Ver   : \r\n\r\n";
    return file.rfind(head, 0) == 0 && file.find(head, 1) == std::string::npos && file.size() > tail.size() &&
           file.compare(file.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

// A report that cannot be written out whole (a full disk, here a file-size
// limit; a program stopped half-way is the same) leaves the earlier report as
// it was, instead of having deleted it for the first part of the new one.
TEST_F(ErrorReportTest, AWriteThatFailsHalfWayKeepsTheEarlierReport) {
    handler.Push("First");
    handler.HandleError(6, "Overflow");
    const std::string earlier = vtest::ReadFileBytes(dir.file("error.log"));
    ASSERT_TRUE(IsOneWholeReport(earlier));
    const int result = vtest::RunInChildProcess([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{512, 512}; // a report of this environment is over 1,000 bytes
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
        handler.HandleError(11, "Division by zero");
        // The dialog still gets the new report's text.
        return handler.ErrorText().find("Error String      : Division by zero\r\n") == std::string::npos ? 2 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(vtest::ReadFileBytes(dir.file("error.log")), earlier);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"error.log"}); // no part-written file left beside it
}

// Programs killed while they wrote a report (by the file-size limit, half-way
// through; a program ended from outside is the same) each left their
// unfinished report beside the report file, named after their process, and
// nothing ever removed one: the next report leaves none of them.
TEST_F(ErrorReportTest, ReportsOfProgramsKilledWhileWritingThemAreNotLeftBesideTheReport) {
    handler.Push("First");
    handler.HandleError(6, "Overflow");
    for (int k = 0; k < 3; ++k) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{512, 512}; // a report of this environment is over 1,000 bytes
            ::setrlimit(RLIMIT_FSIZE, &limit);
            handler.HandleError(11, "Division by zero");
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "program " << k << " was not stopped";
    }
    handler.HandleError(13, "Type mismatch");
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"error.log"});
    EXPECT_NE(vtest::ReadFileBytes(dir.file("error.log")).find("Error String      : Type mismatch\r\n"), std::string::npos);
}

// A report file whose name is as long as names may be: the report is still
// written, though the name has no room for a suffix.
TEST_F(ErrorReportTest, AReportFileWithTheLongestNameIsStillWritten) {
    const std::string log = dir.file(std::string(251, 'e') + ".log"); // 255 characters
    handler.SetDestination(log);
    handler.HandleError(11, "Division by zero");
    EXPECT_EQ(vtest::ReadFileBytes(log), handler.ErrorText() + "\r\n");
}

// Programs that fail at the same moment (two windows, two engines on the
// default report file) each replace the report: whoever reads the file,
// during and after, finds one whole report, never none or two run together.
TEST_F(ErrorReportTest, ProgramsReportingAtOnceLeaveOneWholeReport) {
    const std::string log = dir.file("error.log");
    handler.HandleError(6, "Overflow");
    constexpr int kPrograms = 4;
    constexpr int kReports = 60;
    std::vector<pid_t> children;
    for (int k = 0; k < kPrograms; ++k) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            CErr_ZUR program;
            program.SetDisplayError(false);
            program.SetDestination(log);
            program.Push("Program " + std::to_string(k));
            for (int i = 1; i <= kReports; ++i) program.HandleError(i, "Error " + std::to_string(i));
            ::_exit(0);
        }
        children.push_back(pid);
    }
    int reads = 0;
    int spoilt = 0;
    for (size_t running = children.size(); running > 0;) {
        if (!IsOneWholeReport(vtest::ReadFileBytes(log))) ++spoilt;
        ++reads;
        running = 0;
        for (pid_t pid : children)
            if (::waitpid(pid, nullptr, WNOHANG) == 0) ++running;
    }
    EXPECT_EQ(spoilt, 0) << "of " << reads << " reads";
    EXPECT_TRUE(IsOneWholeReport(vtest::ReadFileBytes(log)));
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"error.log"});
}

struct NumberCase {
    double value;
    const char* separator;
    const char* expected;
};

TEST(ErrorReportFormat, NumbersGroupedInThreesAndZeroAsNothing) {
    const NumberCase cases[] = {
        {0, ",", ""},
        {0.4, ",", ""},
        {1, ",", "1"},
        {999, ",", "999"},
        {1000, ",", "1,000"},
        {999999, ",", "999,999"},
        {1000000, ",", "1,000,000"},
        {1234567890, ",", "1,234,567,890"},
        {16384000000.0, ".", "16.384.000.000"},
        {4294967296.0, ",", "4,294,967,296"},
        {1499.5, ",", "1,500"},
        {-1, ",", "-1"},
        {-12345, ",", "-12,345"},
        {999999999999999.0, ",", "999,999,999,999,999"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatReportNumber(c.value, c.separator), c.expected) << c.value;
}

struct LabelCase {
    const char* file;
    const char* label;
};

// The labels of the classic file table, and longer names.
TEST(ErrorReportFormat, FileVersionLabelsArePaddedTo18) {
    const LabelCase cases[] = {
        {"asycfilt.dll", "asycfilt.dll Ver  : "}, {"comcat.dll", "comcat.dll Ver    : "},
        {"Comctl32.OCX", "Comctl32.OCX Ver  : "}, {"DAO350.dll", "DAO350.dll Ver    : "},
        {"glu32.dll", "glu32.dll Ver     : "},    {"stdole2.tlb", "stdole2.tlb Ver   : "},
        {"vb5db.dll", "vb5db.dll Ver     : "},    {"libc.so.6", "libc.so.6 Ver     : "},
        {"libstdc++.so.6.0.30", "libstdc++.so.6.0.30 Ver : "},
    };
    for (const auto& c : cases) EXPECT_EQ(FileVersionLabel(c.file), c.label);
}

TEST(ErrorReportFormat, GeneralDateInTheCLocale) {
    const char* oldTz = std::getenv("TZ");
    const char* oldAll = std::getenv("LC_ALL");
    const std::string tz = oldTz ? oldTz : "", all = oldAll ? oldAll : "";
    ::setenv("TZ", "UTC", 1);
    ::setenv("LC_ALL", "C", 1);
    ::tzset();
    EXPECT_EQ(GeneralDateText(0), "01/01/70 00:00:00");
    EXPECT_EQ(GeneralDateText(1700000000), "11/14/23 22:13:20");
    oldTz ? ::setenv("TZ", tz.c_str(), 1) : ::unsetenv("TZ");
    oldAll ? ::setenv("LC_ALL", all.c_str(), 1) : ::unsetenv("LC_ALL");
    ::tzset();
}

TEST(ErrorReportEnvironmentOfThisSystem, NamesTheProgramAndTheLibrariesItRunsOn) {
    platform::App::SetVersion(0, 1, 0);
    const ErrorReportEnvironment env = CollectErrorReportEnvironment();
    EXPECT_EQ(env.ProductName, "Varnello");
    EXPECT_EQ(env.ProductVersion, "0.1.0");
    EXPECT_EQ(env.AppEXE, program_invocation_short_name);
    EXPECT_EQ(env.WindowsType, "Linux");
    EXPECT_EQ(env.WindowsDirectory, "/usr");
    EXPECT_GT(env.TotalPhysical, 0);
    EXPECT_LE(env.FreePhysical, env.TotalPhysical);
    EXPECT_GT(env.AppDiskSpace, 0);
    EXPECT_FALSE(env.DAOVersion.empty());
    ASSERT_FALSE(env.FileVersions.empty());
    EXPECT_EQ(env.FileVersions[0].first, program_invocation_short_name);
    EXPECT_EQ(env.FileVersions[0].second, "0.1.0.0");
    bool sqlite = false, cxx = false;
    for (const auto& [name, version] : env.FileVersions) {
        if (name.rfind("libsqlite3.so", 0) == 0) {
            sqlite = true;
            EXPECT_EQ(version, std::string(sqlite3_libversion()) + ".0");
        }
        if (name.rfind("libstdc++.so", 0) == 0) {
            cxx = true;
            EXPECT_FALSE(version.empty());
        }
        EXPECT_EQ(name.find("libgtest"), std::string::npos); // only the libraries that matter
    }
    EXPECT_TRUE(sqlite);
    EXPECT_TRUE(cxx);
}

TEST(ErrorReportOfThisSystem, AReportWrittenWithTheRealEnvironment) {
    vtest::TempDir dir;
    vtest::HookRecorder rec;
    CErr_ZUR h;
    h.SetDisplayError(false);
    h.SetDestination(dir.file("error.log"));
    h.Push("Sub Main");
    h.HandleError(7, "Out of memory");
    const std::string file = vtest::ReadFileBytes(dir.file("error.log"));
    EXPECT_EQ(file.rfind("Varnello ERROR INFORMATION\r\n", 0), 0u);
    EXPECT_NE(file.find(std::string("App EXE           : ") + program_invocation_short_name + "\r\n"),
              std::string::npos);
    EXPECT_NE(file.find("\r\n01  Sub Main\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\n[File Versions]\r\n"), std::string::npos);
    EXPECT_EQ(file.substr(file.size() - 4), "\r\n\r\n");
}

} // namespace
