#include "app/MDIMain.h"

#include "app/AppFeatures.h"
#include "app/AppGlobals.h"
#include "app/CSampleDatabase.h"
#include "app/MdiWindows.h"
#include "app/QActionMRUItem.h"
#include "app/frmAbout.h"
#include "app/frmOpenDatabase.h"
#include "app/frmOptions.h"
#include "app/frmQuorb_Calculator.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "app/modHelp.h"
#include "app/modOpenDatabase.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/ui/frmErrorHandler.h"
#include "platform/App.h"
#include "platform/ui/CenterForm.h"
#include "platform/ui/Help.h"
#include "scenario/AppDatabase.h"
#include "util/CCommandArgs.h"
#include "util/CMRU.h"
#include "util/CWinPos.h"
#include "util/modStatCommon.h"
#include "util/ui/CShellExecute.h"
#include "util/ui/CWinHelp.h"
#include "util/ui/QWidgetFormGeometry.h"
#include "util/ui/modToolBar.h"
#include "util/ui/modZURSTAT.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <algorithm>
#include <filesystem>

namespace {

// A switch value of a recent entry's tag; a value equal to the switch's own
// name counts as empty.
QString TagValue(CCommandArgs& args, const char* key) {
    const std::string value = args.Item(std::string(key));
    return QString::fromStdString(value.empty() || value == key ? std::string() : value);
}

// A file's path from the root, without "." and ".." steps; empty stays empty.
std::string FullPath(const std::string& path) {
    if (path.empty())
        return path;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

QAction* AddItem(QMenu* menu, std::map<int, QAction*>& items, int index, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QStringLiteral("%1_%2").arg(menu->objectName()).arg(index));
    items[index] = action;
    return action;
}

QAction* AddSeparator(QMenu* menu, std::map<int, QAction*>& items, int index) {
    QAction* action = menu->addSeparator();
    items[index] = action;
    return action;
}

// A division whose zero divisor raises the run-time error of the language.
long Divide(long a, long b) {
    if (b == 0)
        throw RunTimeError(rterr::DivisionByZero);
    return a / b;
}

} // namespace

