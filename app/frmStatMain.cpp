#include "app/frmStatMain.h"

#include "app/AppFeatures.h"
#include "app/CScenarioRun.h"
#include "app/MdiWindows.h"
#include "app/AppGlobals.h"
#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmStatus.h"
#include "app/modApplication.h"
#include "app/modOpenDatabase.h"
#include "db/Dao.h"
#include "designer/CMelvarsPropWiz.h"
#include "designer/ReplacedTables.h"
#include "engine/AnalysisCatalogue.h"
#include "scenario/ScenarioSave.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/ui/frmMsgBox.h"
#include "platform/App.h"
#include "platform/MessageBox.h"
#include "platform/ui/ScreenPointer.h"
#include "platform/ui/Twips.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/CWinPos.h"
#include "util/modStatCommon.h"
#include "util/modZURSTAT.h"
#include "util/ui/CListView.h"
#include "util/ui/QWidgetFormGeometry.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTextDocument>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

using platform::ui::PixelsFromTwips;
using platform::ui::SetScreenMousePointer;
using platform::ui::TwipsFromPixels;

namespace {

const char* const kGroupLetters[] = {"", "P", "G", "N"};

struct TypeOption {
    QString caption;
    QString filter;
};

// The option buttons of a tab: "All" ("*"), then one per type of the tab's
// group with its caption and its name as the type filter.
std::vector<TypeOption> OptionsOfTab(int tab) {
    if (tab < 1 || tab > 3)
        return {};
    std::vector<TypeOption> options{{QStringLiteral("All"), QStringLiteral("*")}};
    for (const AnalysisType* t : AnalysisTypesOfGroup(kGroupLetters[tab][0]))
        options.push_back({QString::fromUtf8(t->listCaption), QString::fromUtf8(t->name)});
    return options;
}

const char* const kColumnHeaders[] = {"ID #",           "Type",           "Scenario Description", "Table",
                                      "Output Table 1", "Output Table 2", "Created By",           "Created Date",
                                      "Modified By",    "Modified Date"};
const int kColumnWidths[] = {360, 1440, 2880, 1440, 1440, 1440, 1440, 1440, 1440, 1440};

const char* const kButtonCaptions[] = {"&New", "&Edit", "Dup&licate", "&Delete", "&Run", "&Help"};

// A Jet text literal's content: single quotes doubled.
std::string QuoteLiteral(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return t.toStdString();
}

// A column value as the list shows it: Null empty, dates in the date form.
QString CellText(const dao::Variant& v) {
    if (v.IsNull() || v.IsEmpty())
        return {};
    if (v.Type() == dao::vbDate)
        return QString::fromStdString(dao::FormatDate(v.RawDouble()));
    return QString::fromStdString(v.ToString());
}

// A tool tip showing the text as it stands. The tip takes a text that looks
// like HTML ("Q1 <b>North</b><br>& South") for HTML and drops its tags; such
// a text goes in escaped, its blanks and line breaks kept.
QString PlainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpacePre) : text;
}

QString TextOf(const dao::Variant& v) {
    return (v.IsNull() || v.IsEmpty()) ? QString() : QString::fromStdString(v.ToString());
}

// The step under way, for the error report.
void SetOperation(const char* operation) {
    if (gErr)
        gErr->SetCurrentOperation(operation);
}

// Behind a maximized window of the document area (a result grid in front of
// it at exit) the list is maximized as well: it shows so as soon as it is the
// active window again, and it is saved so.
bool BehindAMaximizedWindow(const QMdiSubWindow* sub) {
    if (!sub->mdiArea() || sub->isMaximized() || sub->isMinimized())
        return false;
    const QList<QMdiSubWindow*> windows = sub->mdiArea()->subWindowList();
    return std::any_of(windows.begin(), windows.end(),
                       [sub](const QMdiSubWindow* w) { return w != sub && w->isVisible() && w->isMaximized(); });
}

class MaximizedGeometry : public QWidgetFormGeometry {
public:
    using QWidgetFormGeometry::QWidgetFormGeometry;
    int WindowState() const override { return 2; }
};

// max(a, b) of two twips values.
int MaxTwips(int a, int b) {
    return std::max(a, b);
}

} // namespace

