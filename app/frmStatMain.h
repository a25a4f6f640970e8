#pragma once
// "Analysis Scenarios": the scenario list of the current database, one tab per
// analysis group and option buttons per analysis type, with the commands that
// act on the selected scenario (run, view its tables, and the designer's
// commands once they land) and the popup menu of the frame. It runs a
// scenario through the engine, prints the engine's progress texts in the
// progress window and opens the result tables in grids.
// The engine's header is beyond what moc parses.
#ifndef Q_MOC_RUN
#include "engine/Varnello.h"
#endif
#include "app/frmStatus.h"
#include "scenario/CScenarioInfo.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class CListView;
class CScenarioRun;
class CMelvarsPropWiz;
class CWinPos;
class QFrame;
class QGroupBox;
class QMdiSubWindow;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTimer;
class QTreeWidget;
class frmStatus;

class frmStatMain : public QWidget, private IVarnelloEvents {
    Q_OBJECT
public:
    // Design values, twips.
    static constexpr int ButtonWidth = 1035;
    static constexpr int ButtonHeight = 315;
    static constexpr int FrameWidth = 1995;
    static constexpr int FrameHeight = 2520;
    static constexpr int MinimumHeight = 4000;
    // First size when no position is stored, pixels.
    static constexpr int DefaultWidthPixels = 610;
    static constexpr int DefaultHeightPixels = 360;
    static constexpr const char* CaptionPrefix = "ZUR Varnello Scenario Designer ";
    // Asked when the progress window or the frame is closed during a run.
    static constexpr const char* StopQuestion =
        "Stop the analysis? Results written so far are discarded; earlier results stay as they were.";

    explicit frmStatMain(QWidget* parent = nullptr);
    ~frmStatMain() override;

    // The load sequence: position store and position, filter "P" / "*",
    // list-view helper, the list, the frames, the list above the tab strip.
    void Form_Load();

    // The filter: group letter and type name ("*" for every type).
    const QString& ScenTypeMain() const { return m_ScenTypeMain; }
    void SetScenTypeMain(const QString& group) { m_ScenTypeMain = group; }
    const QString& ScenType() const { return m_ScenType; }
    void SetScenType(const QString& type) { m_ScenType = type; }

    // Rebuilds the list from the scenario table for the current filter.
    void LoadScenarios();

    // A command button (0 New, 1 Edit, 2 Duplicate, 3 Delete, 4 Run, 5 Help);
    // the list is reloaded afterwards (after a run only when it succeeded)
    // and the selection put back by position.
    void cmdAction_Click(int index);
    // One item of the frame's popup menu, by its index; the list is always
    // reloaded afterwards.
    void ContextMenuHandler(int index);
    // The popup menu at a global position, for the right button over the list.
    void lvwScenarios_MouseUp(Qt::MouseButton button, const QPoint& globalPos);

    // The designer: a new scenario of the current group and type, or the
    // selected scenario opened at a designer page (3 fields, 30 options, 50
    // output tables). After "Save and &Run" the saved scenario runs at once.
    void CreateNewScenario();
    void EditCurrentScenario(int startPage);
    // The designer of the last new or edit command (null before the first).
    CMelvarsPropWiz* Designer() const { return m_oScenario.get(); }

    // Runs scenario ScenarioID (0: the selected one). True only when it ran.
    bool RunCurrentScenario(long ScenarioID);
    // The selected row, or nothing.
    std::optional<CScenarioInfo> GetScenarioInfo() const;
    void ViewDataTable();
    void ViewOutputTable1();
    void ViewOutputTable2();
    // Copies the selected scenario through the duplicate dialog.
    void DuplicateCurrentScenario();
    // Asks, then deletes the selected scenario from the three tables.
    void DeleteCurrentScenario();
    // Deletes the scenario's rows from the three tables in one transaction.
    void DeleteScenario(long& ScenarioID);
    // Opens the code generator for the selected scenario.
    void GenerateCode();

    // The controls, for the frame and tests.
    QTabBar* tabMain() const { return m_tabMain; }
    QTreeWidget* lvwScenarios() const { return m_lvwScenarios; }
    QPushButton* cmdAction(int index) const;
    // Option button `index` (1-based) of the group of tab `tab` (1 to 3).
    QRadioButton* optAnalysisType(int tab, int index) const;
    QGroupBox* SubTypeFrame(int tab) const;
    QTimer* Timer1() const { return m_timer1; }
    // The progress window while a run lasts.
    frmStatus* StatusWindow() const { return m_status; }

    // The resize arithmetic, in twips of the client area.
    struct Rect {
        int left, top, width, height;
        bool operator==(const Rect&) const = default;
    };
    struct Layout {
        Rect tab;
        Rect list;
        int buttonTop;
        std::array<int, 6> buttonLeft; // by button index
    };
    // listLeft: the list's left edge (2340 by design; further right when the
    // type frames need more room for their captions).
    static Layout ComputeLayout(int scaleWidth, int scaleHeight, int buttonWidth, int listLeft = 2340);
    // The widest a list column is made to fit its texts, pixels.
    static constexpr int MaximumColumnWidth = 600;
    // The type filter of an option button (index 1 "*", then the names of the
    // group's types in the catalogue's order); empty outside the group's range.
    static QString TypeFilter(int tab, int index);

signals:
    // Each progress text of a run, as it is printed.
    void progressText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Resize();
    void Form_Unload();
    void Timer1_Timer();
    void tabMain_Click();
    void optAnalysisType_Click(int tab, int index);
    void PlaceFrames();
    void PopupFromKeyboard();
    // Switches to the tab of the group and selects the scenario.
    void ShowScenario(long ScenarioID, const QString& group);
    int ListLeft() const;
    void SizeColumns();
    void PlaceTabStrip(const Rect& twips);
    int SelectedPosition() const;
    void RestoreSelection(int remembered);
    void SendHelpKey();
    bool RunScenarioTest(long ScenarioID);
    // The close box of the progress window or of the frame (or Esc in the
    // progress window) during a run: asks, and stops the run on Yes; the
    // frame then closes when the run has ended.
    void AskToStopRun(CScenarioRun& run, QWidget* window);
    void CloseGridsShowing(const QString& table1, const QString& table2);
    QMdiSubWindow* SubWindow() const;

    // The engine's events.
    void StatStatus(std::string& Msg) override;

    QString m_ScenTypeMain = QStringLiteral("P");
    QString m_ScenType = QStringLiteral("*");
    bool m_loaded = false;
    bool m_unloaded = false;

    QTabBar* m_tabMain = nullptr;
    QFrame* m_tabBody = nullptr;
    std::array<QGroupBox*, 4> m_frames{};                 // 1..3
    std::array<std::vector<QRadioButton*>, 4> m_options{}; // [tab][index], index 1 "All"
    QTreeWidget* m_lvwScenarios = nullptr;
    std::array<QPushButton*, 6> m_cmdAction{};
    QTimer* m_timer1 = nullptr;

    std::unique_ptr<CListView> m_lvw;
    std::unique_ptr<CWinPos> m_winPos;
    std::unique_ptr<CMelvarsPropWiz> m_oScenario;
    QPointer<frmStatus> m_status;
    bool m_askingToStop = false;
    bool m_keyboardPopupPending = false;
    // A scenario a command created, to be shown after the list's reload.
    std::optional<std::pair<long, QString>> m_showAfterCommand;
    bool m_closeFrameAfterRun = false;
};
