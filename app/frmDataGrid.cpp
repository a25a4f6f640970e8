#include "app/frmDataGrid.h"

#include "app/CRecordsetTableModel.h"
#include "app/MDIMain.h"
#include "app/MdiWindows.h"
#include "app/modApplication.h"
#include "db/Dao.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "scenario/AppDatabase.h"

#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

frmDataGrid::frmDataGrid(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmDataGrid"));
    m_grdDataGrid = new QTableView(this);
    m_grdDataGrid->setObjectName(QStringLiteral("grdDataGrid"));
    m_grdDataGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdDataGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grdDataGrid->setAlternatingRowColors(true);
    m_grdDataGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
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
    dao::RecordsetPtr rs;
    try {
        if (!gdbCurrent)
            throw dao::DaoError(dao::err::ObjectClosed, "Object invalid or no longer set.");
        const std::string name = tableName.toStdString();
        if (!gdbCurrent->TableDefs().Find(name) && !gdbCurrent->QueryDefs().Find(name))
            throw dao::DaoError(dao::err::InputTableNotFound, "The database engine cannot find the input table or query '" +
                                                                  name + "'.");
        // A snapshot of the table or query, read through the SQL dialect.
        rs = gdbCurrent->OpenRecordset("SELECT * FROM [" + name + "]", dao::dbOpenSnapshot);
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
            m_model = new CRecordsetTableModel(std::move(rs), this);
            m_grdDataGrid->setModel(m_model);
            // Columns as wide as the first rows need, within reason.
            m_grdDataGrid->resizeColumnsToContents();
            for (int c = 0; c < m_model->columnCount(); ++c)
                m_grdDataGrid->setColumnWidth(c, std::min(m_grdDataGrid->columnWidth(c), 280));
            const QString title = caption + QStringLiteral(": ") + tableName;
            setWindowTitle(title);
            if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
                sub->setWindowTitle(title);
                sub->show();
                // The area places new windows in steps, past its edge in the end.
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

void frmDataGrid::CloseWindow() {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}
