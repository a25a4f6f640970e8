// The open-database dialog on its own: the recent entries, their switches,
// the security fields, OK and Cancel.
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmOpenDatabase.h"
#include "app/modApplication.h"
#include "util/CMRU.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <fstream>

using namespace apptest;

namespace {

// The application started with its own open-database dialog cancelled.
class OpenDatabaseDialog : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        script.CancelOpenDatabase();
        frame = Start();
        ASSERT_NE(frame, nullptr);
    }
    // Enters recent databases, most recent last.
    void AddRecent(const std::string& path, const std::string& tag) { frame->MRU().SetMRUList(path, tag); }
    // The next step of the script: `act` on this dialog.
    void AtDialog(frmOpenDatabase& dialog, ModalScript::Act act) {
        script.Then(QStringLiteral("open"), [&dialog](QWidget* w) { return w == &dialog; }, std::move(act));
    }
    // A file of that name in the test's folder, with something in it.
    std::string Touched(const std::string& name) const {
        const std::string path = File(name);
        std::ofstream(path) << "x";
        return path;
    }
    ModalScript script;
    MDIMain* frame = nullptr;
};

TEST_F(OpenDatabaseDialog, WithoutRecentDatabasesNothingIsSelectedAndSecurityIsOff) {
    frmOpenDatabase dialog(frame);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Open Scenario Database"));
    EXPECT_EQ(dialog.cboDatabase()->count(), 0);
    EXPECT_EQ(dialog.cboDatabase()->currentIndex(), -1);
    EXPECT_FALSE(dialog.chkSecurity()->isChecked());
    EXPECT_FALSE(dialog.txtWorkgroup()->isEnabled());
    EXPECT_FALSE(dialog.txtUserID()->isEnabled());
    EXPECT_FALSE(dialog.cmdBrowseWorkgroup()->isEnabled());
    EXPECT_FALSE(dialog.lblWorkgroup()->isEnabled());
    EXPECT_FALSE(dialog.lblUserid()->isEnabled());
    EXPECT_TRUE(dialog.txtPassword()->isEnabled());
    EXPECT_EQ(dialog.txtPassword()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog.cmdOK()->isDefault());
    EXPECT_EQ(dialog.chkSavePassword()->text(), QStringLiteral("Save Pass&word"));
}

TEST_F(OpenDatabaseDialog, RecentEntriesFillTheListAndTheirSwitchesTheFields) {
    AddRecent("/data/plain.db", CMRU::MakeTag("", "", "pw1"));
    AddRecent("/data/secure.db", CMRU::MakeTag("/data/system.mdw", "bob", "pw2"));
    frmOpenDatabase dialog(frame);
    ASSERT_EQ(dialog.cboDatabase()->count(), 2);
    EXPECT_EQ(dialog.cboDatabase()->itemText(0), QStringLiteral("/data/secure.db"));
    EXPECT_EQ(dialog.cboDatabase()->itemData(0).toInt(), -1);
    EXPECT_EQ(dialog.cboDatabase()->itemData(1).toInt(), 0);
    // The first entry is selected and fills the security fields.
    EXPECT_EQ(dialog.Database(), QStringLiteral("/data/secure.db"));
    EXPECT_TRUE(dialog.chkSecurity()->isChecked());
    EXPECT_TRUE(dialog.txtWorkgroup()->isEnabled());
    EXPECT_EQ(dialog.Workgroup(), QStringLiteral("/data/system.mdw"));
    EXPECT_EQ(dialog.UserID(), QStringLiteral("bob"));
    EXPECT_EQ(dialog.Password(), QStringLiteral("pw2"));

    // An entry without workgroup: security off, workgroup and user emptied,
    // its password filled in.
    dialog.cboDatabase()->setCurrentIndex(1);
    emit dialog.cboDatabase()->activated(1);
    EXPECT_FALSE(dialog.chkSecurity()->isChecked());
    EXPECT_EQ(dialog.Workgroup(), QString());
    EXPECT_EQ(dialog.UserID(), QString());
    EXPECT_EQ(dialog.Password(), QStringLiteral("pw1"));
    EXPECT_FALSE(dialog.txtWorkgroup()->isEnabled());
}

TEST_F(OpenDatabaseDialog, PresetDatabaseSelectsAMatchInAnyLetterCaseAndIgnoresOthers) {
    AddRecent("/data/First.db", CMRU::MakeTag("", "", ""));
    AddRecent("/data/Second.db", CMRU::MakeTag("", "", ""));
    {
        frmOpenDatabase dialog(frame);
        dialog.SetDatabase(QStringLiteral("/DATA/FIRST.DB"));
        EXPECT_EQ(dialog.cboDatabase()->currentIndex(), 1);
        EXPECT_EQ(dialog.Database(), QStringLiteral("/data/First.db"));
    }
    {
        frmOpenDatabase dialog(frame);
        dialog.SetDatabase(QStringLiteral("/data/other.db"));
        EXPECT_EQ(dialog.cboDatabase()->currentIndex(), 0);
        EXPECT_EQ(dialog.Database(), QStringLiteral("/data/Second.db"));
    }
}

