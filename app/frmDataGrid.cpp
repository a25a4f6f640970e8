#include "app/frmDataGrid.h"

#include "app/CRecordsetTableModel.h"
#include "app/MDIMain.h"
#include "app/MdiWindows.h"
#include "app/modApplication.h"
#include "db/Dao.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "scenario/AppDatabase.h"
#include "util/modZURSTAT.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <set>

frmDataGrid::frmDataGrid(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmDataGrid"));
    m_grdDataGrid = new QTableView(this);
    m_grdDataGrid->setObjectName(QStringLiteral("grdDataGrid"));
    m_grdDataGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdDataGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grdDataGrid->setAlternatingRowColors(true);
    m_grdDataGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // The number of records stands beside the horizontal scroll bar, which
    // is always shown for it.
    m_lblRecords = new QLabel(this);
    m_lblRecords->setObjectName(QStringLiteral("lblRecords"));
    m_lblRecords->setContentsMargins(4, 0, 8, 0);
    m_grdDataGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_grdDataGrid->addScrollBarWidget(m_lblRecords, Qt::AlignLeft);
    m_grdDataGrid->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grdDataGrid);
}

frmDataGrid* frmDataGrid::Open(const QString& tableName, const QString& caption) {
    MDIMain* frame = TheMDIMain();
    if (!frame)
        return nullptr;
    auto* grid = new frmDataGrid;
    QMdiSubWindow* sub = frame->MdiArea()->addSubWindow(grid);
    sub->setObjectName(QStringLiteral("frmDataGrid"));
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(480, 300);
    return grid->ShowTableData(tableName, caption) ? grid : nullptr;
}

bool frmDataGrid::ShowTableData(const QString& tableName, const QString& caption) {
    ProcGuard proc(gErr, "frmDataGrid:ShowTableData");
    bool outcome = true;
    std::unique_ptr<CRecordsetTableModel> model;
    try {
        if (!gdbCurrent)
            throw dao::DaoError(dao::err::ObjectClosed, "Object invalid or no longer set.");
        // A legacy program's Latin-1 name ("Donn\xE9es") is given by the word it spells.
        const std::string name = StoredTableName(gdbCurrent, tableName.toStdString());
        if (!gdbCurrent->TableDefs().Find(name) && !gdbCurrent->QueryDefs().Find(name))
            throw dao::DaoError(dao::err::InputTableNotFound, "The database engine cannot find the input table or query '" +
                                                                  name + "'.");
        // Its rows are counted and the first page read; no read stays open.
        model = std::make_unique<CRecordsetTableModel>(gdbCurrent, name);
    } catch (...) {
        const ErrInfo e = ErrFromCurrentException();
        outcome = false;
        if (e.Number == dao::err::InputTableNotFound) {
            ShowAppMessage(QStringLiteral("The table [") + tableName +
                           QStringLiteral("] does not exist in the database. \n\nIf this is an output table created "
                                          "by running a scenario, you must run the scenario first to create the table"));
        } else {
            ShowAppMessage(QStringLiteral("An unexpected error was encountered when attempting to open the table [") +
                           tableName + QStringLiteral("]: \n\n") + QString::number(e.Number) + QStringLiteral(": ") +
                           QString::fromStdString(e.Description));
        }
    }
    try {
        if (outcome) {
            m_tableName = tableName;
            m_model = model.release();
            m_model->setParent(this);
            m_grdDataGrid->setModel(m_model);
            SizeColumns();
            ShowRecordCount();
            connect(m_grdDataGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
                    [this] { ShowRecordCount(); });
            const QString title = caption + QStringLiteral(": ") + tableName;
            setWindowTitle(title);
            if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
                sub->setWindowTitle(title);
                sub->show();
                // The area's own placement puts a new window in a free corner
                // at whatever size it had: open it large enough for its rows
                // and columns, inside the area.
                mdiwindows::PlaceNew(sub->mdiArea(), sub, WantedSize(sub));
                mdiwindows::PlaceInside(sub->mdiArea(), sub);
            } else {
                show();
            }
        } else {
            CloseWindow();
        }
    } catch (...) {
        proc.HandleError();
    }
    return outcome;
}

