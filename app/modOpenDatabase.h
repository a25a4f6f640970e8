#pragma once
// Opening the current database and the file checks of the open-database
// dialog.
#include "db/Database.h"
#include "errors/RunTimeError.h"

#include <QString>

#include <string>

class QWidget;

// FileOpenDialog's results besides 0.
constexpr long kFileOpenInvalidFile = rterr::vbObjectError + 1000; // hex 800403E8
constexpr long kFileOpenCancelled = rterr::vbObjectError + 1001;   // hex 800403E9

// The filters of the two browse buttons: the database files this system opens
// and the workgroup information file.
extern const char* const kDatabaseFileFilter;
extern const char* const kWorkgroupFileFilter;

// The default workgroup file "ZURSTAT.MDW": beside the program when it is
// there or the program's folder may be written, else in the user's data
// folder; created with the user "Admin" and an empty password when missing.
std::string DefaultWorkgroupFile();

// True when the database file, or the folder that must take its journal,
// cannot be written.
bool DatabaseFileIsReadOnly(const std::string& path);

// Closes the current database and workspace, logs on (to the workgroup file
// when one is given, else to the default workgroup as "Admin"), opens the
// database with its password (handed to the data layer as its own argument,
// never inside a connect text) and makes sure that it carries the scenario
// tables. True when the database is open and carries them; the frame's status
// bar then shows its full path.
bool AssignCurrentDatabase(const QString& databaseName, const QString& workgroup, const QString& userName,
                           const QString& password);

// True when the name is usable (not empty, no long extension other than the
// database extensions, no trailing separator, no device name) and names an
// existing file.
bool IsValidExistingFile(const QString& fileName);

// With a non-empty fileName: 0 when it is a valid existing file, else
// kFileOpenInvalidFile. With an empty one: shows the open dialog; 0 with
// fileName set to the chosen file, kFileOpenCancelled on cancel,
// kFileOpenInvalidFile when the chosen name is not a valid existing file.
long FileOpenDialog(QString& fileName, QWidget* owner, const QString& initialDir, const QString& filter);
