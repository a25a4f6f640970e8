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

class OpenDatabaseDialog : public AppFixture {
protected:
    MDIMain* StartCancelled() {
        script.CancelOpenDatabase();
        return Start();
    }
    // Enters recent databases, most recent last.
    void AddRecent(MDIMain* frame, const std::string& path, const std::string& tag) {
        frame->MRU().SetMRUList(path, tag);
    }
    ModalScript script;
};

TEST_F(OpenDatabaseDialog, WithoutRecentDatabasesNothingIsSelectedAndSecurityIsOff) {
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
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
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
    AddRecent(frame, "/data/plain.db", CMRU::MakeTag("", "", "pw1"));
    AddRecent(frame, "/data/secure.db", CMRU::MakeTag("/data/system.mdw", "bob", "pw2"));
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
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
    AddRecent(frame, "/data/First.db", CMRU::MakeTag("", "", ""));
    AddRecent(frame, "/data/Second.db", CMRU::MakeTag("", "", ""));
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
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
    frmOpenDatabase dialog(frame);
    script.Then(
              QStringLiteral("open"), [&](QWidget* w) { return w == &dialog; },
              [](QWidget* w) { static_cast<frmOpenDatabase*>(w)->cmdOK()->click(); })
        .Message(1)
        .Then(
            QStringLiteral("open"), [&](QWidget* w) { return w == &dialog; },
            [](QWidget* w) { static_cast<frmOpenDatabase*>(w)->cmdCancel()->click(); });
    dialog.GetInfo();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages().back(),
              QStringLiteral("Cannot locate a database named ''\n\nBe sure that you have typed the path to the "
                             "database correctly, or use the Browse button to locate the database"));
    EXPECT_TRUE(dialog.UserCanceled());
}

TEST_F(OpenDatabaseDialog, MissingWorkgroupFileIsReportedWhenSecurityIsOn) {
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
    const std::string db = File("here.db");
    std::ofstream(db) << "x";
    const QString workgroup = QString::fromStdString(File("none.mdw"));
    frmOpenDatabase dialog(frame);
    script
        .Then(
            QStringLiteral("open"), [&](QWidget* w) { return w == &dialog; },
            [&](QWidget*) {
                dialog.cboDatabase()->setEditText(QString::fromStdString(db));
                dialog.chkSecurity()->setChecked(true);
                dialog.txtWorkgroup()->setText(workgroup);
                dialog.cmdOK()->click();
            })
        .Message(1)
        .Then(
            QStringLiteral("open"), [&](QWidget* w) { return w == &dialog; },
            [&](QWidget*) {
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
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
    AddRecent(frame, "/data/secure.db", CMRU::MakeTag("/data/system.mdw", "bob", "pw2"));
    frmOpenDatabase dialog(frame);
    script.Then(
        QStringLiteral("open"), [&](QWidget* w) { return w == &dialog; },
        [&](QWidget*) {
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
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
    AddRecent(frame, "/data/plain.db", CMRU::MakeTag("", "", "pw"));
    frmOpenDatabase dialog(frame);
    script.Then(
        QStringLiteral("open"), [&](QWidget* w) { return w == &dialog; }, [&](QWidget*) { dialog.close(); });
    dialog.GetInfo();
    EXPECT_TRUE(dialog.UserCanceled());
    EXPECT_EQ(dialog.Database(), QString());
    EXPECT_EQ(dialog.Password(), QString());
    EXPECT_EQ(RegistryValue("Settings", "SavePassword"), "False");
}

TEST_F(OpenDatabaseDialog, BrowsingToAListedFileInOtherLetterCaseSelectsTheEntry) {
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
    const std::string listed = File("Listed.db");
    std::ofstream(listed) << "x";
    const std::string other = File("other.db");
    std::ofstream(other) << "x";
    // The entry is listed in upper case; the file chosen is the real one.
    QString upper = QString::fromStdString(listed);
    upper.replace(QStringLiteral("Listed.db"), QStringLiteral("LISTED.DB"));
    AddRecent(frame, other, CMRU::MakeTag("", "", ""));
    AddRecent(frame, upper.toStdString(), CMRU::MakeTag("/w.mdw", "u", ""));
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
    const std::string fresh = File("fresh.sqlite");
    std::ofstream(fresh) << "x";
    script.FileDialog(QString::fromStdString(fresh));
    dialog.cmdBrowseDatabase_Click();
    EXPECT_EQ(dialog.cboDatabase()->count(), 3);
    EXPECT_EQ(dialog.Database(), QString::fromStdString(fresh));
    EXPECT_FALSE(dialog.chkSecurity()->isChecked());
    EXPECT_TRUE(script.Done());
}

TEST_F(OpenDatabaseDialog, BrowsingForTheWorkgroupFillsItsField) {
    MDIMain* frame = StartCancelled();
    ASSERT_NE(frame, nullptr);
    const std::string wg = File("system.mdw");
    std::ofstream(wg) << "x";
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