TEST_F(OpenDatabaseDialog, OkWithAnEmptyNameReportsItBetweenTheQuotes) {
    frmOpenDatabase dialog(frame);
    AtDialog(dialog, [](QWidget* w) { static_cast<frmOpenDatabase*>(w)->cmdOK()->click(); });
    script.Message(1);
    AtDialog(dialog, [](QWidget* w) { static_cast<frmOpenDatabase*>(w)->cmdCancel()->click(); });
    dialog.GetInfo();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(),
              QStringLiteral("Cannot locate a database named ''\n\nBe sure that you have typed the path to the "
                             "database correctly, or use the Browse button to locate the database"));
    EXPECT_TRUE(dialog.UserCanceled());
}

TEST_F(OpenDatabaseDialog, MissingWorkgroupFileIsReportedWhenSecurityIsOn) {
    const std::string db = Touched("here.db");
    const QString workgroup = QString::fromStdString(File("none.mdw"));
    frmOpenDatabase dialog(frame);
    AtDialog(dialog, [&](QWidget*) {
        dialog.cboDatabase()->setEditText(QString::fromStdString(db));
        dialog.chkSecurity()->setChecked(true);
        dialog.txtWorkgroup()->setText(workgroup);
        dialog.cmdOK()->click();
    });
    script.Message(1);
    AtDialog(dialog, [&](QWidget*) {
        dialog.chkSecurity()->setChecked(false);
        dialog.cmdOK()->click();
    });
    dialog.GetInfo();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(), QStringLiteral("Cannot locate a workgroup database named '") + workgroup +
                                            QStringLiteral("'\n\nBe sure that you have typed the path to the database "
                                                           "correctly, or use the Browse button to locate the database"));
    // Accepted the second time, security off.
    EXPECT_FALSE(dialog.UserCanceled());
    EXPECT_EQ(dialog.Database(), QString::fromStdString(db));
    EXPECT_FALSE(dialog.SecuredDatabase());
}

TEST_F(OpenDatabaseDialog, CancelEmptiesTheTextsAndStillWritesTheSavePasswordSetting) {
    AddRecent("/data/secure.db", CMRU::MakeTag("/data/system.mdw", "bob", "pw2"));
    frmOpenDatabase dialog(frame);
    AtDialog(dialog, [&](QWidget*) {
        dialog.chkSavePassword()->setChecked(true);
        dialog.cmdCancel()->click();
    });
    dialog.GetInfo();
    EXPECT_TRUE(dialog.UserCanceled());
    EXPECT_EQ(dialog.Database(), QString());
    EXPECT_EQ(dialog.Workgroup(), QString());
    EXPECT_EQ(dialog.UserID(), QString());
    EXPECT_EQ(dialog.Password(), QString());
    EXPECT_EQ(RegistryValue("Settings", "SavePassword"), "True");
}

TEST_F(OpenDatabaseDialog, ClosingTheWindowCountsAsCancel) {
    AddRecent("/data/plain.db", CMRU::MakeTag("", "", "pw"));
    frmOpenDatabase dialog(frame);
    AtDialog(dialog, [&](QWidget*) { dialog.close(); });
    dialog.GetInfo();
    EXPECT_TRUE(dialog.UserCanceled());
    EXPECT_EQ(dialog.Database(), QString());
    EXPECT_EQ(dialog.Password(), QString());
    EXPECT_EQ(RegistryValue("Settings", "SavePassword"), "False");
}

TEST_F(OpenDatabaseDialog, BrowsingToAListedFileInOtherLetterCaseSelectsTheEntry) {
    const std::string listed = Touched("Listed.db");
    const std::string other = Touched("other.db");
    // The entry is listed in upper case; the file chosen is the real one.
    QString upper = QString::fromStdString(listed);
    upper.replace(QStringLiteral("Listed.db"), QStringLiteral("LISTED.DB"));
    AddRecent(other, CMRU::MakeTag("", "", ""));
    AddRecent(upper.toStdString(), CMRU::MakeTag("/w.mdw", "u", ""));
    frmOpenDatabase dialog(frame);
    ASSERT_EQ(dialog.cboDatabase()->count(), 2);
    dialog.cboDatabase()->setCurrentIndex(1);
    emit dialog.cboDatabase()->activated(1);

    script.FileDialog(QString::fromStdString(listed));
    dialog.cmdBrowseDatabase_Click();
    EXPECT_EQ(dialog.cboDatabase()->count(), 2);
    EXPECT_EQ(dialog.cboDatabase()->currentIndex(), 0);
    EXPECT_TRUE(dialog.chkSecurity()->isChecked());

    // A file not listed is added and selected, security off.
    const std::string fresh = Touched("fresh.sqlite");
    script.FileDialog(QString::fromStdString(fresh));
    dialog.cmdBrowseDatabase_Click();
    EXPECT_EQ(dialog.cboDatabase()->count(), 3);
    EXPECT_EQ(dialog.Database(), QString::fromStdString(fresh));
    EXPECT_FALSE(dialog.chkSecurity()->isChecked());
    EXPECT_TRUE(script.Done());
}

TEST_F(OpenDatabaseDialog, BrowsingForTheWorkgroupFillsItsField) {
    const std::string wg = Touched("system.mdw");
    frmOpenDatabase dialog(frame);
    dialog.chkSecurity()->setChecked(true);
    script.FileDialog(QString::fromStdString(wg));
    dialog.cmdBrowseWorkgroup_Click();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(dialog.Workgroup(), QString::fromStdString(wg));
    // A cancelled browse changes nothing.
    script.FileDialog(QString());
    dialog.cmdBrowseWorkgroup_Click();
    EXPECT_EQ(dialog.Workgroup(), QString::fromStdString(wg));
}

} // namespace