MDIMain::MDIMain(bool createSampleDatabase, QWidget* parent)
    : QMainWindow(parent), m_createSampleDatabase(createSampleDatabase) {
    setObjectName(QStringLiteral("MDIMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);

    m_staMain = new QLabel(this);
    m_staMain->setObjectName(QStringLiteral("staMain"));
    statusBar()->addWidget(m_staMain, 1);

    BuildMenus();
    BuildToolbar();

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::ApplicationShortcut);
    connect(f1, &QShortcut::activated, this, &MDIMain::ShowContextHelp);
}

MDIMain::~MDIMain() = default;

QAction* MDIMain::Item(const std::map<int, QAction*>& items, int index) {
    const auto it = items.find(index);
    return it == items.end() ? nullptr : it->second;
}

void MDIMain::BuildMenus() {
    // File
    m_mnufile = menuBar()->addMenu(QStringLiteral("&File"));
    m_mnufile->setObjectName(QStringLiteral("mnufile"));
    // The desktop's own keys for opening and quitting (Ctrl+O, Ctrl+Q).
    AddItem(m_mnufile, m_fileItems, 100, QStringLiteral("&Open Database..."))->setShortcut(QKeySequence::Open);
    AddItem(m_mnufile, m_fileItems, 200, QStringLiteral("&Close Database"));
    AddSeparator(m_mnufile, m_fileItems, 900);
    AddItem(m_mnufile, m_fileItems, 1000, QStringLiteral("E&xit"))->setShortcut(QKeySequence::Quit);
    AddSeparator(m_mnufile, m_mruItems, 0)->setVisible(false);
    for (int i = 1; i <= 4; ++i)
        AddItem(m_mnufile, m_mruItems, i, QStringLiteral("MRU%1").arg(i))->setVisible(false);
    for (const auto& [index, action] : m_fileItems)
        if (!action->isSeparator())
            connect(action, &QAction::triggered, this, [this, i = index] { mnufileItems_Click(i); });
    for (int i = 1; i <= 4; ++i)
        connect(m_mruItems[i], &QAction::triggered, this, [this, i] { mnuFileMRU_Click(i); });
    connect(m_mnufile, &QMenu::aboutToShow, this, &MDIMain::mnufile_Click);

    // Tools
    m_mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    m_mnuTools->setObjectName(QStringLiteral("mnuTools"));
    AddItem(m_mnuTools, m_toolsItems, 0, QStringLiteral("&Probability Calculator"));
    AddItem(m_mnuTools, m_toolsItems, 10, QStringLiteral("&Options"));
    AddItem(m_mnuTools, m_toolsItems, 20, QStringLiteral("&Generate C++ Code"));
    for (const auto& [index, action] : m_toolsItems)
        connect(action, &QAction::triggered, this, [this, i = index] { mnuToolsItems_Click(i); });
    connect(m_mnuTools, &QMenu::aboutToShow, this, &MDIMain::mnuTools_Click);
    mnuTools_Click();

    // Window
    m_mnuWindow = menuBar()->addMenu(QStringLiteral("&Window"));
    m_mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    AddItem(m_mnuWindow, m_windowItems, 0, QStringLiteral("T&ile Horizontally"));
    AddItem(m_mnuWindow, m_windowItems, 10, QStringLiteral("&Tile Vertically"));
    AddItem(m_mnuWindow, m_windowItems, 20, QStringLiteral("&Cascade"));
    AddItem(m_mnuWindow, m_windowItems, 30, QStringLiteral("&Arrange Icons"));
    for (const auto& [index, action] : m_windowItems)
        connect(action, &QAction::triggered, this, [this, i = index] { mnuWindowItems_Click(i); });
    m_windowListSeparator = m_mnuWindow->addSeparator();
    connect(m_mnuWindow, &QMenu::aboutToShow, this, &MDIMain::mnuWindow_Click);

    // Help
    m_mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    m_mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    AddItem(m_mnuHelp, m_helpItems, 10, QStringLiteral("&Contents and Index"));
    AddSeparator(m_mnuHelp, m_helpItems, 20);
    m_mnuOnWeb = m_mnuHelp->addMenu(QStringLiteral("ZUR On the &Web"));
    m_mnuOnWeb->setObjectName(QStringLiteral("mnuOnWeb"));
    AddItem(m_mnuOnWeb, m_webItems, 10, QStringLiteral("&Varnello"));
    AddItem(m_mnuOnWeb, m_webItems, 20, QStringLiteral("&Technical Support"));
    AddSeparator(m_mnuOnWeb, m_webItems, 30);
    AddItem(m_mnuOnWeb, m_webItems, 40, QStringLiteral("&ZUR Home Page"));
    AddItem(m_mnuHelp, m_helpItems, 50, QStringLiteral("Contact &ZUR"));
    AddItem(m_mnuHelp, m_helpItems, 100, QStringLiteral("&About"))->setEnabled(appfeatures::kAboutBox);
    AddItem(m_mnuHelp, m_helpItems, 999, QStringLiteral("Hit Error"))->setVisible(false);
    for (const auto& [index, action] : m_helpItems)
        if (!action->isSeparator())
            connect(action, &QAction::triggered, this, [this, i = index] { mnuHelpItems_Click(i); });
    for (const auto& [index, action] : m_webItems)
        if (!action->isSeparator())
            connect(action, &QAction::triggered, this, [this, i = index] { mnuOnWebItems_Click(i); });

    // The scenario list's popup menu (not on the menu bar).
    m_mnuRightClick = new QMenu(QStringLiteral("RightClickMenu"), this);
    m_mnuRightClick->setObjectName(QStringLiteral("mnuRightClick"));
    struct PopupItem {
        int index;
        const char* caption;
        bool available;
    };
    const PopupItem popup[] = {
        {0, "&Run", true},
        {10, "-", true},
        {20, "&Edit Fields", appfeatures::kScenarioDesigner},
        {30, "Edit &Options", appfeatures::kScenarioDesigner},
        {40, "Edit Out&put", appfeatures::kScenarioDesigner},
        {50, "-", true},
        {60, "Dup&licate", appfeatures::kDuplicateDelete},
        {70, "&Delete", appfeatures::kDuplicateDelete},
        {80, "-", true},
        {90, "&View Data Table", true},
        {100, "View Output Table &1", true},
        {110, "View Output Table &2", true},
        {120, "-", true},
        {130, "&Generate C++ Code", appfeatures::kCodeGenerator},
        {140, "-", true},
        {150, "&Help", true},
    };
    for (const PopupItem& p : popup) {
        if (QLatin1String(p.caption) == QLatin1String("-")) {
            AddSeparator(m_mnuRightClick, m_rightClickItems, p.index);
            continue;
        }
        QAction* action = AddItem(m_mnuRightClick, m_rightClickItems, p.index, QString::fromLatin1(p.caption));
        action->setEnabled(p.available);
        connect(action, &QAction::triggered, this, [this, i = p.index] { mnuRightClickItems_Click(i); });
    }
    m_mnuRightClick->setDefaultAction(m_rightClickItems[0]);
}

void MDIMain::BuildToolbar() {
    m_tlbMain = addToolBar(QStringLiteral("tlbMain"));
    m_tlbMain->setObjectName(QStringLiteral("tlbMain"));
    m_tlbMain->setMovable(false);
    struct Button {
        const char* key;
        const char* tip;
        QStyle::StandardPixmap image;
        bool available;
    };
    const Button buttons[] = {
        {"btnOpen", "Open Database", QStyle::SP_DialogOpenButton, true},
        {"btnClose", "Close Database", QStyle::SP_DialogCloseButton, true},
        {"btnCalc", "Probability Calculator", QStyle::SP_FileDialogDetailedView, appfeatures::kCalculator},
        {"btnHelp", "Help", QStyle::SP_DialogHelpButton, true},
    };
    for (const Button& b : buttons) {
        const QString key = QString::fromLatin1(b.key);
        QAction* action = m_tlbMain->addAction(style()->standardIcon(b.image), QString::fromLatin1(b.tip));
        action->setObjectName(key);
        action->setToolTip(QString::fromLatin1(b.tip));
        action->setEnabled(b.available);
        connect(action, &QAction::triggered, this, [this, key] { tlbMain_ButtonClick(key); });
        m_buttons[key] = action;
    }
}

QAction* MDIMain::ToolbarButton(const QString& key) const {
    const auto it = m_buttons.find(key);
    return it == m_buttons.end() ? nullptr : it->second;
}

QString MDIMain::StatusText() const {
    return m_staMain->text();
}

void MDIMain::SetStatusText(const QString& text) {
    m_staMain->setText(text);
}

void MDIMain::Form_Load() {
    ProcGuard proc(gErr, "MDIForm_Load");
    try {
        setWindowTitle(QString::fromStdString(gstrDesignerTitle));

        m_WinPos = std::make_unique<CWinPos>();
        CProgramSettings& positions = m_WinPos->ProductSettings();
        positions.SetRegBase("ZUR");
        positions.SetMainBranch("SOFTWARE");
        positions.SetProgram(gstrRegProgramKey);
        positions.SetSection("Form Position");

        m_ErrHandler = gErr;
        if (m_ErrHandler)
            m_errSubscription = m_ErrHandler->OnAfterHandlerCalled([this] { m_ErrHandler_AfterHandlerCalled(); });

        m_MRU = std::make_unique<CMRU>();
        m_MRU->SetRegistryPath("SOFTWARE\\ZUR\\" + gstrRegProgramKey);
        m_MRU->SetSubFolder("Settings");
        for (int i = 0; i <= 4; ++i)
            m_MRU->SetMenuItem(i, std::make_shared<QActionMRUItem>(m_mruItems[i]));
        if (m_createSampleDatabase)
            CSampleDatabase::EnsureOnFirstRun(*m_MRU);
        m_MRU->GetMRUList();

        // Placed before it is shown, so that it appears where it stood. A
        // stored position the window cannot take counts as none stored.
        QWidgetFormGeometry geometry(this);
        bool restored = false;
        try {
            restored = m_WinPos->RestoreForm(geometry);
        } catch (...) {
            restored = false;
        }
        if (!restored) {
            geometry.SetHeight(DefaultHeightPixels * 15.0);
            geometry.SetWidth(DefaultWidthPixels * 15.0);
            platform::ui::CenterForm(this);
        }
        // Kept on the screen also where a frame that comes back maximized
        // goes back to.
        const Qt::WindowStates state = windowState();
        if (state & Qt::WindowMaximized)
            setWindowState(state & ~Qt::WindowMaximized);
        QWidgetFormGeometry::KeepOnVisibleScreen(this);
        if (state & Qt::WindowMaximized)
            setWindowState(state);
        show();
        SetToolBarFlat(m_tlbMain, true);

        if (SelectDatabaseDialog(QString(), QString()))
            ShowStatMain();
    } catch (...) {
        proc.HandleError();
    }
}

bool MDIMain::SelectDatabaseDialog(const QString& databaseName, const QString& /*workgroup*/) {
    ProcGuard proc(gErr, "SelectDatabaseDialog");
    bool result = false;
    try {
        CloseDatabaseForms();
        QString name = databaseName;
        // The log-on details of the last attempt, for the dialog shown again.
        bool lastSecured = false;
        QString lastWorkgroup, lastUser;
        for (;;) {
            // Exit chosen in the error dialog of a failed open: the program
            // ends, and the dialog is not shown again.
            if (m_unloaded)
                break;
            QString workgroup, user, password;
            bool cancelled = false;
            {
                frmOpenDatabase dialog(this);
                dialog.SetDatabase(name);
                // A name the recent list does not hold (typed, and refused by
                // the open) comes back as typed, with the log-on details typed
                // for it, not as the first recent database with its own, which
                // OK would open.
                if (!name.isEmpty() && dialog.Database().compare(name, Qt::CaseInsensitive) != 0)
                    dialog.ShowUnlistedDatabase(name, lastSecured, lastWorkgroup, lastUser);
                dialog.GetInfo();
                name = dialog.Database();
                // The log-on details count only for a secured database.
                if (dialog.SecuredDatabase()) {
                    workgroup = dialog.Workgroup();
                    user = dialog.UserID();
                }
                password = dialog.Password();
                cancelled = dialog.UserCanceled();
                lastSecured = dialog.SecuredDatabase();
                lastWorkgroup = dialog.Workgroup();
                lastUser = dialog.UserID();
            }
            if (cancelled)
                break;
            if (name.isEmpty())
                continue;
            if (!AssignCurrentDatabase(name, workgroup, user, password))
                continue;
            // The password is kept only when the user asked for it, and then
            // never in clear text (the recent list protects it).
            const bool savePassword = gSettings && gSettings->ReadEntry("SavePassword", "False") == "True";
            // Full paths, the database's as the status bar shows it: a path
            // typed relative to the folder the program started in would name
            // another file at the next start.
            const std::string tag = CMRU::MakeTag(FullPath(workgroup.toStdString()), user.toStdString(),
                                                  savePassword ? password.toStdString() : std::string());
            if (m_MRU)
                m_MRU->SetMRUList(gdbCurrent ? gdbCurrent->Name() : name.toStdString(), tag);
            result = true;
            break;
        }
    } catch (...) {
        proc.HandleError();
        result = false;
    }
    return result;
}

frmStatMain* MDIMain::StatMain() const {
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList())
        if (auto* form = qobject_cast<frmStatMain*>(sub->widget()))
            return form;
    return nullptr;
}

