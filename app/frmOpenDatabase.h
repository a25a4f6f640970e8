#pragma once
// "Open Scenario Database": the modal dialog in which the user names the
// database to analyse and, for a secured database, the workgroup file, user
// and password. It offers the frame's recent databases with their log-on
// details and keeps the save-password choice in the settings; it opens
// nothing itself.
//
//     frmOpenDatabase dlg(frame);     // filled from the recent databases
//     dlg.SetDatabase(name);
//     dlg.GetInfo();                  // modal
//     if (!dlg.UserCanceled()) ... dlg.Database(), dlg.Password() ...
#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class frmOpenDatabase : public QDialog {
    Q_OBJECT
public:
    // Creates and loads the dialog: the recent databases from the frame's
    // File menu (first one selected) and the save-password choice.
    explicit frmOpenDatabase(QWidget* parent = nullptr);

    QString Database() const;
    // Selects the first recent entry equal to the name (letter case aside);
    // without a match the combo box stays as it was.
    void SetDatabase(const QString& name);
    // Shows a name no recent entry holds as it stands, with the log-on
    // details given (the password empty) instead of those of the entry
    // selected before.
    void ShowUnlistedDatabase(const QString& name, bool secured, const QString& workgroup, const QString& user);
    QString Workgroup() const;
    QString UserID() const;
    void SetUserID(const QString& user);
    QString Password() const;
    void SetPassword(const QString& password);
    bool UserCanceled() const { return m_UserCanceled; }
    void SetUserCanceled(bool cancelled) { m_UserCanceled = cancelled; }
    // "Secured Database" is checked: only then do the workgroup and user count.
    bool SecuredDatabase() const;

    // Shows the dialog modally and returns when it is hidden; writes the
    // "SavePassword" setting afterwards (also after Cancel).
    void GetInfo();

    // The controls, for tests.
    QComboBox* cboDatabase() const { return m_cboDatabase; }
    QCheckBox* chkSecurity() const { return m_chkSecurity; }
    QLineEdit* txtWorkgroup() const { return m_txtWorkgroup; }
    QLineEdit* txtUserID() const { return m_txtUserID; }
    QLineEdit* txtPassword() const { return m_txtPassword; }
    QCheckBox* chkSavePassword() const { return m_chkSavePassword; }
    QPushButton* cmdOK() const { return m_cmdOK; }
    QPushButton* cmdCancel() const { return m_cmdCancel; }
    QPushButton* cmdBrowseDatabase() const { return m_cmdBrowseDatabase; }
    QPushButton* cmdBrowseWorkgroup() const { return m_cmdBrowseWorkgroup; }
    QLabel* lblWorkgroup() const { return m_lblWorkgroup; }
    QLabel* lblUserid() const { return m_lblUserid; }

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdBrowseDatabase_Click();
    void cmdBrowseWorkgroup_Click();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void PopulateMRUCombo();
    void cboDatabase_Click();
    void EnableSecurityFields();
    void SelectEntry(int index);

    bool m_UserCanceled = false;
    bool m_unloadPermitted = false;

    QLabel* m_Label4 = nullptr;
    QComboBox* m_cboDatabase = nullptr;
    QPushButton* m_cmdBrowseDatabase = nullptr;
    QCheckBox* m_chkSecurity = nullptr;
    QFrame* m_fraSecurity = nullptr;
    QLabel* m_lblWorkgroup = nullptr;
    QLineEdit* m_txtWorkgroup = nullptr;
    QPushButton* m_cmdBrowseWorkgroup = nullptr;
    QLabel* m_lblUserid = nullptr;
    QLineEdit* m_txtUserID = nullptr;
    QLabel* m_Label3 = nullptr;
    QLineEdit* m_txtPassword = nullptr;
    QCheckBox* m_chkSavePassword = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
