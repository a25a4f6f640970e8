// Opening the current database: the file-name test, the open dialog of the
// browse buttons, the log-on and its messages, the recent databases and the
// closing of the database's windows.
#include "AppTestSupport.h"

#include "app/AppGlobals.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmOpenDatabase.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "app/modOpenDatabase.h"
#include "db/Dao.h"
#include "scenario/AppDatabase.h"
#include "support/FilesMade.h"
#include "support/TwoStartsAtOnce.h"
#include "util/CMRU.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

using namespace apptest;

namespace {

void Touch(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "x";
}

// ---- the file-name test ----------------------------------------------------------

struct NameCase {
    const char* label;
    const char* relative; // below the test folder; "" for the empty name
    bool create;          // make the file first
    bool expected;
};

class ValidExistingFile : public ::testing::TestWithParam<NameCase> {
protected:
    vtest::TempDir tmp;
};

TEST_P(ValidExistingFile, Decides) {
    const NameCase& c = GetParam();
    std::string name = c.relative;
    if (!name.empty() && name != "AUX" && name != "   ")
        name = tmp.file(c.relative);
    if (c.create)
        Touch(name);
    EXPECT_EQ(IsValidExistingFile(QString::fromStdString(name)), c.expected) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ValidExistingFile,
    ::testing::Values(NameCase{"Empty", "", false, false}, NameCase{"Blanks", "   ", false, false},
                      NameCase{"DbFile", "scores.db", true, true}, NameCase{"SqliteFile", "scores.sqlite", true, true},
                      NameCase{"Sqlite3File", "scores.SQLITE3", true, true},
                      NameCase{"WorkgroupFile", "system.mdw", true, true},
                      NameCase{"NoExtension", "scores", true, true},
                      NameCase{"LongExtension", "scores.backup", true, false},
                      NameCase{"DotOnlyInFolderName", "data.2019/stats", true, false},
                      NameCase{"TrailingSeparator", "folder/", false, false},
                      NameCase{"Folder", "folder", false, false}, NameCase{"Missing", "missing.db", false, false},
                      NameCase{"DeviceName", "AUX", false, false}),
    [](const ::testing::TestParamInfo<NameCase>& p) { return std::string(p.param.label); });

// The "Folder" case names an existing folder.
TEST(ValidExistingFileFolder, AFolderIsNoFile) {
    vtest::TempDir tmp;
    std::filesystem::create_directories(tmp.file("folder.db"));
    EXPECT_FALSE(IsValidExistingFile(QString::fromStdString(tmp.file("folder.db"))));
}

// ---- the application around the tests -----------------------------------------------

class OpenDatabase : public AppFixture {
protected:
    // The application started, its first dialog cancelled.
    MDIMain* StartCancelled() {
        script.CancelOpenDatabase();
        return frame = Start();
    }
    // The application started, the dialog opening `path`.
    MDIMain* StartOn(const std::string& path) {
        script.OpenDatabase(path);
        return frame = Start();
    }
    // A scenario database `name` in the test folder, locked with `password`
    // when one is given: its path.
    std::string ScoresDatabase(const char* name, const std::string& password = {}) {
        const std::string path = File(name);
        CreateScoresDatabase(path, true);
        if (!password.empty())
            SetDatabasePassword(path, password);
        return path;
    }
    // "secure.mdw" with the user bob, password "letmein": its path.
    std::string BobsWorkgroup() {
        const std::string wg = File("secure.mdw");
        dao::Workgroup::Create(wg);
        dao::Workgroup::SetUser(wg, "bob", "letmein");
        return wg;
    }
    ModalScript script;
    MDIMain* frame = nullptr;
};

bool Assign(const std::string& db, const std::string& workgroup = {}, const char* user = "", const char* password = "") {
    return AssignCurrentDatabase(QString::fromStdString(db), QString::fromStdString(workgroup),
                                 QString::fromLatin1(user), QString::fromLatin1(password));
}

TEST_F(OpenDatabase, FileOpenDialogChecksAGivenNameWithoutShowingADialog) {
    ASSERT_NE(StartCancelled(), nullptr);
    const std::string good = File("good.db");
    Touch(good);
    QString name = QString::fromStdString(good);
    EXPECT_EQ(FileOpenDialog(name, nullptr, QString(), QString::fromLatin1(kDatabaseFileFilter)), 0);
    EXPECT_EQ(name, QString::fromStdString(good));
    QString missing = QString::fromStdString(File("missing.db"));
    EXPECT_EQ(FileOpenDialog(missing, nullptr, QString(), QString::fromLatin1(kDatabaseFileFilter)),
              -2147221504L + 1000);
    EXPECT_EQ(script.Seen().size(), 1u);
}

TEST_F(OpenDatabase, FileOpenDialogReturnsTheChosenFileOrCancelled) {
    ASSERT_NE(StartCancelled(), nullptr);
    const std::string chosen = File("chosen.sqlite");
    Touch(chosen);
    script.FileDialog(QString::fromStdString(chosen));
    QString name;
    EXPECT_EQ(FileOpenDialog(name, nullptr, QString::fromStdString(m_tmp.path().string()),
                             QString::fromLatin1(kDatabaseFileFilter)),
              0);
    EXPECT_EQ(name, QString::fromStdString(chosen)) << script.Unexpected().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(script.Seen().back().title, QStringLiteral("Varnello Open Database"));

    script.FileDialog(QString());
    QString none;
    EXPECT_EQ(FileOpenDialog(none, nullptr, QString(), QString::fromLatin1(kDatabaseFileFilter)), -2147221504L + 1001);
    EXPECT_TRUE(none.isEmpty());
}

TEST_F(OpenDatabase, MissingDatabaseFileGivesTheDatabaseMessage) {
    ASSERT_NE(StartCancelled(), nullptr);
    const std::string missing = File("gone.db");
    script.Message(1);
    EXPECT_FALSE(Assign(missing));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(), QStringLiteral("Unable to open the selected database: \n\n3024: Couldn't find file '") +
                                            QString::fromStdString(missing) + QStringLiteral("'."));
    ASSERT_NE(gwsCurrent, nullptr);
    EXPECT_EQ(gdbCurrent, nullptr);
}