void MDIMain::ShowStatMain() {
    if (frmStatMain* form = StatMain()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget())) {
            sub->show();
            m_mdiArea->setActiveSubWindow(sub);
        }
        return;
    }
    auto* form = new frmStatMain;
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(form);
    sub->setObjectName(QStringLiteral("frmStatMain"));
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    form->Form_Load();
    m_mdiArea->setActiveSubWindow(sub);
}

void MDIMain::mnufile_Click() {
    const bool open = IsFormLoaded(QStringLiteral("frmStatMain")) || (gdbCurrent && gdbCurrent->IsOpen());
    m_fileItems[200]->setEnabled(open);
}

void MDIMain::mnuTools_Click() {
    m_toolsItems[0]->setEnabled(appfeatures::kCalculator);
    m_toolsItems[10]->setEnabled(appfeatures::kOptionsDialog);
    m_toolsItems[20]->setEnabled(appfeatures::kCodeGenerator && IsFormLoaded(QStringLiteral("frmStatMain")));
}

void MDIMain::mnuWindow_Click() {
    // The open child windows, after the arrangement commands.
    const QList<QAction*> actions = m_mnuWindow->actions();
    const qsizetype first = actions.indexOf(m_windowListSeparator) + 1;
    for (qsizetype i = first; i < actions.size(); ++i) {
        m_mnuWindow->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList();
    m_windowListSeparator->setVisible(!windows.isEmpty());
    int n = 0;
    for (QMdiSubWindow* sub : windows) {
        // An "&" of the title (a table's name) shows as it stands.
        QString title = sub->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = m_mnuWindow->addAction(QStringLiteral("&%1 %2").arg(++n).arg(title));
        action->setCheckable(true);
        action->setChecked(sub == m_mdiArea->activeSubWindow());
        connect(action, &QAction::triggered, this, [this, window = QPointer<QMdiSubWindow>(sub)] {
            if (window)
                m_mdiArea->setActiveSubWindow(window);
        });
    }
}

void MDIMain::mnufileItems_Click(int index) {
    ProcGuard proc(gErr, "MDIMain:mnuFileItems_click:index: " + std::to_string(index));
    try {
        switch (index) {
        case 100:
            if (SelectDatabaseDialog(QString(), QString()))
                ShowStatMain();
            break;
        case 200:
            CloseCurrentDatabase();
            break;
        case 1000:
            ExitApplication(this);
            break;
        default:
            break;
        }
    } catch (...) {
        proc.HandleError();
    }
}

void MDIMain::mnuFileMRU_Click(int index) {
    ProcGuard proc(gErr, "MDIMain:mnuFileMRU_click:index: " + std::to_string(index));
    try {
        if (index < 1 || index > 4)
            return;
        QAction* item = m_mruItems[index];
        const QString path = QString::fromStdString(CMRU::PathOfCaption(item->text().toStdString()));
        const QString tag = item->data().toString();
        CCommandArgs args;
        args.SetDelim("/");
        args.SetTestString(tag.toStdString());
        args.Parse();
        const QString workgroup = TagValue(args, "WG");
        const QString password = TagValue(args, "PWD");

        // A database without workgroup opens at once; the scenario list and
        // the result grids of the database open before are closed with it.
        if (workgroup.isEmpty() && IsValidExistingFile(path)) {
            if (AssignCurrentDatabase(path, QString(), QString(), password)) {
                if (m_MRU)
                    m_MRU->SetMRUList(path.toStdString(), tag.toStdString());
                ShowStatMain();
                return;
            }
        }
        if (SelectDatabaseDialog(path, workgroup))
            ShowStatMain();
    } catch (...) {
        proc.HandleError();
    }
}

void MDIMain::mnuToolsItems_Click(int index) {
    ProcGuard proc(gErr, "mnuToolsItems_Click: " + std::to_string(index));
    try {
        switch (index) {
        case 0:
            ShowCalculator();
            break;
        case 10:
            ShowOptions();
            break;
        case 20:
            if (frmStatMain* list = StatMain())
                list->GenerateCode();
            break;
        default:
            break;
        }
    } catch (...) {
        proc.HandleError();
    }
}

void MDIMain::ShowOptions() {
    frmOptions dialog(this);
    dialog.Form_Load();
    dialog.exec();
}

void MDIMain::ShowAbout() {
    frmAbout dialog(this);
    dialog.Form_Load();
    dialog.exec();
}

void MDIMain::mnuWindowItems_Click(int index) {
    switch (index) {
    case 0:
        ArrangeWindows(1);
        break;
    case 10:
        ArrangeWindows(2);
        break;
    case 20:
        ArrangeWindows(0);
        break;
    case 30:
        ArrangeWindows(3);
        break;
    default:
        break;
    }
}

void MDIMain::ArrangeWindows(int arrangement) {
    if (arrangement == 0) {
        // The area's own cascade shrinks every window to a sliver.
        mdiwindows::Cascade(m_mdiArea);
        return;
    }
    QList<QMdiSubWindow*> normal, minimized;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        if (!sub->isVisible())
            continue;
        (sub->isMinimized() ? minimized : normal).append(sub);
    }
    const QRect area = m_mdiArea->viewport()->rect();
    if (arrangement == 3) {
        // Minimized windows in a row along the bottom edge.
        int x = 0;
        for (QMdiSubWindow* sub : minimized) {
            const QSize size = sub->size();
            sub->move(x, area.bottom() - size.height() + 1);
            x += size.width();
        }
        return;
    }
    if (normal.isEmpty())
        return;
    const int n = static_cast<int>(normal.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = normal[i];
        if (sub->isMaximized())
            sub->showNormal();
        if (arrangement == 1) {
            // Horizontally: full width, one below the other.
            const int top = area.height() * i / n;
            const int bottom = area.height() * (i + 1) / n;
            sub->setGeometry(0, top, area.width(), bottom - top);
        } else {
            // Vertically: full height, side by side.
            const int left = area.width() * i / n;
            const int right = area.width() * (i + 1) / n;
            sub->setGeometry(left, 0, right - left, area.height());
        }
    }
}

