#include "app/modOpenDatabase.h"

#include "app/AppGlobals.h"
#include "app/CSampleDatabase.h"
#include "app/MDIMain.h"
#include "app/WholeFile.h"
#include "app/modApplication.h"
#include "db/Dao.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "platform/App.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/ScreenPointer.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/modZURSTAT.h"
#include "util/ui/CFileDialog.h"

#include <QFileInfo>

#include <filesystem>

#include <unistd.h>

using platform::ui::SetScreenMousePointer;

const char* const kDatabaseFileFilter =
    "SQLite Database (*.db;*.sqlite;*.sqlite3)|*.db;*.sqlite;*.sqlite3|All Files (*.*)|*.*";
const char* const kWorkgroupFileFilter = "Workgroup Information File (*.mdw)|*.mdw|All Files (*.*)|*.*";

namespace {

// The open dialog's flags: hide read-only, path and file must exist,
// explorer style, long names.
constexpr std::int32_t kOpenFlags = 0x281804;

QString ErrorLine(const ErrInfo& e) {
    return QString::number(e.Number) + QStringLiteral(": ") + QString::fromStdString(e.Description);
}

void CloseCurrent() noexcept {
    // Every window that shows the current database goes first.
    try {
        CloseDatabaseForms();
    } catch (...) {
    }
    try {
        if (gdbCurrent)
            gdbCurrent->Close();
    } catch (...) {
    }
    gdbCurrent.reset();
    try {
        if (gwsCurrent)
            gwsCurrent->Close();
    } catch (...) {
    }
    gwsCurrent.reset();
    // A fresh engine, which accepts a new workgroup file.
    dao::DBEngine().Reset();
    // The status bar names the current database, and there is none now.
    if (MDIMain* frame = TheMDIMain())
        frame->SetStatusText(QString());
}

bool CanWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

bool ScenarioTablesPresent() {
    for (const char* name : {kScenarioTableName, kOptionsTableName, kFieldsTableName})
        if (!TableDefExists(gdbCurrent, name))
            return false;
    return true;
}

// Makes a new workgroup file and gives it its name once it holds its user
// "Admin": a program killed meanwhile leaves none, rather than one without
// "Admin", in which no database would open again.
void CreateWorkgroupFile(const std::string& path) {
    MakeFileWhole(path, [](const std::string& part) { dao::Workgroup::Create(part); });
}

} // namespace

std::string DefaultWorkgroupFile() {
    // Beside the program when it is there or can be made there; otherwise
    // (a program folder the user may not write to) in the user's data folder.
    const std::string beside = AppFolderFile("ZURSTAT.MDW");
    std::error_code ec;
    if (std::filesystem::exists(beside, ec))
        return beside;
    const std::filesystem::path appFolder = std::filesystem::path(beside).parent_path();
    if (CanWrite(appFolder.string())) {
        CreateWorkgroupFile(beside);
        return beside;
    }
    const std::filesystem::path dataFolder(CSampleDatabase::DataFolder());
    std::filesystem::create_directories(dataFolder, ec);
    const std::string own = (dataFolder / "ZURSTAT.MDW").string();
    if (!std::filesystem::exists(own, ec))
        CreateWorkgroupFile(own);
    return own;
}

bool DatabaseFileIsReadOnly(const std::string& path) {
    // The folder counts too: a change needs a journal file beside the database.
    const std::filesystem::path file(path);
    return !CanWrite(file.string()) || !CanWrite(file.parent_path().string());
}