TEST_F(OpenDatabase, WrongWorkgroupPasswordGivesTheWorkspaceMessage) {
    ASSERT_NE(StartCancelled(), nullptr);
    const std::string db = ScoresDatabase("scores.db");
    const std::string wg = BobsWorkgroup();
    script.Message(1);
    EXPECT_FALSE(Assign(db, wg, "bob", "wrong"));
    EXPECT_EQ(script.Messages().back(), QStringLiteral("Unable to open the specified workspace using the supplied log "
                                                       "on information: \n\n3029: Not a valid account name or password."));
    EXPECT_EQ(gwsCurrent, nullptr);
    EXPECT_EQ(gdbCurrent, nullptr);

    EXPECT_TRUE(Assign(db, wg, "bob", "letmein"));
    ASSERT_NE(gwsCurrent, nullptr);
    EXPECT_EQ(gwsCurrent->Name(), "Stats");
    EXPECT_EQ(gwsCurrent->UserName(), "bob");
    EXPECT_EQ(TheMDIMain()->StatusText(), QString::fromStdString(db));
}

TEST_F(OpenDatabase, WrongDatabasePasswordGivesTheDatabaseMessage) {
    ASSERT_NE(StartCancelled(), nullptr);
    const std::string db = ScoresDatabase("locked.db", "secret");
    script.Message(1);
    EXPECT_FALSE(Assign(db, {}, "", "wrong"));
    EXPECT_EQ(script.Messages().back(), QStringLiteral("Unable to open the selected database: \n\n3031: Not a valid password."));
    EXPECT_NE(gwsCurrent, nullptr);
    EXPECT_EQ(gdbCurrent, nullptr);
    EXPECT_TRUE(Assign(db, {}, "", "secret"));
}

TEST_F(OpenDatabase, PasswordWithSemicolonIsHandedOverAsItsOwnArgument) {
    // Built into a connect text ";pwd=" + password, this password would
    // be cut at its ";" and the database would refuse it.
    ASSERT_NE(StartCancelled(), nullptr);
    const std::string db = ScoresDatabase("semicolon.db", "a;pwd=b");
    EXPECT_TRUE(Assign(db, {}, "", "a;pwd=b"));
    EXPECT_TRUE(script.Done());
    ASSERT_NE(gdbCurrent, nullptr);
    EXPECT_TRUE(gdbCurrent->IsOpen());
}