void MDIMain::mnuHelpItems_Click(int index) {
    ProcGuard proc(gErr, "MDIMain:mnuHelpItems_Click: " + std::to_string(index));
    try {
        switch (index) {
        case 10: {
            CWinHelp help;
            help.SetHelpFile(QString::fromStdString(platform::App::HelpFile()));
            help.OpenFinder();
            break;
        }
        case 100:
            ShowAbout();
            break;
        case 50: {
            CShellExecute shell;
            shell.LaunchEmail(0, QString::fromLatin1(SupportEmail), CShellExecute::SW_SHOWNORMAL);
            break;
        }
        case 999:
            (void)Divide(1, 0);
            break;
        default:
            break;
        }
    } catch (...) {
        proc.HandleError();
    }
}

void MDIMain::mnuOnWebItems_Click(int index) {
    ProcGuard proc(gErr, "mnuOnWebItems_Click: " + std::to_string(index));
    try {
        const char* url = index == 10 ? ProductPage : index == 20 ? SupportPage : index == 40 ? HomePage : nullptr;
        if (url) {
            CShellExecute shell;
            shell.LaunchURL(0, QString::fromLatin1(url), 10);
        }
    } catch (...) {
        proc.HandleError();
    }
}

void MDIMain::mnuRightClickItems_Click(int index) {
    if (frmStatMain* list = StatMain())
        list->ContextMenuHandler(index);
}

