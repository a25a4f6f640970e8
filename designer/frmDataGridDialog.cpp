#include "designer/frmDataGridDialog.h"

#include "db/Dao.h"
#include "designer/WizServices.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "scenario/AppDatabase.h"
#include "util/modZURSTAT.h"
#include "util/ui/CRecordsetTableModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

frmDataGridDialog::frmDataGridDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDataGridDialog"));
    m_grdDataGrid = new QTableView(this);
    m_grdDataGrid->setObjectName(QStringLiteral("grdDataGrid"));
    m_grdDataGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdDataGrid->setAlternatingRowColors(true);
    m_grdDataGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grdDataGrid);
    Form_Load();
}

QRect frmDataGridDialog::PlaceOver(const QRect& frame) {
    const int width = static_cast<int>(std::lround(0.8 * frame.width()));
    const int height = static_cast<int>(std::lround(0.8 * frame.height()));
    const int left = static_cast<int>(std::lround(0.1 * frame.width())) + frame.left();
    const int top = static_cast<int>(std::lround(0.1 * frame.height())) + frame.top();
    return {left, top, width, height};
}

void frmDataGridDialog::Form_Load() {
    ProcGuard proc(gErr, "frmDataGridDialog.Form_Load");
    QWidget* frame = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("MDIMain")) frame = w;
    if (frame) setGeometry(PlaceOver(frame->frameGeometry()));
    else resize(640, 400);
}

bool frmDataGridDialog::ShowTableData(const QString& tableName, const QString& caption) {
    ProcGuard proc(gErr, "frmDataGridDialog:ShowTableData");
    std::unique_ptr<CRecordsetTableModel> model;
    try {
        if (!gdbCurrent) throw dao::DaoError(dao::err::ObjectClosed, "Object invalid or no longer set.");
        const std::string name = StoredTableName(gdbCurrent, tableName.toStdString());
        if (!gdbCurrent->TableDefs().Find(name) && !gdbCurrent->QueryDefs().Find(name))
            throw dao::DaoError(dao::err::InputTableNotFound,
                                "The database engine cannot find the input table or query '" + name + "'.");
        // Its rows are counted and the first page read; no read stays open.
        model = std::make_unique<CRecordsetTableModel>(gdbCurrent, name);
    } catch (...) {
        const ErrInfo e = ErrFromCurrentException();
        if (e.Number == dao::err::InputTableNotFound) {
            wizsvc::WizMessage(this, QStringLiteral("The table [") + tableName +
                                         QStringLiteral("] does not exist in the database. \n\nIf this is an output "
                                                        "table created by running a scenario, you must run the "
                                                        "scenario first to create the table"));
        } else {
            wizsvc::WizMessage(this, QStringLiteral("An unexpected error was encountered when attempting to open "
                                                    "the table [") +
                                         tableName + QStringLiteral("]: \n\n") + QString::number(e.Number) +
                                         QStringLiteral(": ") + QString::fromStdString(e.Description));
        }
        return false;
    }
    m_model = model.release();
    m_model->setParent(this);
    m_grdDataGrid->setModel(m_model);
    SizeColumns();
    setWindowTitle(caption + QStringLiteral(": ") + tableName);
    wizsvc::ShowModal(*this);
    return true;
}

void frmDataGridDialog::SizeColumns() {
    // Header and the first page of rows decide (a later page would have to be
    // read for it), within a sensible maximum.
    const QFontMetrics cells(m_grdDataGrid->font());
    const QFontMetrics headers(m_grdDataGrid->horizontalHeader()->font());
    const int rows = std::min(m_model->rowCount(), CRecordsetTableModel::BlockRows);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        int width = headers.horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString()) + 20;
        for (int r = 0; r < rows; ++r)
            width = std::max(width, cells.horizontalAdvance(m_model->data(m_model->index(r, c)).toString()) + 12);
        m_grdDataGrid->setColumnWidth(c, std::clamp(width, MinimumColumnWidth, MaximumColumnWidth));
    }
}