QSize frmDataGrid::WantedSize(const QWidget* window) const {
    // Every column and row, with the headers, scroll bars and the window's
    // frame and title bar around them.
    const QTableView* grid = m_grdDataGrid;
    int width = grid->verticalHeader()->sizeHint().width() + 2 * grid->frameWidth() +
                grid->verticalScrollBar()->sizeHint().width();
    for (int c = 0; m_model && c < m_model->columnCount(); ++c)
        width += grid->columnWidth(c);
    int height = grid->horizontalHeader()->sizeHint().height() + 2 * grid->frameWidth() +
                 grid->horizontalScrollBar()->sizeHint().height();
    height += grid->verticalHeader()->defaultSectionSize() * (m_model ? m_model->rowCount() : 0);
    const int border = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return QSize(width + 2 * border, height + title + border);
}

void frmDataGrid::CloseWindow() {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void frmDataGrid::SizeColumns() {
    // Header and content decide, the first and the last page of rows
    // sampled (ids grow down a table), within a sensible maximum.
    const QFontMetrics cells(m_grdDataGrid->font());
    const QFontMetrics headers(m_grdDataGrid->horizontalHeader()->font());
    const int rows = m_model->rowCount();
    QList<int> sample;
    for (int r = 0; r < std::min(rows, CRecordsetTableModel::BlockRows); ++r)
        sample << r;
    for (int r = std::max(CRecordsetTableModel::BlockRows, rows - CRecordsetTableModel::BlockRows); r < rows; ++r)
        sample << r;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        int width = headers.horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString()) + 20;
        for (int r : sample)
            width = std::max(width, cells.horizontalAdvance(m_model->data(m_model->index(r, c)).toString()) + 12);
        m_grdDataGrid->setColumnWidth(c, std::clamp(width, MinimumColumnWidth, MaximumColumnWidth));
    }
}

void frmDataGrid::ShowRecordCount() {
    if (!m_model)
        return;
    const QModelIndex current = m_grdDataGrid->currentIndex();
    m_lblRecords->setText(current.isValid() ? QStringLiteral("Record: %1 of %2").arg(current.row() + 1).arg(m_model->rowCount())
                                            : QStringLiteral("Records: %1").arg(m_model->rowCount()));
}

QString frmDataGrid::SelectionText() const {
    if (!m_model)
        return {};
    const QModelIndexList cells = m_grdDataGrid->selectionModel()->selectedIndexes();
    if (cells.isEmpty())
        return {};
    // The selected rows by the selected columns, a header row first; cells
    // not selected inside that block stay empty, numbers keep every digit.
    std::set<int> rows, columns;
    for (const QModelIndex& i : cells) {
        rows.insert(i.row());
        columns.insert(i.column());
    }
    const QItemSelectionModel* selection = m_grdDataGrid->selectionModel();
    // Rows that cannot be read (another program dropped the table or holds
    // it locked) would go out as empty cells among the real ones.
    if (!m_model->FetchRows(*rows.begin(), *rows.rbegin()))
        return {};
    auto clean = [](QString t) {
        t.replace(QLatin1Char('\t'), QLatin1Char(' '));
        t.replace(QLatin1Char('\n'), QLatin1Char(' '));
        t.replace(QLatin1Char('\r'), QLatin1Char(' '));
        return t;
    };
    QStringList lines;
    QStringList header;
    for (int c : columns)
        header << clean(m_model->headerData(c, Qt::Horizontal).toString());
    lines << header.join(QLatin1Char('\t'));
    for (int r : rows) {
        QStringList line;
        for (int c : columns) {
            const QModelIndex i = m_model->index(r, c);
            line << (selection->isSelected(i) ? clean(m_model->data(i, CRecordsetTableModel::FullTextRole).toString())
                                              : QString());
        }
        lines << line.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void frmDataGrid::CopySelection() {
    const QString text = SelectionText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
    else if (m_model && m_grdDataGrid->selectionModel()->hasSelection())
        ShowAppMessage(QStringLiteral("The rows could not be read from the table [") + m_tableName +
                       QStringLiteral("]: nothing was copied."));
}

bool frmDataGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grdDataGrid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopySelection();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmDataGrid::AfterRun() {
    MDIMain* frame = TheMDIMain();
    if (!frame)
        return;
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList())
        if (auto* grid = qobject_cast<frmDataGrid*>(sub->widget()); grid && grid->m_model)
            grid->m_model->Refresh();
}