frmStatMain::frmStatMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmStatMain"));
    setWindowTitle(QStringLiteral("Analysis Scenarios"));
    setProperty("HelpContextID", 300);

    m_tabBody = new QFrame(this);
    m_tabBody->setObjectName(QStringLiteral("tabMainBody"));
    m_tabBody->setFrameShape(QFrame::StyledPanel);
    m_tabMain = new QTabBar(this);
    m_tabMain->setObjectName(QStringLiteral("tabMain"));
    m_tabMain->setDrawBase(false);
    m_tabMain->addTab(QStringLiteral("&Parametric Analysis"));
    m_tabMain->addTab(QStringLiteral("&Group Analysis"));
    m_tabMain->addTab(QStringLiteral("N&on-Parametric Analysis"));

    const char* const frameNames[] = {"", "ogSubType_Parametric", "ogSubType_Group", "ogSubType_Non_Parametric"};
    const char* const optionNames[] = {"", "optParAnalysisType", "optGroupAnalysistype", "optNonParAnalysisType"};
    for (int tab = 1; tab <= 3; ++tab) {
        auto* frame = new QGroupBox(QStringLiteral("Analysis Type:"), this);
        frame->setObjectName(QString::fromLatin1(frameNames[tab]));
        frame->setFixedSize(PixelsFromTwips(FrameWidth), PixelsFromTwips(FrameHeight));
        auto* column = new QVBoxLayout(frame);
        column->setContentsMargins(6, 2, 4, 2);
        column->setSpacing(0);
        const std::vector<TypeOption> options = OptionsOfTab(tab);
        auto& buttons = m_options[static_cast<std::size_t>(tab)];
        buttons.assign(options.size() + 1, nullptr);
        for (int i = 1; i <= static_cast<int>(options.size()); ++i) {
            auto* option = new QRadioButton(options[static_cast<std::size_t>(i - 1)].caption, frame);
            option->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(optionNames[tab])).arg(i));
            column->addWidget(option);
            buttons[static_cast<std::size_t>(i)] = option;
            connect(option, &QRadioButton::clicked, this, [this, tab, i] { optAnalysisType_Click(tab, i); });
        }
        column->addStretch(1);
        m_options[static_cast<std::size_t>(tab)][1]->setChecked(true);
        m_frames[static_cast<std::size_t>(tab)] = frame;
    }
    // The frames are as wide as their longest caption needs ("Two Sample
    // t-Test" is wider than the design width in many fonts), all three alike.
    int frameWidth = PixelsFromTwips(FrameWidth);
    for (int tab = 1; tab <= 3; ++tab)
        frameWidth = std::max(frameWidth, m_frames[static_cast<std::size_t>(tab)]->minimumSizeHint().width());
    // And high enough for a line of text for each of their option buttons
    // (large fonts): with less the buttons lay over each other.
    int frameHeight = PixelsFromTwips(FrameHeight);
    for (int tab = 1; tab <= 3; ++tab) {
        QGroupBox* frame = m_frames[static_cast<std::size_t>(tab)];
        const QMargins margins = frame->layout()->contentsMargins();
        int needed = frame->height() - frame->contentsRect().height() + margins.top() + margins.bottom();
        for (QRadioButton* option : frame->findChildren<QRadioButton*>())
            needed += std::max(option->fontMetrics().height(),
                               option->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, option));
        frameHeight = std::max(frameHeight, needed);
    }
    for (int tab = 1; tab <= 3; ++tab)
        m_frames[static_cast<std::size_t>(tab)]->setFixedSize(frameWidth, frameHeight);

    m_lvwScenarios = new QTreeWidget(this);
    m_lvwScenarios->setObjectName(QStringLiteral("lvwScenarios"));
    m_lvwScenarios->setRootIsDecorated(false);
    m_lvwScenarios->setUniformRowHeights(true);
    m_lvwScenarios->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lvwScenarios->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvwScenarios->setColumnCount(10);
    QStringList headers;
    for (const char* h : kColumnHeaders)
        headers << QString::fromLatin1(h);
    m_lvwScenarios->setHeaderLabels(headers);
    for (int c = 0; c < 10; ++c)
        m_lvwScenarios->setColumnWidth(c, PixelsFromTwips(kColumnWidths[c]));
    m_lvwScenarios->header()->setSectionsClickable(true);
    // The last column takes whatever room is left.
    m_lvwScenarios->header()->setStretchLastSection(true);
    m_lvwScenarios->viewport()->installEventFilter(this);
    // The keyboard: the popup menu's keys, Enter and Delete.
    m_lvwScenarios->installEventFilter(this);

    for (int i = 0; i < 6; ++i) {
        auto* button = new QPushButton(QString::fromLatin1(kButtonCaptions[i]), this);
        button->setObjectName(QStringLiteral("cmdAction_%1").arg(i));
        button->setFixedSize(PixelsFromTwips(ButtonWidth), PixelsFromTwips(ButtonHeight));
        button->setAutoDefault(false);
        m_cmdAction[static_cast<std::size_t>(i)] = button;
        connect(button, &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
    }
    // The buttons are as wide as their longest caption needs (large fonts:
    // "Dup&licate" is wider than the design width), all six alike, since the
    // row is laid out by the width of the first.
    int buttonWidth = PixelsFromTwips(ButtonWidth);
    for (QPushButton* button : m_cmdAction) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const int caption = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width();
        buttonWidth = std::max(buttonWidth, caption + button->width() - room.width());
    }
    for (QPushButton* button : m_cmdAction)
        button->setFixedWidth(buttonWidth);
    // Tab takes the row as it reads (Form_Resize): Help at the left, then New
    // to Run.
    setTabOrder(m_lvwScenarios, m_cmdAction[5]);
    setTabOrder(m_cmdAction[5], m_cmdAction[0]);
    // New and Edit need the scenario designer, Duplicate and Delete their
    // own dialogs; they stay disabled until those are part of the program.
    m_cmdAction[0]->setEnabled(appfeatures::kScenarioDesigner);
    m_cmdAction[1]->setEnabled(appfeatures::kScenarioDesigner);
    m_cmdAction[2]->setEnabled(appfeatures::kDuplicateDelete);
    m_cmdAction[3]->setEnabled(appfeatures::kDuplicateDelete);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    connect(m_tabMain, &QTabBar::currentChanged, this, [this](int) { tabMain_Click(); });
    connect(m_lvwScenarios, &QTreeWidget::itemClicked, this, [this] {
        if (m_lvw)
            m_lvw->OnClick();
    });
    connect(m_lvwScenarios->header(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (m_lvw)
            m_lvw->OnColumnClick(section + 1);
    });
}

