#pragma once
// The error report file: a plain-text report of the error, the procedure
// stack, the system and the versions of the libraries the program runs on.
// CErr_ZUR writes it at each handled error when its destination is a path:
// the new report, once written whole, takes the old file's place, so the file
// holds only the last error.
//
// The report is built from two parts: what the handler captured
// (ErrorReportInput) and what the system tells (ErrorReportEnvironment, read
// afresh for each report). Every line ends with CR LF; the file gets one more
// CR LF after the last line.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct ErrorReportInput {
    std::string ErrDescription;
    long ErrNumber = 0;
    std::string ErrProcedure;         // the name at the stack pointer
    std::vector<std::string> Stack;   // every slot, from slot 0
    long ScenarioNumber = 0;
    std::string CurrentOperation;
};

struct ErrorReportEnvironment {
    std::string ProductName = "Varnello";
    std::string ProductVersion;       // major.minor.revision
    std::string Date;                 // current local date and time
    std::string AppEXE;
    std::string AppPath;
    std::string WorkgroupPath;        // the database engine's system database
    std::string WindowsType;          // "Window 9x", or the system's name ("Linux")
    std::string OSMajorVersion;
    std::string OSMinorVersion;
    std::string OSBuild;
    std::string OSAdditional;
    std::string WindowsDirectory;
    std::string SystemDirectory;
    double WinDiskSpace = 0;          // free bytes of the system's file system
    double AppDiskSpace = 0;          // free bytes of the application's
    double FreePageFile = 0;
    double TotalPhysical = 0;
    double FreePhysical = 0;
    double DisplayColors = 0;
    std::string DAOVersion;           // the database engine's version text
    // The libraries the program runs on: file name and version text.
    std::vector<std::pair<std::string, std::string>> FileVersions;
    std::string ThousandsSeparator = ",";
};

// What this system gives for each item of the environment: the application's
// own data (platform::App), the local time, the system information of
// COSInfo/CMemoryStatus, free disk space, the database engine's data (see
// SetDatabaseEngineInfo) and the loaded libraries (the program itself, SQLite,
// the Qt libraries when loaded, the C++ runtime, the C library).
ErrorReportEnvironment CollectErrorReportEnvironment();

// By default the report takes the workgroup path and the version text from
// the data-access layer's engine (dao::DBEngine()); a program may name other
// sources (empty functions go back to the engine).
void SetDatabaseEngineInfo(std::function<std::string()> systemDb, std::function<std::string()> version);

// Replaces CollectErrorReportEnvironment for the reports CErr_ZUR writes (for
// tests); an empty function goes back to it.
void SetErrorReportEnvironmentProvider(std::function<ErrorReportEnvironment()> provider);
ErrorReportEnvironment CurrentErrorReportEnvironment();

// The full report text, every line ended by CR LF.
std::string BuildErrorReport(const ErrorReportInput& input, const ErrorReportEnvironment& env);

// Numbers of the system section: digits grouped in threes with the separator,
// no decimals (rounded), and 0 printed as nothing.
std::string FormatReportNumber(double value, const std::string& thousandsSeparator);

// The label of a file-version line: the file name and " Ver" padded with
// blanks to 18 characters (at least one blank), then ": ".
std::string FileVersionLabel(const std::string& fileName);

// The general date format: the locale's date and time representation.
std::string GeneralDateText(std::int64_t unixTime);