bool AssignCurrentDatabase(const QString& databaseName, const QString& workgroup, const QString& userName,
                           const QString& password) {
    ProcGuard proc(gErr, "AssignCurrentDatabase");
    SetScreenMousePointer(platform::ui::vbHourglass);
    bool result = false;
    bool goOn = true;

    CloseCurrent();
    try {
        if (!workgroup.isEmpty()) {
            dao::DBEngine().SetSystemDB(workgroup.toStdString());
            try {
                gwsCurrent = dao::DBEngine().CreateWorkspace("Stats", userName.toStdString(), password.toStdString(), 2);
            } catch (...) {
                const ErrInfo e = ErrFromCurrentException();
                gwsCurrent.reset();
                SetScreenMousePointer(platform::ui::vbDefault);
                ShowAppMessage(QStringLiteral("Unable to open the specified workspace using the supplied log on "
                                              "information: \n\n") +
                               ErrorLine(e));
                goOn = false;
            }
        } else {
            dao::DBEngine().SetSystemDB(DefaultWorkgroupFile());
            gwsCurrent = dao::DBEngine().CreateWorkspace("StatsGeneric", "Admin", "");
        }

        if (goOn) {
            try {
                // The password goes to the layer as its own argument: a ";" or
                // "=" in it cannot change what is asked for.
                const dao::ConnectOptions connect{password.toStdString(), true};
                gdbCurrent = gwsCurrent->OpenDatabase(databaseName.toStdString(), false, false, connect);
            } catch (...) {
                const ErrInfo e = ErrFromCurrentException();
                gdbCurrent.reset();
                SetScreenMousePointer(platform::ui::vbDefault);
                ShowAppMessage(QStringLiteral("Unable to open the selected database: \n\n") + ErrorLine(e));
                goOn = false;
            }
        }

        if (goOn && !ScenarioTablesPresent() && DatabaseFileIsReadOnly(gdbCurrent->Name())) {
            // The tables cannot be added: say why, and leave the file as it is.
            SetScreenMousePointer(platform::ui::vbDefault);
            ShowAppMessage(QStringLiteral("The database ") + QString::fromStdString(gdbCurrent->Name()) +
                           QStringLiteral(" is read-only.\n\nThe Varnello scenario tables cannot be added to it. "
                                          "Open a copy that you may change, or ask for write access to the file."));
            goOn = false;
        }

        if (goOn && CheckQuorbTables()) {
            if (MDIMain* frame = TheMDIMain())
                frame->SetStatusText(QString::fromStdString(gdbCurrent->Name()));
            result = true;
        }
    } catch (...) {
        proc.HandleError();
    }
    SetScreenMousePointer(platform::ui::vbDefault);
    return result;
}

bool IsValidExistingFile(const QString& fileName) {
    try {
        const QString trimmed = fileName.trimmed();
        if (trimmed.isEmpty())
            return false;
        // A long extension is refused, except the database files' own.
        const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0) {
            const QString after = fileName.mid(dot + 1);
            const bool databaseExtension = after.compare(QLatin1String("sqlite"), Qt::CaseInsensitive) == 0 ||
                                           after.compare(QLatin1String("sqlite3"), Qt::CaseInsensitive) == 0;
            if (after.size() > 3 && !databaseExtension)
                return false;
        }
        if (trimmed.endsWith(QLatin1Char('\\')) || trimmed.endsWith(QLatin1Char(':')) ||
            trimmed.endsWith(QLatin1Char('/')))
            return false;
        static const char* const devices[] = {"AUX", "COM", "COM1", "COM2", "COM3", "COM4", "PRN", "LPT1", "LPT2", "LPT3"};
        const QString upper = fileName.toUpper();
        for (const char* device : devices)
            if (upper == QLatin1String(device))
                return false;
        const QFileInfo info(fileName);
        return info.exists() && info.isFile();
    } catch (...) {
        return false;
    }
}

long FileOpenDialog(QString& fileName, QWidget* owner, const QString& initialDir, const QString& filter) {
    ProcGuard proc(gErr, "FileOpenDialog");
    long result = 0;
    try {
        if (!fileName.isEmpty()) {
            if (!IsValidExistingFile(fileName))
                result = kFileOpenInvalidFile;
        } else {
            CFileDialog dialog;
            dialog.SetInitialDir(initialDir);
            dialog.SetFlags(kOpenFlags);
            dialog.SetFilterIndex(1);
            dialog.SetDefaultExt(QStringLiteral("db"));
            dialog.SetDialogTitle(QString::fromStdString(platform::App::Title()) + QStringLiteral(" Open Database"));
            dialog.SetFilter(filter);
            dialog.SetParent(owner);
            if (!dialog.Show(true)) {
                result = kFileOpenCancelled;
            } else if (IsValidExistingFile(dialog.FileName())) {
                fileName = dialog.FileName();
            } else {
                result = kFileOpenInvalidFile;
            }
        }
    } catch (...) {
        proc.HandleError();
    }
    return result;
}
