#include "app/frmOpenDatabase.h"

#include "app/AppGlobals.h"
#include "app/MDIMain.h"
#include "app/modApplication.h"
#include "app/modOpenDatabase.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "util/CCommandArgs.h"
#include "util/CMRU.h"
#include "util/ui/modZURSTAT.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kCheckPath = QStringLiteral(
    "Be sure that you have typed the path to the database correctly, or use the Browse button to locate the database");

// The switches of a recent entry's tag.
struct TagSwitches {
    QString workgroup; // "WG" value ("WG" itself when the switch has none)
    QString user;
    QString password;
};

TagSwitches ParseTag(const QString& tag) {
    CCommandArgs args;
    args.SetDelim("/");
    args.SetTestString(tag.toStdString());
    args.Parse();
    return {QString::fromStdString(args.Item(std::string("WG"))), QString::fromStdString(args.Item(std::string("UID"))),
            QString::fromStdString(args.Item(std::string("PWD")))};
}

// A switch value equal to its own name counts as empty.
QString Plain(const QString& value, const char* key) {
    return value == QLatin1String(key) ? QString() : value;
}

// CBool of a settings text: True/False in any letter case, or a number
// (not 0 is True). Anything else fails.
bool TextToBool(const QString& text, bool& ok) {
    const QString t = text.trimmed();
    ok = true;
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    const double number = t.toDouble(&ok);
    return ok && number != 0.0;
}

QPushButton* EllipsisButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(QString(QChar(0x2026)), parent);
    button->setObjectName(QString::fromLatin1(name));
    QFont font(QStringLiteral("Arial"));
    button->setFont(font);
    button->setFixedWidth(28);
    button->setAutoDefault(false);
    return button;
}

} // namespace

frmOpenDatabase::frmOpenDatabase(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOpenDatabase"));
    setWindowTitle(QStringLiteral("Open Scenario Database"));
    setModal(true);

    m_Label4 = new QLabel(QStringLiteral("&Database to Analyze:"), this);
    m_Label4->setObjectName(QStringLiteral("Label4"));
    m_cboDatabase = new QComboBox(this);
    m_cboDatabase->setObjectName(QStringLiteral("cboDatabase"));
    m_cboDatabase->setEditable(true);
    m_cboDatabase->setInsertPolicy(QComboBox::NoInsert);
    m_cboDatabase->setMinimumWidth(340);
    m_Label4->setBuddy(m_cboDatabase);
    m_cmdBrowseDatabase = EllipsisButton(this, "cmdBrowseDatabase");

    m_chkSecurity = new QCheckBox(QStringLiteral("Secured Database"), this);
    m_chkSecurity->setObjectName(QStringLiteral("chkSecurity"));

    m_fraSecurity = new QFrame(this);
    m_fraSecurity->setObjectName(QStringLiteral("fraSecurity"));
    m_fraSecurity->setFrameShape(QFrame::StyledPanel);
    m_lblWorkgroup = new QLabel(QStringLiteral("&Workgroup Security Database:"), m_fraSecurity);
    m_lblWorkgroup->setObjectName(QStringLiteral("lblWorkgroup"));
    m_txtWorkgroup = new QLineEdit(m_fraSecurity);
    m_txtWorkgroup->setObjectName(QStringLiteral("txtWorkgroup"));
    m_lblWorkgroup->setBuddy(m_txtWorkgroup);
    m_cmdBrowseWorkgroup = EllipsisButton(m_fraSecurity, "cmdBrowseWorkgroup");
    m_lblUserid = new QLabel(QStringLiteral("&User ID:"), m_fraSecurity);
    m_lblUserid->setObjectName(QStringLiteral("lblUserid"));
    m_txtUserID = new QLineEdit(m_fraSecurity);
    m_txtUserID->setObjectName(QStringLiteral("txtUserID"));
    m_lblUserid->setBuddy(m_txtUserID);
    m_Label3 = new QLabel(QStringLiteral("&Password:"), m_fraSecurity);
    m_Label3->setObjectName(QStringLiteral("Label3"));
    m_txtPassword = new QLineEdit(m_fraSecurity);
    m_txtPassword->setObjectName(QStringLiteral("txtPassword"));
    m_txtPassword->setEchoMode(QLineEdit::Password);
    m_Label3->setBuddy(m_txtPassword);
    m_chkSavePassword = new QCheckBox(QStringLiteral("Save Pass&word"), m_fraSecurity);
    m_chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));

    m_cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setAutoDefault(false);

    auto* security = new QGridLayout(m_fraSecurity);
    security->addWidget(m_lblWorkgroup, 0, 0, 1, 2);
    security->addWidget(m_txtWorkgroup, 1, 0);
    security->addWidget(m_cmdBrowseWorkgroup, 1, 1);
    security->addWidget(m_lblUserid, 2, 0, 1, 2);
    security->addWidget(m_txtUserID, 3, 0);
    security->addWidget(m_Label3, 4, 0, 1, 2);
    security->addWidget(m_txtPassword, 5, 0);
    security->addWidget(m_chkSavePassword, 6, 0, 1, 2);

    auto* databaseRow = new QHBoxLayout;
    databaseRow->addWidget(m_cboDatabase, 1);
    databaseRow->addWidget(m_cmdBrowseDatabase);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Label4);
    layout->addLayout(databaseRow);
    layout->addWidget(m_chkSecurity);
    layout->addWidget(m_fraSecurity);
    layout->addLayout(buttons);

    setTabOrder(m_cboDatabase, m_cmdBrowseDatabase);
    setTabOrder(m_cmdBrowseDatabase, m_chkSecurity);
    setTabOrder(m_chkSecurity, m_txtWorkgroup);
    setTabOrder(m_txtWorkgroup, m_cmdBrowseWorkgroup);
    setTabOrder(m_cmdBrowseWorkgroup, m_txtUserID);
    setTabOrder(m_txtUserID, m_txtPassword);
    setTabOrder(m_txtPassword, m_chkSavePassword);
    setTabOrder(m_chkSavePassword, m_cmdOK);
    setTabOrder(m_cmdOK, m_cmdCancel);

    connect(m_cboDatabase, qOverload<int>(&QComboBox::activated), this, [this](int) { cboDatabase_Click(); });
    connect(m_chkSecurity, &QCheckBox::toggled, this, [this] { EnableSecurityFields(); });
    connect(m_cmdBrowseDatabase, &QPushButton::clicked, this, [this] { cmdBrowseDatabase_Click(); });
    connect(m_cmdBrowseWorkgroup, &QPushButton::clicked, this, [this] { cmdBrowseWorkgroup_Click(); });
    connect(m_cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    for (QLineEdit* box : {m_txtWorkgroup, m_txtUserID, m_txtPassword})
        box->installEventFilter(this);

    EnableSecurityFields();
    Form_Load();
}

