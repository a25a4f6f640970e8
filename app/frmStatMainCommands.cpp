// The scenario list's commands that copy, delete and generate code for the
// selected scenario.
#include "app/frmDuplicate.h"
#include "app/AppGlobals.h"
#include "app/MDIMain.h"
#include "app/frmGenerateCode.h"
#include "app/frmStatMain.h"
#include "app/modApplication.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/ui/frmMsgBox.h"
#include "platform/App.h"
#include "platform/MessageBox.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/ui/CHourglass.h"

#include <string>

namespace {

long ScenarioNumber(const CScenarioInfo& info) {
    try {
        return std::stol(info.ScenarioID());
    } catch (...) {
        return 0;
    }
}

} // namespace

void frmStatMain::DuplicateCurrentScenario() {
    ProcGuard proc(gErr, "frmStatMain:DuplicateCurrentScenario");
    try {
        const std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info) {
            ShowAppMessage(QStringLiteral("Please select a scenario from the list to duplicate"));
            return;
        }
        frmDuplicate dialog(TheMDIMain());
        dialog.SetScenarioID(ScenarioNumber(*info));
        if (dialog.ScenarioOK())
            dialog.exec();
        else
            ShowAppMessage(QStringLiteral("Error retrieving current scenario information"));
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::DeleteCurrentScenario() {
    ProcGuard proc(gErr, "frmStatMain:DeleteCurrentScenario");
    try {
        const std::optional<CScenarioInfo> info = GetScenarioInfo();
        if (!info)
            return;
        long number = ScenarioNumber(*info);
        QString message = QStringLiteral("Are you sure you want to permanently delete Scenario #") +
                          QString::number(number);
        if (!info->Desc().empty())
            message += QStringLiteral("\n (") + QString::fromStdString(info->Desc()) + QStringLiteral(")");
        message += QLatin1Char('?');
        // No is the default: Delete and Enter must not destroy a scenario.
        const int response = frmMsgBox::Show(MessageOwner(), QString::fromStdString(platform::App::Title()), message,
                                             vbYesNo | vbQuestion | vbDefaultButton2, false);
        if (response == frmMsgBox::vbYes) {
            CHourglass hourglass;
            hourglass.SetValue(true);
            DeleteScenario(number);
        }
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::DeleteScenario(long& ScenarioID) {
    ProcGuard proc(gErr, "frmStatMain:DeleteScenario");
    try {
        const std::string number = std::to_string(ScenarioID);
        dao::WorkspacePtr ws = gwsCurrent ? gwsCurrent : dao::DBEngine().Workspaces(0);
        // All three tables or none: a failed statement undoes the others.
        dao::TransactionGuard transaction(*ws);
        for (const char* table : {kScenarioTableName, kFieldsTableName, kOptionsTableName})
            gdbCurrent->Execute(std::string("DELETE * FROM [") + table + "] WHERE [Scenario_ID] = " + number + ";",
                                dao::dbFailOnError);
        transaction.Commit();
    } catch (...) {
        proc.HandleError();
    }
}

void frmStatMain::GenerateCode() {
    const std::optional<CScenarioInfo> info = GetScenarioInfo();
    if (!info)
        return;
    ShowGenerateCode(*info);
}