void frmStatMain::CreateNewScenario() {
    ProcGuard proc(gErr, "frmStatMain:CreateNewScenario");
    try {
        m_oScenario.reset();
        m_oScenario = std::make_unique<CMelvarsPropWiz>();
        CMelvarsPropWiz& wiz = *m_oScenario;
        wiz.SetSettings(gSettings);
        wiz.SetParentWindow(this);
        std::string type = m_ScenType.toStdString();
        if (type == "*") {
            // All types shown: the first type of the group.
            const std::string group = m_ScenTypeMain.toStdString();
            const std::vector<const AnalysisType*> types =
                group.size() == 1 ? AnalysisTypesOfGroup(group[0]) : std::vector<const AnalysisType*>();
            type = types.empty() ? std::string() : std::string(types.front()->name);
        }
        wiz.SetScenario_ID(0);
        wiz.SetCalcType(type);
        wiz.SetScenario_Type(m_ScenTypeMain.toStdString());
        // The option values every new scenario starts with.
        const CMelvarsScenario defaults = NewScenarioDefaults();
        for (const auto& [column, value] : ScenarioOptionValues(defaults))
            SetScenarioOption(wiz.Scenario(), column, value);
        wiz.SetMissingType("0");
        const bool run = wiz.ShowStatWizard(1);
        // A saved scenario is shown where it belongs once the list reloads,
        // whichever tab was open.
        if (wiz.Scenario_ID() != 0)
            m_showAfterCommand = {wiz.Scenario_ID(), QString::fromStdString(wiz.Scenario_Type())};
        if (run)
            (void)RunCurrentScenario(wiz.Scenario_ID());
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::EditCurrentScenario(int startPage) {
    ProcGuard proc(gErr, "frmStatMain:EditCurrentScenario");
    try {
        const std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info) {
            ShowAppMessage(QStringLiteral("Please select a scenario from the list"));
            return;
        }
        const std::int32_t id = dao::Variant(info->ScenarioID()).ToLong();
        dao::RecordsetPtr rs = gdbCurrent->OpenRecordset(GetScenOptionSQL(id), dao::dbOpenSnapshot);
        if (rs->EOF_()) {
            ShowAppMessage(QStringLiteral("Scenario not found: ") + QString::fromStdString(info->ScenarioID()));
            return;
        }
        m_oScenario.reset();
        m_oScenario = std::make_unique<CMelvarsPropWiz>();
        CMelvarsPropWiz& wiz = *m_oScenario;
        wiz.SetSettings(gSettings);
        wiz.SetParentWindow(this);
        wiz.SetScenario_ID(id);
        auto col = [&](const char* name) { return rs->Fields(name)->Value(); };
        auto text = [&](const char* name) {
            const dao::Variant v = col(name);
            return v.IsNull() ? std::string() : v.ToString();
        };
        wiz.SetScenario_Description(text("Scenario_Description"));
        wiz.SetScenario_Type(text("Scenario_Analysis_Type"));
        wiz.SetCalcType(text("Scenario_Analysis_SubType"));
        wiz.SetTable(text("Scenario_Input_Table_Name"));
        wiz.SetOutputTable1(text("Scenario_Output_Table1_Name"));
        wiz.SetOutputTable2(text("Scenario_Output_Table2_Name"));
        wiz.SetMissingType(text("MissingType"));
        // The missing values as stored: a text of fifteen digits would bring
        // a value of more digits back changed at the next save.
        wiz.SetMissingEqual(col("MissingEqual"));
        wiz.SetMissingHigh(col("MissingHigh"));
        wiz.SetMissingLow(col("MissingLow"));
        wiz.SetScenario_Version(text("Scenario_Version"));
        // A stored option that does not fit is named, and nothing is opened.
        const std::string misfit = ReadScenarioOptions(*rs, wiz.Scenario(), id, OptionReader::Designer);
        // Everything is read: a read left open on the file would keep the
        // designer's Finish page and the run from dropping the output tables.
        rs->Close();
        rs.reset();
        if (!misfit.empty()) {
            m_oScenario.reset();
            ShowAppMessage(QString::fromStdString(misfit));
            return;
        }
        if (wiz.ShowStatWizard(startPage)) {
            update();
            (void)RunCurrentScenario(id);
        }
    } catch (...) {
        proc.HandleError();
    }
}

frmStatMain::~frmStatMain() = default;

QPushButton* frmStatMain::cmdAction(int index) const {
    return index >= 0 && index < 6 ? m_cmdAction[static_cast<std::size_t>(index)] : nullptr;
}

QRadioButton* frmStatMain::optAnalysisType(int tab, int index) const {
    if (tab < 1 || tab > 3 || index < 1)
        return nullptr;
    const auto& buttons = m_options[static_cast<std::size_t>(tab)];
    return static_cast<std::size_t>(index) < buttons.size() ? buttons[static_cast<std::size_t>(index)] : nullptr;
}

QGroupBox* frmStatMain::SubTypeFrame(int tab) const {
    return tab >= 1 && tab <= 3 ? m_frames[static_cast<std::size_t>(tab)] : nullptr;
}

QMdiSubWindow* frmStatMain::SubWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

QString frmStatMain::TypeFilter(int tab, int index) {
    const std::vector<TypeOption> options = OptionsOfTab(tab);
    if (index < 1 || index > static_cast<int>(options.size()))
        return {};
    return options[static_cast<std::size_t>(index - 1)].filter;
}

int frmStatMain::ListLeft() const {
    // Right of the type frames, which stand at the tab strip's client area
    // + 60; at the design width that is the design's 2340.
    const int clientLeft = 120 + TwipsFromPixels(m_tabBody->frameWidth());
    return std::max(2340, clientLeft + 60 + TwipsFromPixels(m_frames[1]->width()) + 150);
}

frmStatMain::Layout frmStatMain::ComputeLayout(int W, int H, int w, int listLeft) {
    Layout l{};
    l.tab = {120, 60, MaxTwips(W - 180, 121), MaxTwips(H - 720, 1)};
    l.list = {listLeft, 600, MaxTwips(W - listLeft - 256, 2341), MaxTwips(l.tab.top + l.tab.height - 720, 1)};
    l.buttonTop = l.tab.top + l.tab.height + 196;
    // From the right: Run, Delete, Duplicate, Edit, New, then Help.
    l.buttonLeft[4] = W - w - 60;
    l.buttonLeft[3] = l.buttonLeft[4] - w - 60;
    l.buttonLeft[2] = l.buttonLeft[3] - w - 60;
    l.buttonLeft[1] = l.buttonLeft[2] - w - 60;
    l.buttonLeft[0] = l.buttonLeft[1] - w - 60;
    l.buttonLeft[5] = l.buttonLeft[0] - w - 60;
    return l;
}

void frmStatMain::Form_Load() {
    ProcGuard proc(gErr, "frmStatMain:Form_Load");
    try {
        m_winPos = std::make_unique<CWinPos>();
        CProgramSettings& positions = m_winPos->ProductSettings();
        positions.SetRegBase("ZUR");
        positions.SetMainBranch("SOFTWARE");
        positions.SetProgram(gstrRegProgramKey);
        positions.SetSection("Form Position");
        if (QMdiSubWindow* sub = SubWindow()) {
            // Its normal size is kept while it is maximized, for the next start.
            QWidgetFormGeometry::TrackNormalGeometry(sub);
            QWidgetFormGeometry geometry(sub);
            // A size saved below what the window can be used at (after a
            // cascade of an earlier version, or maximized by a version that
            // kept no normal size) is not worth restoring; a stored position
            // the window cannot take counts as none stored.
            bool restored = false;
            try {
                restored = m_winPos->RestoreForm(geometry);
            } catch (...) {
                restored = false;
            }
            // The normal size is checked and placed also for a window that
            // comes back maximized: it is what the user gets on restoring.
            const bool maximized = sub->isMaximized();
            if (maximized)
                sub->showNormal();
            if (!restored || !mdiwindows::IsUsableSize(this, sub->size())) {
                geometry.SetHeight(DefaultHeightPixels * 15.0);
                geometry.SetWidth(DefaultWidthPixels * 15.0);
            }
            if (sub->mdiArea())
                mdiwindows::PlaceInside(sub->mdiArea(), sub);
            if (maximized)
                sub->showMaximized();
        }

        m_ScenTypeMain = QStringLiteral("P");
        m_ScenType = QStringLiteral("*");

        m_lvw = std::make_unique<CListView>();
        m_lvw->SetResetSortKeyOnColumnClick(true);
        m_lvw->SetListView(m_lvwScenarios);
        m_lvw->SetFullRowSelect();

        m_loaded = true;
        LoadScenarios();

        Form_Resize();
        PlaceFrames();
        {
            const QSignalBlocker block(m_tabMain);
            m_tabMain->setCurrentIndex(0);
        }
        m_frames[1]->show();
        m_frames[2]->hide();
        m_frames[3]->hide();
        m_lvwScenarios->raise();
        // The keys of the list (Enter runs, Delete deletes, the Menu key opens
        // its popup) work from the first moment, without a click on a row.
        m_lvwScenarios->setFocus();
        m_timer1->start();
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::PlaceTabStrip(const Rect& twips) {
    const int x = PixelsFromTwips(twips.left);
    const int y = PixelsFromTwips(twips.top);
    const int w = PixelsFromTwips(twips.width);
    const int h = PixelsFromTwips(twips.height);
    const int bar = std::min(m_tabMain->sizeHint().height(), std::max(h, 1));
    m_tabMain->setGeometry(x, y, w, bar);
    m_tabBody->setGeometry(x, y + bar - 1, w, std::max(h - bar + 1, 1));
}

void frmStatMain::PlaceFrames() {
    // The tab strip's client area, in twips.
    const int clientLeft = TwipsFromPixels(m_tabBody->x() + m_tabBody->frameWidth());
    const int clientTop = TwipsFromPixels(m_tabBody->y() + m_tabBody->frameWidth());
    for (int tab = 1; tab <= 3; ++tab)
        m_frames[static_cast<std::size_t>(tab)]->move(PixelsFromTwips(clientLeft + 60), PixelsFromTwips(clientTop + 120));
}

void frmStatMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmStatMain::Form_Resize() {
    if (!m_loaded || m_unloaded)
        return;
    ProcGuard proc(gErr, "frmStatMain:Form_Resize");
    try {
        QMdiSubWindow* sub = SubWindow();
        if (sub && sub->isMinimized())
            return;
        if (sub && !sub->isMaximized() && TwipsFromPixels(sub->height()) < MinimumHeight) {
            sub->resize(sub->width(), PixelsFromTwips(MinimumHeight));
            return;
        }
        const int W = TwipsFromPixels(width());
        const int H = TwipsFromPixels(height());
        const Layout l = ComputeLayout(W, H, TwipsFromPixels(m_cmdAction[0]->width()), ListLeft());
        PlaceTabStrip(l.tab);
        m_lvwScenarios->setGeometry(PixelsFromTwips(l.list.left), PixelsFromTwips(l.list.top),
                                    PixelsFromTwips(l.list.width), PixelsFromTwips(l.list.height));
        for (int i = 0; i < 6; ++i)
            m_cmdAction[static_cast<std::size_t>(i)]->move(PixelsFromTwips(l.buttonLeft[static_cast<std::size_t>(i)]),
                                                           PixelsFromTwips(l.buttonTop));
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmStatMain::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    ProcGuard proc(gErr, "frmStatMain:Form_Unload");
    try {
        m_timer1->stop();
        if (m_winPos) {
            if (QMdiSubWindow* sub = SubWindow()) {
                if (BehindAMaximizedWindow(sub)) {
                    MaximizedGeometry geometry(sub);
                    m_winPos->SaveForm(geometry);
                } else {
                    QWidgetFormGeometry geometry(sub);
                    m_winPos->SaveForm(geometry);
                }
            }
        }
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::Timer1_Timer() {
    if (MDIMain* frame = TheMDIMain())
        frame->setWindowTitle(QString::fromLatin1(CaptionPrefix) + QString::number(LoadedForms().size()));
}

void frmStatMain::LoadScenarios() {
    ProcGuard proc(gErr, "frmStatMain:LoadScenarios");
    if (m_lvw)
        m_lvw->SetRedraw(false);
    m_lvwScenarios->clear();
    try {
        const std::string sql =
            std::string("SELECT  Scenario_ID, ") + "Scenario_Analysis_SubType, " +
            "Scenario_Description, Scenario_Input_Table_Name, " +
            "Scenario_Analysis_Type, Scenario_Output_Table1_Name, Scenario_Output_Table2_Name, " +
            "Scenario_CreatedBy, Scenario_DateCreated, Scenario_ModifiedBy, Scenario_LastModified " + "FROM " +
            kScenarioTableName + " " + "WHERE ((Scenario_Analysis_SubType Like '" + QuoteLiteral(m_ScenType) + "') " +
            "And (Scenario_Analysis_Type = '" + QuoteLiteral(m_ScenTypeMain) + "')) " + "ORDER BY " +
            "SortOrder, Scenario_ID;";
        if (!gdbCurrent)
            throw dao::DaoError(dao::err::ObjectClosed, "Object invalid or no longer set.");
        dao::RecordsetPtr rs = gdbCurrent->OpenRecordset(sql, dao::dbOpenSnapshot);
        if (rs->RecordCount() != 0) {
            const char* const columns[] = {"Scenario_Analysis_SubType", "Scenario_Description",
                                           "Scenario_Input_Table_Name", "Scenario_Output_Table1_Name",
                                           "Scenario_Output_Table2_Name", "Scenario_CreatedBy",
                                           "Scenario_DateCreated", "Scenario_ModifiedBy", "Scenario_LastModified"};
            while (!rs->EOF_()) {
                const QString id = CellText((*rs)["Scenario_ID"]);
                auto* item = new CListViewItem(m_lvwScenarios);
                item->setData(0, Qt::UserRole, QStringLiteral("S") + id);
                item->setText(0, id);
                for (int c = 0; c < 9; ++c) {
                    const QString text = CellText((*rs)[columns[c]]);
                    item->setText(c + 1, text);
                    // A text wider than its column can still be read, as
                    // it stands: one that looks like HTML is not taken for it.
                    if (!text.isEmpty())
                        item->setToolTip(c + 1, PlainToolTip(text));
                }
                rs->MoveNext();
            }
        }
        rs->Close();
        if (m_lvwScenarios->topLevelItemCount() > 0)
            m_lvwScenarios->setCurrentItem(m_lvwScenarios->topLevelItem(0));
    } catch (...) {
        proc.HandleError();
    }
    SizeColumns();
    if (m_lvw)
        m_lvw->SetRedraw(true);
}

void frmStatMain::SizeColumns() {
    // Each column as wide as its header and its texts need, never below its
    // design width nor above MaximumColumnWidth; the last one stretches.
    QHeaderView* header = m_lvwScenarios->header();
    for (int c = 0; c < 10; ++c) {
        const int needed = std::max(static_cast<const QAbstractItemView*>(m_lvwScenarios)->sizeHintForColumn(c),
                                    header->sectionSizeHint(c));
        m_lvwScenarios->setColumnWidth(
            c, std::clamp(needed, PixelsFromTwips(kColumnWidths[c]), std::max(MaximumColumnWidth,
                                                                              PixelsFromTwips(kColumnWidths[c]))));
    }
}

void frmStatMain::tabMain_Click() {
    ProcGuard proc(gErr, "frmStatMain:tabMain_Click");
    try {
        const int tab = m_tabMain->currentIndex() + 1;
        if (tab < 1 || tab > 3)
            return;
        for (int t = 1; t <= 3; ++t)
            m_frames[static_cast<std::size_t>(t)]->setVisible(t == tab);
        m_lvwScenarios->raise();
        m_ScenTypeMain = QString::fromLatin1(kGroupLetters[tab]);
        m_ScenType = QStringLiteral("*");
        LoadScenarios();
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::optAnalysisType_Click(int tab, int index) {
    std::string name;
    switch (tab) {
    case 1:
        name = "frmStatMain:optParAnalysisType:index: " + std::to_string(index);
        break;
    case 2:
        name = "frmStatMain:optGroupAnalysistype_Click:index " + std::to_string(index);
        break;
    default:
        name = "frmStatMain:optNonParAnalysisType:index: " + std::to_string(index);
        break;
    }
    ProcGuard proc(gErr, name);
    try {
        const QString filter = TypeFilter(tab, index);
        if (!filter.isEmpty())
            m_ScenType = filter;
        LoadScenarios();
    } catch (...) {
        proc.HandleError();
    }
}

int frmStatMain::SelectedPosition() const {
    QTreeWidgetItem* item = m_lvwScenarios->currentItem();
    if (!item || !item->isSelected())
        return 0;
    return m_lvwScenarios->indexOfTopLevelItem(item) + 1;
}

void frmStatMain::RestoreSelection(int remembered) {
    const int n = m_lvwScenarios->topLevelItemCount();
    if (n <= 0)
        return;
    int row = remembered;
    if (remembered == 0)
        row = 1;
    else if (n < remembered)
        row = n;
    m_lvwScenarios->setCurrentItem(m_lvwScenarios->topLevelItem(row - 1));
}

void frmStatMain::SendHelpKey() {
    if (MDIMain* frame = TheMDIMain())
        frame->ShowContextHelp();
}

void frmStatMain::cmdAction_Click(int index) {
    // A command on its way before a run began (Enter or Delete pressed twice
    // while the window thread was busy) comes too late: the run holds the
    // database until it ends, and a second run inside it would write its
    // output tables at the same time.
    if (CScenarioRun::Running())
        return;
    ProcGuard proc(gErr, "frmStatMain:cmdAction_Click:index " + std::to_string(index));
    QPointer<frmStatMain> self(this);
    try {
        const int position = SelectedPosition();
        bool reload = true;
        switch (index) {
        case 0:
            CreateNewScenario();
            break;
        case 1:
            EditCurrentScenario(3);
            break;
        case 2:
            DuplicateCurrentScenario();
            break;
        case 3:
            DeleteCurrentScenario();
            break;
        case 4:
            reload = RunCurrentScenario(0);
            break;
        case 5:
            SendHelpKey();
            break;
        default:
            break;
        }
        if (!self || m_unloaded)
            return;
        if (reload)
            LoadScenarios();
        RestoreSelection(position);
        if (m_showAfterCommand) {
            const auto [id, group] = *m_showAfterCommand;
            m_showAfterCommand.reset();
            ShowScenario(id, group);
        }
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::ShowScenario(long ScenarioID, const QString& group) {
    int tab = 0;
    for (int t = 1; t <= 3; ++t)
        if (group.compare(QString::fromLatin1(kGroupLetters[t]), Qt::CaseInsensitive) == 0)
            tab = t;
    if (tab == 0)
        return;
    // Another tab reloads the list with all the types of its group.
    if (m_tabMain->currentIndex() != tab - 1)
        m_tabMain->setCurrentIndex(tab - 1);
    const QString id = QString::number(ScenarioID);
    auto find = [&]() -> QTreeWidgetItem* {
        for (int i = 0; i < m_lvwScenarios->topLevelItemCount(); ++i)
            if (m_lvwScenarios->topLevelItem(i)->text(0) == id)
                return m_lvwScenarios->topLevelItem(i);
        return nullptr;
    };
    QTreeWidgetItem* item = find();
    if (!item && m_ScenType != QLatin1String("*")) {
        // The type chosen in the tab is another one: all types, then.
        m_options[static_cast<std::size_t>(tab)][1]->setChecked(true);
        m_ScenType = QStringLiteral("*");
        LoadScenarios();
        item = find();
    }
    if (item) {
        m_lvwScenarios->setCurrentItem(item);
        m_lvwScenarios->scrollToItem(item);
    }
}

void frmStatMain::ContextMenuHandler(int index) {
    // As a command: nothing while a run is under way.
    if (CScenarioRun::Running())
        return;
    ProcGuard proc(gErr, "frmStatMain:ContextMenuHandler");
    QPointer<frmStatMain> self(this);
    try {
        const int position = SelectedPosition();
        switch (index) {
        case 0:
            (void)RunCurrentScenario(0);
            break;
        case 60:
            DuplicateCurrentScenario();
            break;
        case 70:
            DeleteCurrentScenario();
            break;
        case 20:
            EditCurrentScenario(3);
            break;
        case 30:
            EditCurrentScenario(30);
            break;
        case 40:
            EditCurrentScenario(50);
            break;
        case 90:
            ViewDataTable();
            break;
        case 100:
            ViewOutputTable1();
            break;
        case 110:
            ViewOutputTable2();
            break;
        case 130:
            GenerateCode();
            break;
        case 150:
            SendHelpKey();
            break;
        default:
            break;
        }
        if (!self || m_unloaded)
            return;
        LoadScenarios();
        RestoreSelection(position);
    } catch (...) {
        proc.HandleError();
    }
}

bool frmStatMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_lvwScenarios->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            const QPoint global = mouse->globalPosition().toPoint();
            QTimer::singleShot(0, this, [this, global] { lvwScenarios_MouseUp(Qt::RightButton, global); });
        }
    }
    if (watched == m_lvwScenarios && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        PopupFromKeyboard();
        return true;
    }
    if (watched == m_lvwScenarios && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
            PopupFromKeyboard();
            return true;
        }
        if (mods == Qt::NoModifier && m_lvwScenarios->currentItem() && m_lvwScenarios->currentItem()->isSelected()) {
            // Enter does what the popup's default item does; Delete asks
            // before it deletes, as the Delete button.
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                QTimer::singleShot(0, this, [this] { cmdAction_Click(4); });
                return true;
            }
            if (key->key() == Qt::Key_Delete) {
                QTimer::singleShot(0, this, [this] { cmdAction_Click(3); });
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmStatMain::PopupFromKeyboard() {
    // Some platforms send the Menu key both as a key and as a context-menu
    // request: the popup opens once, after both have been seen.
    if (m_keyboardPopupPending)
        return;
    m_keyboardPopupPending = true;
    QTimer::singleShot(0, this, [this] {
        m_keyboardPopupPending = false;
        QTreeWidgetItem* item = m_lvwScenarios->currentItem();
        if (!item || !item->isSelected())
            return;
        // Below the selected row, near its start, as the keyboard's popups stand.
        m_lvwScenarios->scrollToItem(item);
        const QRect row = m_lvwScenarios->visualItemRect(item);
        const QPoint at = m_lvwScenarios->viewport()->mapToGlobal(QPoint(row.left() + 16, row.bottom()));
        lvwScenarios_MouseUp(Qt::RightButton, at);
    });
}

void frmStatMain::lvwScenarios_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
    // A popup asked for just before a run began would stand unanswerable
    // until the run ends.
    if (CScenarioRun::Running())
        return;
    ProcGuard proc(gErr, "frmStatMain:lvwScenarios_MouseUp");
    try {
        const std::optional<CScenarioInfo> info = GetScenarioInfo();
        MDIMain* frame = TheMDIMain();
        if (!info || button != Qt::RightButton || !frame)
            return;
        frame->mnuRightClickItems(110)->setEnabled(!info->OutputTable2().empty());
        frame->mnuRightClick()->setDefaultAction(frame->mnuRightClickItems(0));
        frame->mnuRightClick()->exec(globalPos);
    } catch (...) {
        proc.HandleError();
    }
}

std::optional<CScenarioInfo> frmStatMain::GetScenarioInfo() const {
    QTreeWidgetItem* item = m_lvwScenarios->currentItem();
    if (!item || !item->isSelected())
        return std::nullopt;
    CScenarioInfo info;
    info.SetScenarioID(item->text(0).toStdString());
    info.SetScenType(item->text(1).toStdString());
    info.SetDesc(item->text(2).toStdString());
    info.SetTable(item->text(3).toStdString());
    info.SetOutputTable1(item->text(4).toStdString());
    info.SetOutputTable2(item->text(5).toStdString());
    return info;
}

void frmStatMain::ViewDataTable() {
    if (const auto info = GetScenarioInfo())
        frmDataGrid::Open(QString::fromStdString(info->Table()), QStringLiteral("Input Data Table"));
}

void frmStatMain::ViewOutputTable1() {
    if (const auto info = GetScenarioInfo(); info && !info->OutputTable1().empty())
        frmDataGrid::Open(QString::fromStdString(info->OutputTable1()), QStringLiteral("Scenario Output Table"));
}

void frmStatMain::ViewOutputTable2() {
    if (const auto info = GetScenarioInfo(); info && !info->OutputTable2().empty())
        frmDataGrid::Open(QString::fromStdString(info->OutputTable2()), QStringLiteral("Scenario Output Table 2"));
}

bool frmStatMain::RunCurrentScenario(long ScenarioID) {
    if (ScenarioID != 0)
        return RunScenarioTest(ScenarioID);
    const std::optional<CScenarioInfo> info = GetScenarioInfo();
    if (!info) {
        ShowAppMessage(QStringLiteral("Please select a scenario from the list."));
        return false;
    }
    return RunScenarioTest(QString::fromStdString(info->ScenarioID()).toLong());
}

void frmStatMain::CloseGridsShowing(const QString& table1, const QString& table2) {
    MDIMain* frame = TheMDIMain();
    if (!frame)
        return;
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList()) {
        auto* grid = qobject_cast<frmDataGrid*>(sub->widget());
        if (!grid)
            continue;
        const QString& shown = grid->TableName();
        const bool showsTable1 = !table1.isEmpty() && shown.compare(table1, Qt::CaseInsensitive) == 0;
        const bool showsTable2 = !table2.isEmpty() && shown.compare(table2, Qt::CaseInsensitive) == 0;
        if (showsTable1 || showsTable2)
            sub->close();
    }
}

void frmStatMain::AskToStopRun(CScenarioRun& run, QWidget* window) {
    MDIMain* frame = TheMDIMain();
    const bool closingFrame = window && window == frame;
    // Other windows stay as they are until the run has ended.
    if (!closingFrame && (!window || window != m_status.data()))
        return;
    if (m_askingToStop)
        return;
    if (run.StopRequested()) {
        // Stopped already, still ending: the frame closes when it has.
        if (closingFrame)
            m_closeFrameAfterRun = true;
        return;
    }
    m_askingToStop = true;
    // A run that reaches its end while the question is open keeps its output
    // only after a No: Yes leaves the earlier results as the question says.
    run.HoldOutput(true);
    struct Release {
        CScenarioRun& run;
        ~Release() { run.HoldOutput(false); }
    } release{run};
    const int answer = frmMsgBox::Show(closingFrame ? static_cast<QWidget*>(frame) : m_status.data(),
                                       QString::fromStdString(platform::App::Title()),
                                       QString::fromLatin1(StopQuestion), vbYesNo | vbQuestion | vbDefaultButton2,
                                       true);
    m_askingToStop = false;
    if (answer != vbYes)
        return;
    run.RequestStop();
    if (closingFrame)
        m_closeFrameAfterRun = true;
}

bool frmStatMain::RunScenarioTest(long ScenarioID) {
    ProcGuard proc(gErr, "frmStatMain:RunScenarioTest");
    bool result = false;
    const QString number = QString::number(ScenarioID);
    const QString failedReason = QStringLiteral("The test of this scenario failed for the following reason:\n\n");
    try {
        SetOperation("Open Recordset ");
        QString out1, out2, input;
        {
            if (!gdbCurrent)
                throw dao::DaoError(dao::err::ObjectClosed, "Object invalid or no longer set.");
            dao::RecordsetPtr rs = gdbCurrent->OpenRecordset(std::string("SELECT  * from [") + kScenarioTableName +
                                                                 "] " + "WHERE Scenario_ID = " + std::to_string(ScenarioID),
                                                             dao::dbOpenSnapshot);
            if (rs->EOF_()) {
                rs->Close();
                ShowAppMessage(QStringLiteral("Scenario not found: ") + number);
                return false;
            }
            SetOperation("Get Table Names ");
            out1 = TextOf((*rs)["Scenario_Output_Table1_Name"]);
            out2 = TextOf((*rs)["Scenario_Output_Table2_Name"]);
            input = TextOf((*rs)["Scenario_Input_Table_Name"]);
            rs->Close();
        }

        // A source that is gone is said first: asking whether to overwrite
        // the output of a run that cannot start would mislead.
        if (TableOrQueryKind(gdbCurrent, input.toStdString()) == -99) {
            ShowAppMessage(failedReason + QStringLiteral("Data Table [") + input + QStringLiteral("] not found."),
                           vbOKOnly | vbExclamation);
            return false;
        }

        // The designer's checks of the output names, through its routine: a
        // table that a stored scenario reads is refused, a table of data is
        // named as data before the question about outputs.
        for (const QString& name : {out1, out2}) {
            const std::string refusal = replacedtables::InputRefusal(name.toStdString());
            if (!refusal.empty()) {
                ShowAppMessage(failedReason + QString::fromStdString(refusal), vbOKOnly | vbExclamation);
                return false;
            }
        }
        replacedtables::Asking asking;
        asking.lineBreak = QStringLiteral("\n");
        asking.secondOnItsOwnLine = true;
        asking.ask = [](const QString& question) {
            const int answer = ShowAppMessage(question, vbYesNo | vbExclamation | vbDefaultButton2);
            QApplication::processEvents();
            return answer;
        };
        if (!replacedtables::AgreeToReplace(replacedtables::ExistingTables(out1.toStdString(), out2.toStdString()),
                                            asking))
            return false;

        SetOperation("Close output forms if open ");
        CloseGridsShowing(out1, out2);

        SetOperation("Creating m_oStats ");
        // The engine runs on a worker thread with the current database; the
        // windows keep painting meanwhile and take no input until it ends.
        Varnello::RunScenarioArgs args;
        args.ShowProgress = true;
        args.ShowErrors = true;
        CScenarioRun run(gdbCurrent, ScenarioID, args, this);
        // The reason of a failure is shown once, below, under the program's name.
        run.SetShowEngineFailureMessage(false);
        m_closeFrameAfterRun = false;
        connect(&run, &CScenarioRun::closeRequested, this, [this, &run](QWidget* window) { AskToStopRun(run, window); });

        SetOperation("Show status form ");
        SetScreenMousePointer(platform::ui::vbHourglass);
        m_status = new frmStatus(TheMDIMain());
        run.SetProgressWindow(m_status);
        m_status->show();
        m_status->activateWindow();
        m_status->repaint();
        repaint();

        SetOperation("Running scenario");
        const CScenarioRun::Outcome outcome = run.Exec();
        frmDataGrid::AfterRun();
        const bool ran = outcome.ran;
        const bool raised = outcome.raised;
        const std::string& reason = outcome.raised ? outcome.reason : outcome.errorInfo;
        result = ran && !raised;
        // A run the user stopped needs no word: he asked for it and was told
        // what it means.
        const bool stopped = !result && run.StopRequested();
        if (!result && !stopped && !m_closeFrameAfterRun)
            ShowAppMessage(failedReason + QString::fromStdString(reason), vbOKOnly | vbExclamation);

        if (m_status)
            m_status->close();
        SetScreenMousePointer(platform::ui::vbDefault);

        if (m_closeFrameAfterRun) {
            // The frame's close was held back for the run; it goes on now.
            if (MDIMain* frame = TheMDIMain())
                QTimer::singleShot(0, frame, [frame] { frame->close(); });
            result = false;
        } else if (result) {
            // Only the tables the run left behind: an analysis without a
            // second table writes none, whatever the scenario names.
            if (!out2.isEmpty() && TableDefExists(gdbCurrent, out2.toStdString())) {
                SetOperation("Loading output grid2");
                frmDataGrid::Open(out2, QStringLiteral("Scenario Output Table 2"));
            }
            SetOperation("Loading output grid1");
            frmDataGrid::Open(out1, QStringLiteral("Scenario Output Table"));
        }
    } catch (...) {
        proc.HandleError();
        result = false;
    }
    if (m_status)
        m_status->close();
    SetScreenMousePointer(platform::ui::vbDefault);
    return result;
}

void frmStatMain::StatStatus(std::string& Msg) {
    try {
        const QString text = QString::fromStdString(Msg);
        if (m_status)
            m_status->PrintStatus(text);
        emit progressText(text);
    } catch (...) {
        const ErrInfo e = ErrFromCurrentException();
        MsgBox("Error:m_oStats_StatStatus event: " + std::to_string(e.Number) + ": " + e.Description);
    }
}