void MDIMain::tlbMain_ButtonClick(const QString& key) {
    if (key == QLatin1String("btnOpen")) {
        if (SelectDatabaseDialog(QString(), QString()))
            ShowStatMain();
    } else if (key == QLatin1String("btnClose")) {
        CloseCurrentDatabase();
    } else if (key == QLatin1String("btnCalc")) {
        ShowCalculator();
    } else if (key == QLatin1String("btnHelp")) {
        ShowContextHelp();
    }
}

void MDIMain::ShowContextHelp() {
    int topic = 0;
    // A window of its own (the calculator) before the document area's.
    QWidget* active = QApplication::activeWindow();
    if (active && active != this)
        topic = HelpTopicOf(active);
    else if (QMdiSubWindow* sub = m_mdiArea->activeSubWindow())
        if (sub->widget())
            topic = HelpTopicOf(sub->widget());
    ShowHelpTopic(topic);
}

void MDIMain::m_ErrHandler_AfterHandlerCalled() {
    if (!m_ErrHandler)
        return;
    bool exit = false;
    {
        frmErrorHandler dialog(this);
        dialog.SetAppName(QStringLiteral("Varnello"));
        dialog.SetReadmefile(ReadmeLocation());
        dialog.SetErrHelpContextID(1);
        dialog.SetErrHelpFileName(QString::fromStdString(platform::App::HelpFile()));
        dialog.SetErrorFile(QString::fromStdString(m_ErrHandler->DestinationPath()));
        dialog.SetErrorString(QString::fromStdString(m_ErrHandler->ErrDescription()));
        dialog.SetErrorMsgString(QString::fromStdString(m_ErrHandler->ErrorText()));
        dialog.exec();
        exit = dialog.UserChoice();
    }
    if (exit)
        ExitApplication(this);
    else
        m_ErrHandler->ClearLog();
}

void MDIMain::closeEvent(QCloseEvent* event) {
    if (!m_unloaded) {
        // The other forms go first, each through its own closing.
        for (QWidget* form : LoadedForms())
            if (form != this)
                CloseForm(form);
        MDIForm_Unload();
    }
    event->accept();
}

void MDIMain::MDIForm_Unload() {
    m_unloaded = true;
    try {
        if (m_WinPos) {
            QWidgetFormGeometry geometry(this);
            m_WinPos->SaveForm(geometry);
        }
    } catch (...) {
        if (gErr)
            gErr->HandleError();
    }
    m_errSubscription.Disconnect();
    m_ErrHandler.reset();
}