// The default workgroup file was made under its own name and given its user
// "Admin" after: a first open killed in between left a file without "Admin",
// and no database without a workgroup opened again (an unanticipated error
// at every open).
TEST_F(OpenDatabase, AFirstOpenKilledWhileItMadeTheDefaultWorkgroupFileKeepsEveryDatabaseClosed) {
    const std::string db = ScoresDatabase("scores.db");
    const std::string workgroup = AppDir() + "/ZURSTAT.MDW";
    const struct {
        const char* open;
        bool leftOver; // what such an open leaves now: the file it was making
    } rows[] = {
        {"the first open", false},
        {"after a first open killed while it made the file", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.open);
        CloseCurrentDatabase();
        dao::DBEngine().Reset();
        std::filesystem::remove(workgroup);
        if (r.leftOver)
            std::ofstream(workgroup + ".part") << "half made";
        const auto made = vtest::FilesMadeDuring(AppDir(), [&] { EXPECT_TRUE(Assign(db)); });
        EXPECT_EQ(vtest::Creations(made, "ZURSTAT.MDW"), 0);
        EXPECT_EQ(vtest::Renames(made, "ZURSTAT.MDW"), 1);
        EXPECT_FALSE(std::filesystem::exists(workgroup + ".part"));
        EXPECT_TRUE(dao::Workgroup::Verify(workgroup, "Admin", ""));
    }
}

// Two first starts at once (from two machines on a shared folder) made the
// default workgroup file under one temporary name: the second removed the
// first one's half-made file, and the first then failed to give it its
// name. Here the first start stops just before its rename until the second
// has made the file whole; both must finish, the file must hold "Admin",
// and neither may leave a file of its own behind.
TEST_F(OpenDatabase, TwoFirstStartsMakingTheDefaultWorkgroupFileAtOnceBothFinishWhole) {
    const std::string workgroup = AppDir() + "/ZURSTAT.MDW";
    CloseCurrentDatabase();
    dao::DBEngine().Reset();
    std::filesystem::remove(workgroup);
    const vtest::TwoStarts starts = vtest::TwoStartsAtOnce(
        [&] {
            try {
                const std::string made = DefaultWorkgroupFile();
                return made == workgroup && dao::Workgroup::Verify(made, "Admin", "") ? 0 : 1;
            } catch (...) {
                return 2;
            }
        },
        [&] { EXPECT_FALSE(std::filesystem::exists(workgroup)) << "the first start has not renamed its file yet"; });
    EXPECT_TRUE(starts.stopped);
    EXPECT_EQ(starts.second, 0) << "the second start";
    EXPECT_EQ(starts.first, 0) << "the first start";
    EXPECT_TRUE(dao::Workgroup::Verify(workgroup, "Admin", ""));
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(AppDir()))
        if (e.path().filename().string().rfind("ZURSTAT.MDW", 0) == 0) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"ZURSTAT.MDW"});
}

TEST_F(OpenDatabase, OpeningTheSameDatabaseTwiceStartsAFreshWorkspace) {
    ASSERT_NE(StartCancelled(), nullptr);
    const std::string db = ScoresDatabase("scores.db");
    ASSERT_TRUE(Assign(db));
    const dao::DatabasePtr first = gdbCurrent;
    const dao::WorkspacePtr firstWs = gwsCurrent;
    ASSERT_TRUE(Assign(db));
    EXPECT_NE(gdbCurrent, first);
    EXPECT_NE(gwsCurrent, firstWs);
    EXPECT_FALSE(first->IsOpen());
    EXPECT_TRUE(gdbCurrent->IsOpen());
}

TEST_F(OpenDatabase, PasswordIsNeverStoredInClearText) {
    const std::string db = ScoresDatabase("locked.db", "Open Sesame;42");
    script.OpenDatabase([&](frmOpenDatabase& d) {
        d.cboDatabase()->setEditText(QString::fromStdString(db));
        d.txtPassword()->setText(QStringLiteral("Open Sesame;42"));
        d.chkSavePassword()->setChecked(true);
    });
    ASSERT_NE(frame = Start(), nullptr);
    ASSERT_NE(frame->StatMain(), nullptr);
    EXPECT_EQ(RegistryValue("Settings", "SavePassword"), "True");
    const std::string stored = RegistryValue("Settings", "MRUTAG1");
    EXPECT_EQ(stored.rfind("/WG /UID /PWD ~p1:", 0), 0u) << stored;
    EXPECT_EQ(RegistryFileText().find("Sesame"), std::string::npos);
    // The dialog gets it back from the recent entry.
    frmOpenDatabase dialog(frame);
    EXPECT_EQ(dialog.Database(), QString::fromStdString(db));
    EXPECT_EQ(dialog.Password(), QStringLiteral("Open Sesame;42"));
    EXPECT_TRUE(dialog.chkSavePassword()->isChecked());
}