void frmOpenDatabase::Form_Load() {
    ProcGuard proc(gErr, "frmOpenDatabase:Form_Load");
    try {
        PopulateMRUCombo();
        bool checked = false;
        try {
            bool ok = false;
            const QString text =
                QString::fromStdString(gSettings ? gSettings->ReadEntry("SavePassword", "False") : std::string("False"));
            const bool value = TextToBool(text, ok);
            checked = ok && value;
        } catch (...) {
            checked = false;
        }
        m_chkSavePassword->setChecked(checked);
    } catch (...) {
        proc.HandleError();
    }
}

void frmOpenDatabase::PopulateMRUCombo() {
    ProcGuard proc(gErr, "frmOpenDatabase:PopulateMRUCombo");
    try {
        MDIMain* frame = TheMDIMain();
        if (!frame)
            return;
        for (int i = 1; i <= 4; ++i) {
            QAction* item = frame->mnuFileMRU(i);
            if (!item || !item->isVisible())
                continue;
            const QString path = QString::fromStdString(CMRU::PathOfCaption(item->text().toStdString())).trimmed();
            const TagSwitches tag = ParseTag(item->data().toString());
            AddItemDataComboBox(m_cboDatabase, path, tag.workgroup == QLatin1String("WG") ? 0 : -1);
        }
        if (m_cboDatabase->count() > 0)
            SelectEntry(0);
    } catch (...) {
        proc.HandleError();
    }
}

void frmOpenDatabase::SelectEntry(int index) {
    {
        const QSignalBlocker block(m_cboDatabase);
        m_cboDatabase->setCurrentIndex(index);
    }
    cboDatabase_Click();
}

void frmOpenDatabase::cboDatabase_Click() {
    const int index = m_cboDatabase->currentIndex();
    if (index < 0)
        return;
    m_chkSecurity->setChecked(m_cboDatabase->itemData(index).toInt() == -1);

    MDIMain* frame = TheMDIMain();
    if (!frame)
        return;
    const QString text = m_cboDatabase->currentText();
    for (int i = 1; i <= 4; ++i) {
        QAction* item = frame->mnuFileMRU(i);
        if (!item || QString::fromStdString(CMRU::PathOfCaption(item->text().toStdString())) != text)
            continue;
        const TagSwitches tag = ParseTag(item->data().toString());
        if (m_chkSecurity->isChecked()) {
            m_txtWorkgroup->setText(Plain(tag.workgroup, "WG"));
            m_txtUserID->setText(Plain(tag.user, "UID"));
        } else {
            m_txtWorkgroup->clear();
            m_txtUserID->clear();
        }
        m_txtPassword->setText(Plain(tag.password, "PWD"));
        return;
    }
}

void frmOpenDatabase::EnableSecurityFields() {
    const bool on = m_chkSecurity->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_lblWorkgroup, m_txtWorkgroup, m_cmdBrowseWorkgroup, m_lblUserid,
                                                     m_txtUserID})
        w->setEnabled(on);
}

