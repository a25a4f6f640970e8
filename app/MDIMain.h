#pragma once
// The application's frame: menus, toolbar, the status bar with the current
// database, the document area holding the scenario list and the result
// grids, the recent databases and the popup menu of the scenario list. Its
// load runs the open-database dialog; it shows the error dialog whenever the
// application's error handler reports an error.
// The error handler's header is beyond what moc parses.
#ifndef Q_MOC_RUN
#include "errors/CErr_ZUR.h"
#endif

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <map>
#include <memory>

class CMRU;
class CWinPos;
class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;
class frmStatMain;

class MDIMain : public QMainWindow {
    Q_OBJECT
public:
    // First size when no position is stored, pixels.
    static constexpr int DefaultWidthPixels = 635;
    static constexpr int DefaultHeightPixels = 455;
    static constexpr const char* ProductPage = "https://varnello.example/varnello";
    static constexpr const char* SupportPage = "https://varnello.example/support";
    static constexpr const char* HomePage = "https://varnello.example";
    static constexpr const char* SupportEmail = "support@varnello.example";

    explicit MDIMain(bool createSampleDatabase = false, QWidget* parent = nullptr);
    ~MDIMain() override;

    // The load sequence: caption, position store, error dialog hook, recent
    // databases, position, flat toolbar, visible, then the open-database
    // dialog, and the scenario list when a database was opened.
    void Form_Load();

    // Runs the open-database dialog (preset with the database name) until a
    // database has been opened (True) or the user cancelled (False). Closes
    // the scenario list and the result grids first.
    bool SelectDatabaseDialog(const QString& databaseName, const QString& workgroup);

    // Shows the scenario list, creating it when it is not loaded.
    void ShowStatMain();
    frmStatMain* StatMain() const;
    QMdiArea* MdiArea() const { return m_mdiArea; }

    QString StatusText() const;
    void SetStatusText(const QString& text);

    // Menu items by their indexes (null for an index without an item).
    QMenu* mnufile() const { return m_mnufile; }
    QMenu* mnuTools() const { return m_mnuTools; }
    QMenu* mnuWindow() const { return m_mnuWindow; }
    QMenu* mnuHelp() const { return m_mnuHelp; }
    QMenu* mnuRightClick() const { return m_mnuRightClick; }
    QAction* mnufileItems(int index) const { return Item(m_fileItems, index); }
    QAction* mnuFileMRU(int index) const { return Item(m_mruItems, index); }
    QAction* mnuToolsItems(int index) const { return Item(m_toolsItems, index); }
    QAction* mnuWindowItems(int index) const { return Item(m_windowItems, index); }
    QAction* mnuHelpItems(int index) const { return Item(m_helpItems, index); }
    QAction* mnuOnWebItems(int index) const { return Item(m_webItems, index); }
    QAction* mnuRightClickItems(int index) const { return Item(m_rightClickItems, index); }
    // Toolbar buttons by key: "btnOpen", "btnClose", "btnCalc", "btnHelp".
    QAction* ToolbarButton(const QString& key) const;
    QToolBar* tlbMain() const { return m_tlbMain; }
    CMRU& MRU() { return *m_MRU; }

    // The handlers of the menus and the toolbar, by item index or key.
    void mnufileItems_Click(int index);
    void mnuFileMRU_Click(int index);
    void mnuToolsItems_Click(int index);
    void mnuWindowItems_Click(int index);
    void mnuHelpItems_Click(int index);
    void mnuOnWebItems_Click(int index);
    void mnuRightClickItems_Click(int index);
    void tlbMain_ButtonClick(const QString& key);
    // What opening the File and Tools menus does: the enabled state of
    // "&Close Database" and "&Generate C++ Code".
    void mnufile_Click();
    void mnuTools_Click();

    // Tools, Options and Help, About: the options dialog and the about box,
    // modal.
    void ShowOptions();
    void ShowAbout();

    // Opens the help file at the topic of the active window.
    void ShowContextHelp();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static QAction* Item(const std::map<int, QAction*>& items, int index);
    void BuildMenus();
    void BuildToolbar();
    void mnuWindow_Click();
    void m_ErrHandler_AfterHandlerCalled();
    void MDIForm_Unload();
    void ArrangeWindows(int arrangement);

    bool m_createSampleDatabase;
    bool m_unloaded = false;
    QMdiArea* m_mdiArea = nullptr;
    QLabel* m_staMain = nullptr;
    QToolBar* m_tlbMain = nullptr;
    QMenu* m_mnufile = nullptr;
    QMenu* m_mnuTools = nullptr;
    QMenu* m_mnuWindow = nullptr;
    QMenu* m_mnuHelp = nullptr;
    QMenu* m_mnuOnWeb = nullptr;
    QMenu* m_mnuRightClick = nullptr;
    QAction* m_windowListSeparator = nullptr;
    std::map<int, QAction*> m_fileItems, m_mruItems, m_toolsItems, m_windowItems, m_helpItems, m_webItems,
        m_rightClickItems;
    std::map<QString, QAction*> m_buttons;

    std::unique_ptr<CWinPos> m_WinPos;
    std::unique_ptr<CMRU> m_MRU;
    std::shared_ptr<CErr_ZUR> m_ErrHandler;
    CErr_ZUR::Subscription m_errSubscription;
};