TEST_F(OpenDatabase, SavePasswordDefaultsToNotSaving) {
    const std::string db = ScoresDatabase("locked.db", "hidden");
    bool checkedAtLoad = true;
    script.OpenDatabase([&](frmOpenDatabase& d) {
        checkedAtLoad = d.chkSavePassword()->isChecked();
        d.cboDatabase()->setEditText(QString::fromStdString(db));
        d.txtPassword()->setText(QStringLiteral("hidden"));
    });
    ASSERT_EQ(RegistryValue("Settings", "SavePassword"), "~missing");
    ASSERT_NE(frame = Start(), nullptr);
    EXPECT_FALSE(checkedAtLoad);
    EXPECT_EQ(RegistryValue("Settings", "SavePassword"), "False");
    EXPECT_EQ(RegistryValue("Settings", "MRUTAG1"), "/WG /UID /PWD ");
    EXPECT_EQ(RegistryFileText().find("hidden"), std::string::npos);
}

TEST_F(OpenDatabase, UncheckedSecuredDatabaseIgnoresWorkgroupAndUser) {
    const std::string db = ScoresDatabase("scores.db");
    QString workgroupRead;
    script.OpenDatabase([&](frmOpenDatabase& d) {
        d.cboDatabase()->setEditText(QString::fromStdString(db));
        d.chkSecurity()->setChecked(true);
        d.txtWorkgroup()->setText(QString::fromStdString(File("nowhere/none.mdw")));
        d.txtUserID()->setText(QStringLiteral("mallory"));
        d.chkSecurity()->setChecked(false);
        workgroupRead = d.Workgroup();
    });
    ASSERT_NE(frame = Start(), nullptr);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Seen().size(), 1u) << script.Messages().join(QLatin1Char('\n')).toStdString();
    // Unchecking only disables the fields: the text is still there ...
    EXPECT_EQ(workgroupRead, QString::fromStdString(File("nowhere/none.mdw")));
    // ... but the database is opened without it, as "Admin" of the default workgroup.
    ASSERT_NE(gwsCurrent, nullptr);
    EXPECT_EQ(gwsCurrent->Name(), "StatsGeneric");
    EXPECT_EQ(gwsCurrent->UserName(), "Admin");
    EXPECT_EQ(RegistryValue("Settings", "MRUTAG1"), "/WG /UID /PWD ");
    EXPECT_NE(frame->StatMain(), nullptr);
}

TEST_F(OpenDatabase, SecuredDatabaseEntersWorkgroupAndUserInTheRecentList) {
    const std::string db = ScoresDatabase("scores.db");
    const std::string wg = BobsWorkgroup();
    script.OpenDatabase([&](frmOpenDatabase& d) {
        d.cboDatabase()->setEditText(QString::fromStdString(db));
        d.chkSecurity()->setChecked(true);
        d.txtWorkgroup()->setText(QString::fromStdString(wg));
        d.txtUserID()->setText(QStringLiteral("bob"));
        d.txtPassword()->setText(QStringLiteral("letmein"));
    });
    ASSERT_NE(frame = Start(), nullptr);
    ASSERT_NE(gwsCurrent, nullptr);
    EXPECT_EQ(gwsCurrent->Name(), "Stats");
    // The path's "/" travel escaped in the switch string.
    QString escaped = QString::fromStdString(wg);
    escaped.replace(QLatin1String("/"), QLatin1String("%2F"));
    EXPECT_EQ(RegistryValue("Settings", "MRUTAG1"), ("/WG " + escaped + "/UID bob/PWD ").toStdString());
    // A new dialog fills the security fields from the entry.
    frmOpenDatabase dialog(frame);
    EXPECT_TRUE(dialog.chkSecurity()->isChecked());
    EXPECT_EQ(dialog.Workgroup(), QString::fromStdString(wg));
    EXPECT_EQ(dialog.UserID(), QStringLiteral("bob"));
    EXPECT_EQ(dialog.Password(), QString());
    EXPECT_TRUE(dialog.txtWorkgroup()->isEnabled());
}