QString frmOpenDatabase::Database() const {
    return m_cboDatabase->currentText();
}

void frmOpenDatabase::SetDatabase(const QString& name) {
    if (name.isEmpty())
        return;
    for (int i = 0; i < m_cboDatabase->count(); ++i) {
        if (m_cboDatabase->itemText(i).compare(name, Qt::CaseInsensitive) == 0) {
            SelectEntry(i);
            return;
        }
    }
}

void frmOpenDatabase::ShowUnlistedDatabase(const QString& name, bool secured, const QString& workgroup,
                                           const QString& user) {
    {
        const QSignalBlocker block(m_cboDatabase);
        m_cboDatabase->setCurrentIndex(-1);
        m_cboDatabase->setEditText(name);
    }
    m_chkSecurity->setChecked(secured);
    m_txtWorkgroup->setText(workgroup);
    m_txtUserID->setText(user);
    m_txtPassword->clear();
}

QString frmOpenDatabase::Workgroup() const {
    return m_txtWorkgroup->text();
}

QString frmOpenDatabase::UserID() const {
    return m_txtUserID->text();
}

void frmOpenDatabase::SetUserID(const QString& user) {
    m_txtUserID->setText(user);
}

QString frmOpenDatabase::Password() const {
    return m_txtPassword->text();
}

void frmOpenDatabase::SetPassword(const QString& password) {
    m_txtPassword->setText(password);
}

bool frmOpenDatabase::SecuredDatabase() const {
    return m_chkSecurity->isChecked();
}

void frmOpenDatabase::cmdBrowseDatabase_Click() {
    const QString current = m_cboDatabase->currentText();
    const dao::Variant dir = GetDirPartOfPath(dao::Variant(current.toStdString()));
    QString initial = dir.IsNull() ? QString() : QString::fromStdString(dir.ToString());
    if (initial.isEmpty())
        initial = current;
    QString chosen;
    if (FileOpenDialog(chosen, this, initial, QString::fromLatin1(kDatabaseFileFilter)) != 0)
        return;
    if (m_cboDatabase->count() == 0) {
        AddItemDataComboBox(m_cboDatabase, chosen, 0);
        SelectEntry(0);
        return;
    }
    bool found = false;
    for (int i = 0; i < m_cboDatabase->count(); ++i) {
        if (m_cboDatabase->itemText(i).compare(chosen, Qt::CaseInsensitive) == 0) {
            SelectEntry(i);
            found = true;
        }
    }
    if (!found)
        SelectEntry(AddItemDataComboBox(m_cboDatabase, chosen, 0));
}

void frmOpenDatabase::cmdBrowseWorkgroup_Click() {
    const QString current = m_txtWorkgroup->text();
    const dao::Variant dir = GetDirPartOfPath(dao::Variant(current.toStdString()));
    QString initial = dir.IsNull() ? QString() : QString::fromStdString(dir.ToString());
    if (initial.isEmpty())
        initial = current;
    QString chosen;
    if (FileOpenDialog(chosen, this, initial, QString::fromLatin1(kWorkgroupFileFilter)) == 0)
        m_txtWorkgroup->setText(chosen);
}

void frmOpenDatabase::cmdOK_Click() {
    if (!IsValidExistingFile(m_cboDatabase->currentText())) {
        ShowAppMessage(QStringLiteral("Cannot locate a database named '") + m_cboDatabase->currentText() +
                       QStringLiteral("'\n\n") + kCheckPath);
        m_cboDatabase->setFocus();
        return;
    }
    if (m_chkSecurity->isChecked() && !IsValidExistingFile(m_txtWorkgroup->text())) {
        ShowAppMessage(QStringLiteral("Cannot locate a workgroup database named '") + m_txtWorkgroup->text() +
                       QStringLiteral("'\n\n") + kCheckPath);
        m_txtWorkgroup->setFocus();
        return;
    }
    QDialog::done(QDialog::Accepted);
}

void frmOpenDatabase::cmdCancel_Click() {
    m_cboDatabase->setEditText(QString());
    m_txtWorkgroup->clear();
    m_txtUserID->clear();
    m_txtPassword->clear();
    m_UserCanceled = true;
    QDialog::done(QDialog::Rejected);
}

void frmOpenDatabase::reject() {
    cmdCancel_Click();
}

void frmOpenDatabase::closeEvent(QCloseEvent* event) {
    if (!m_unloadPermitted) {
        event->ignore();
        cmdCancel_Click();
        return;
    }
    QDialog::closeEvent(event);
}

bool frmOpenDatabase::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            SelectAllText(box);
    }
    return QDialog::eventFilter(watched, event);
}

void frmOpenDatabase::GetInfo() {
    m_UserCanceled = false;
    exec();
    if (gSettings)
        gSettings->WriteEntry("SavePassword", m_chkSavePassword->isChecked() ? "True" : "False");
    m_unloadPermitted = true;
}
