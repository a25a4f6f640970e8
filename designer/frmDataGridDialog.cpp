#include "designer/frmDataGridDialog.h"

#include "db/Dao.h"
#include "db/JetSqlTranslator.h"
#include "designer/WizServices.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "scenario/AppDatabase.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

frmDataGridDialog::frmDataGridDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDataGridDialog"));
    m_grdDataGrid = new QTableWidget(this);
    m_grdDataGrid->setObjectName(QStringLiteral("grdDataGrid"));
    m_grdDataGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdDataGrid->setAlternatingRowColors(true);
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
    dao::RecordsetPtr rs;
    try {
        if (!gdbCurrent) throw dao::DaoError(dao::err::ObjectClosed, "Object invalid or no longer set.");
        const std::string name = tableName.toStdString();
        if (!gdbCurrent->TableDefs().Find(name) && !gdbCurrent->QueryDefs().Find(name))
            throw dao::DaoError(dao::err::InputTableNotFound,
                                "The database engine cannot find the input table or query '" + name + "'.");
        rs = gdbCurrent->OpenRecordset(dao::JetSqlTranslator::BracketName(name).insert(0, "SELECT * FROM "),
                                       dao::dbOpenSnapshot);
        m_grdDataGrid->setColumnCount(rs->FieldCount());
        QStringList headers;
        for (int c = 0; c < rs->FieldCount(); ++c) headers << QString::fromStdString(rs->Fields(c)->Name());
        m_grdDataGrid->setHorizontalHeaderLabels(headers);
        int row = 0;
        for (; !rs->EOF_(); rs->MoveNext(), ++row) {
            m_grdDataGrid->insertRow(row);
            for (int c = 0; c < rs->FieldCount(); ++c) {
                const dao::Variant v = rs->GetValue(c);
                const QString text = v.IsNull() || v.IsEmpty() ? QString() : QString::fromStdString(v.ToString());
                m_grdDataGrid->setItem(row, c, new QTableWidgetItem(text));
            }
        }
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
    m_grdDataGrid->resizeColumnsToContents();
    for (int c = 0; c < m_grdDataGrid->columnCount(); ++c)
        m_grdDataGrid->setColumnWidth(c, std::min(m_grdDataGrid->columnWidth(c), 280));
    setWindowTitle(caption + QStringLiteral(": ") + tableName);
    wizsvc::ShowModal(*this);
    return true;
}