// A database or workgroup file named by a path relative to the folder the
// program started in, or with "." or ".." in it, enters the recent list by
// its full path: the entry names the same files wherever the program starts
// next, and one database is one entry, however it was typed.
TEST_F(OpenDatabase, ARelativePathIsKeptInTheRecentListAsTypedAndLaterOpensAnotherFile) {
    const std::string db = ScoresDatabase("scores.db");
    QString wg = QString::fromStdString(BobsWorkgroup());
    wg.replace(QLatin1String("/"), QLatin1String("%2F"));
    std::filesystem::create_directories(File("sub"));
    struct StartedIn {
        std::filesystem::path folder = std::filesystem::current_path();
        ~StartedIn() { std::filesystem::current_path(folder); }
    } startedIn;
    std::filesystem::current_path(m_tmp.path());
    ASSERT_NE(StartCancelled(), nullptr);
    const struct {
        const char* database;
        const char* workgroup; // with the user bob; none: no security
        std::string tag;
    } rows[] = {
        {"scores.db", nullptr, "/WG /UID /PWD "},                       // relative to the starting folder
        {"./scores.db", nullptr, "/WG /UID /PWD "},                     // the same file, with "."
        {"sub/../scores.db", "sub/../secure.mdw", ("/WG " + wg + "/UID bob/PWD ").toStdString()}, // ".."
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.database);
        script.OpenDatabase([&](frmOpenDatabase& d) {
            d.cboDatabase()->setEditText(QString::fromLatin1(r.database));
            d.chkSecurity()->setChecked(r.workgroup != nullptr);
            d.txtWorkgroup()->setText(QString::fromLatin1(r.workgroup ? r.workgroup : ""));
            d.txtUserID()->setText(QStringLiteral("bob"));
            d.txtPassword()->setText(QStringLiteral("letmein"));
        });
        frame->mnufileItems_Click(100);
        EXPECT_EQ(frame->StatusText(), QString::fromStdString(db));
        EXPECT_EQ(RegistryValue("Settings", "MRU1"), db);
        EXPECT_EQ(RegistryValue("Settings", "MRUTAG1"), r.tag);
        EXPECT_EQ(RegistryValue("Settings", "MRU2"), "~missing");
    }
    EXPECT_TRUE(script.Done());
}

TEST_F(OpenDatabase, RecentDatabaseOpenedDirectlyClosesTheWindowsOfTheDatabaseBefore) {
    const std::string a = File("a.db");
    const std::string b = File("b.db");
    CreateScoresDatabase(a, true, {DescribeScores("outA")});
    CreateScoresDatabase(b, true, {DescribeScores("outB"), DescribeScores("outB2")});
    ASSERT_NE(StartOn(a), nullptr);
    script.OpenDatabase(b);
    frame->mnufileItems_Click(100);
    ASSERT_EQ(gdbCurrent->Name(), b);
    ASSERT_EQ(frame->mnuFileMRU(2)->text(), QStringLiteral("&2. ") + QString::fromStdString(a));
    const dao::DatabasePtr held = gdbCurrent;
    QPointer<frmDataGrid> grid = frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table"));
    ASSERT_FALSE(grid.isNull());
    QPointer<frmStatMain> list = frame->StatMain();
    ASSERT_FALSE(list.isNull());

    frame->mnuFileMRU_Click(2);
    Pump();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Seen().size(), 2u); // no dialog this time
    EXPECT_TRUE(grid.isNull());
    EXPECT_TRUE(list.isNull());
    EXPECT_FALSE(held->IsOpen());
    ASSERT_NE(gdbCurrent, nullptr);
    EXPECT_EQ(gdbCurrent->Name(), a);
    ASSERT_NE(frame->StatMain(), nullptr);
    EXPECT_EQ(frame->StatMain()->lvwScenarios()->topLevelItemCount(), 1);
    EXPECT_EQ(frame->mnuFileMRU(1)->text(), QStringLiteral("&1. ") + QString::fromStdString(a));
    EXPECT_EQ(frame->StatusText(), QString::fromStdString(a));
}

TEST_F(OpenDatabase, ARecentDatabaseWhosePathHoldsAnAmpersandIsShownAndReopenedWhole) {
    const std::string a = File("R&D.db");
    const std::string b = File("b.db");
    CreateScoresDatabase(a, true);
    CreateScoresDatabase(b, true);
    ASSERT_NE(StartOn(a), nullptr);
    script.OpenDatabase(b);
    frame->mnufileItems_Click(100);
    ASSERT_EQ(gdbCurrent->Name(), b);
    // The menu shows the "&" (doubled in the caption) instead of an access key.
    QString shown = QString::fromStdString(a);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    EXPECT_EQ(frame->mnuFileMRU(2)->text(), QStringLiteral("&2. ") + shown);

    // Chosen from the menu, the entry opens its own file, without a dialog.
    frame->mnuFileMRU_Click(2);
    Pump();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Seen().size(), 2u);
    ASSERT_NE(gdbCurrent, nullptr);
    EXPECT_EQ(gdbCurrent->Name(), a);
    // The open dialog lists and selects it as it stands.
    frmOpenDatabase dialog(frame);
    EXPECT_EQ(dialog.Database(), QString::fromStdString(a));
}

TEST_F(OpenDatabase, RecentEntryOfADeletedDatabaseShowsTheDialogWithItsName) {
    const std::string a = ScoresDatabase("a.db");
    ASSERT_NE(StartOn(a), nullptr);
    CloseCurrentDatabase();
    std::filesystem::remove(a);
    QString preset;
    script.OpenDatabase([&](frmOpenDatabase& d) { preset = d.Database(); }).Message(1).CancelOpenDatabase();
    frame->mnuFileMRU_Click(1);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(preset, QString::fromStdString(a));
    EXPECT_TRUE(script.Messages().back().startsWith(QStringLiteral("Cannot locate a database named '") +
                                                    QString::fromStdString(a) + QStringLiteral("'")));
    EXPECT_EQ(frame->StatMain(), nullptr);
}

TEST_F(OpenDatabase, AfterAFailedOpenTheDialogComesBackWithTheDatabaseTypedNotTheFirstRecentOne) {
    // The dialog came back on the first recent database, with its log-on
    // details: OK then opened that one instead of the one typed.
    const std::string a = File("a.db");
    CreateScoresDatabase(a, true);
    const std::string wg = BobsWorkgroup();
    ASSERT_NE(StartOn(a), nullptr);
    frame->MRU().SetMRUList(a, CMRU::MakeTag(wg, "bob", "letmein"));
    struct Row {
        std::string path;
        bool secured;
        std::string workgroup, user, rightPassword;
        const char* reason;
    } rows[] = {
        {ScoresDatabase("locked.db", "secret"), false, "", "", "secret", "a wrong database password"},
        {ScoresDatabase("secured.db"), true, wg, "bob", "letmein", "a wrong log-on: workgroup and user kept"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.reason);
        const QString path = QString::fromStdString(r.path);
        QString again, workgroup, user, password;
        bool secured = !r.secured;
        script
            .OpenDatabase([&](frmOpenDatabase& d) {
                d.chkSecurity()->setChecked(r.secured);
                d.cboDatabase()->setEditText(path);
                d.txtWorkgroup()->setText(QString::fromStdString(r.workgroup));
                d.SetUserID(QString::fromStdString(r.user));
                d.SetPassword(QStringLiteral("wrong"));
            })
            .Message(1)
            .OpenDatabase([&](frmOpenDatabase& d) {
                again = d.Database();
                secured = d.chkSecurity()->isChecked();
                workgroup = d.Workgroup();
                user = d.UserID();
                password = d.Password();
                d.SetPassword(QString::fromStdString(r.rightPassword));
            });
        frame->mnufileItems_Click(100);
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(again, path) << script.MessagesText();
        EXPECT_EQ(secured, r.secured);
        EXPECT_EQ(workgroup, QString::fromStdString(r.workgroup));
        EXPECT_EQ(user, QString::fromStdString(r.user));
        EXPECT_EQ(password, QString());
        ASSERT_NE(gdbCurrent, nullptr);
        EXPECT_EQ(gdbCurrent->Name(), r.path);
    }
}

TEST_F(OpenDatabase, CloseDatabaseClosesTheFileAndItsWindows) {
    const std::string a = File("a.db");
    CreateScoresDatabase(a, true, {DescribeScores("outA")});
    ASSERT_NE(StartOn(a), nullptr);
    const dao::DatabasePtr held = gdbCurrent;
    QPointer<frmDataGrid> grid = frmDataGrid::Open(QStringLiteral("Scores"), QStringLiteral("Input Data Table"));
    ASSERT_FALSE(grid.isNull());
    frame->mnufileItems_Click(200);
    Pump();
    EXPECT_TRUE(grid.isNull());
    EXPECT_EQ(frame->StatMain(), nullptr);
    EXPECT_FALSE(held->IsOpen());
    EXPECT_EQ(gdbCurrent, nullptr);
    EXPECT_EQ(gwsCurrent, nullptr);
    EXPECT_EQ(frame->StatusText(), QString());
    frame->mnufile_Click();
    EXPECT_FALSE(frame->mnufileItems(200)->isEnabled());
}

} // namespace
