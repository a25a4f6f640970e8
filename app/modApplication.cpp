#include "app/modApplication.h"

#include "app/AppGlobals.h"
#include "app/CSingleInstance.h"
#include "app/MDIMain.h"
#include "app/frmStatMain.h"
#include "app/modHelp.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/ui/frmErrorHandler.h"
#include "errors/ui/frmMsgBox.h"
#include "platform/App.h"
#include "platform/ui/QtPlatform.h"
#include "platform/ui/ScreenPointer.h"
#include "engine/Varnello.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/modStatCommon.h"

#include <QApplication>
#include <QIcon>
#include <QMdiArea>
#include <QPainter>
#include <QPixmap>
#include <QMdiSubWindow>
#include <QPointer>

#include <clocale>
#include <csignal>

namespace {

QPointer<MDIMain>& FrameRef() {
    static QPointer<MDIMain> frame;
    return frame;
}

// The icon of every window: three bars of a chart, drawn at the sizes a title
// bar and a task bar ask for (without one, windows showed the toolkit's own).
QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        const int bar = size / 4;
        const int heights[] = {size / 2, size - size / 8, size * 3 / 4};
        const QColor colours[] = {QColor(0x2e, 0x6d, 0xb4), QColor(0xd9, 0x6c, 0x1e), QColor(0x3a, 0x9a, 0x48)};
        for (int i = 0; i < 3; ++i)
            p.fillRect(bar / 2 + i * (bar + bar / 3), size - heights[i], bar, heights[i], colours[i]);
        p.setPen(QColor(0x40, 0x40, 0x40));
        p.drawLine(0, size - 1, size - 1, size - 1);
        icon.addPixmap(picture);
    }
    return icon;
}

bool IsFormName(const QWidget* w) {
    const QString name = w->objectName();
    return name.startsWith(QLatin1String("frm")) || name == QLatin1String("MDIMain");
}

// The lower layers' questions and dialogs, shown with the application's own
// windows.
void InstallWindowHooks() {
    platform::ui::InstallQtPlatform();
    SetInitializeDatabaseAsker([](const InitializeDatabaseQuestion& q) {
        frmMsgBox box(TheMDIMain());
        box.setWindowTitle(QString::fromStdString(q.Caption));
        box.SetMessage(QString::fromStdString(q.Message).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        box.SetStyle(q.Style);
        box.SetDisplayHelpButton(q.DisplayHelpButton);
        box.SetHelpID(static_cast<int>(q.HelpID));
        box.SetDoBeep(true);
        box.ShowMessage();
        return box.Response();
    });
    SetScenarioTablesPointerHook([](int pointer) { platform::ui::SetScreenMousePointer(pointer); });
    SetEngineErrorDialog([](const EngineErrorDialogInfo& info) {
        frmErrorHandler dialog(TheMDIMain());
        dialog.SetAppName(QString::fromStdString(info.AppName));
        dialog.SetReadmefile(ReadmeLocation());
        dialog.SetErrHelpContextID(static_cast<std::int32_t>(info.ErrHelpContextID));
        dialog.SetErrHelpFileName(QString::fromStdString(platform::App::HelpFile()));
        dialog.SetErrorFile(QString::fromStdString(info.ErrorFile));
        dialog.SetErrorString(QString::fromStdString(info.ErrorString));
        dialog.SetErrorMsgString(QString::fromStdString(info.ErrorMsgString));
        dialog.exec();
        return dialog.UserChoice();
    });
}

} // namespace

MDIMain* TheMDIMain() {
    return FrameRef().data();
}

std::string AppFolderFile(const std::string& name) {
    return GetAppPath() + name;
}

MDIMain* Main(const MainOptions& options) {
    // A file that may not grow any more (a file-size limit on the user's
    // processes) fails the write that would pass the limit, and the program
    // reports it: by default the system ends the whole program there.
    std::signal(SIGXFSZ, SIG_IGN);
    // Numbers are read and written in one form, "1.96", whatever the user's
    // language: the application object takes the user's locale for the C
    // library's numbers too, and where that writes a decimal comma "1.96"
    // was read as 1 (the probability calculator's t of 2.228139 became 2)
    // and 1.96 written as "1.,96".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setWindowIcon(ApplicationIcon());
    platform::App::SetTitle("Varnello");
    gstrDesignerTitle = "Varnello Scenario Designer Demo";

    // Only one instance: a second one hands over to the first and ends here,
    // before anything (error handler, settings) has been created.
    auto instance = std::make_unique<CSingleInstance>(CSingleInstance::DefaultKey());
    if (!instance->Acquire())
        return nullptr;

    MDIMain* frame = nullptr;
    gErr = std::make_shared<CErr_ZUR>();
    gErr->SetDisplayError(false);
    gErr->SetAppTitle(platform::App::Title());
    gErr->SetDestinationPath(AppFolderFile("error.log"));
    ProcGuard proc(gErr, "Sub Main");
    try {
        gstrRegProgramKey = GetRegistryProgramKey();
        gstrRegProductKey = GetRegistryProductKey();

        gSettings = std::make_shared<CProgramSettings>();
        gSettings->SetRegBase("ZUR");
        gSettings->SetMainBranch("SOFTWARE");
        gSettings->SetProgram(gstrRegProgramKey);
        gSettings->SetSection("Settings");

        gSettingsVersion = std::make_shared<CProgramSettings>();
        gSettingsVersion->SetRegBase("ZUR");
        gSettingsVersion->SetMainBranch("SOFTWARE");
        gSettingsVersion->SetProgram(gstrRegProductKey);
        gSettingsVersion->SetSection("5.0");

        platform::App::SetHelpFile(HelpLocation().toStdString());
        InstallWindowHooks();

        frame = new MDIMain(options.createSampleDatabase);
        FrameRef() = frame;
        instance->SetActivationTarget(frame);
        instance.release()->setParent(frame);
        frame->Form_Load();
    } catch (...) {
        proc.HandleError();
    }
    return frame;
}

QList<QWidget*> LoadedForms() {
    QList<QWidget*> forms;
    MDIMain* frame = TheMDIMain();
    if (frame && !frame->isHidden())
        forms.append(frame);
    if (frame) {
        for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList())
            if (sub->isVisible() && sub->widget())
                forms.append(sub->widget());
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == frame || !IsFormName(top))
            continue;
        // A form closed for good is on its way out.
        if (top->isHidden() && top->testAttribute(Qt::WA_DeleteOnClose))
            continue;
        forms.append(top);
    }
    return forms;
}

void CloseForm(QWidget* form) {
    if (!form)
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
        sub->close();
    else
        form->close();
}

void ExitApplication(QWidget* form) {
    ProcGuard proc(gErr, "ExitApplication");
    try {
        for (QWidget* other : LoadedForms())
            if (other != form)
                CloseForm(other);
        CloseForm(form);
    } catch (...) {
        proc.HandleError();
    }
}

void CloseDatabaseForms() {
    MDIMain* frame = TheMDIMain();
    if (!frame)
        return;
    if (frmStatMain* list = frame->StatMain())
        CloseForm(list);
    const QList<QMdiSubWindow*> windows = frame->MdiArea()->subWindowList();
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        QWidget* w = windows[i]->widget();
        if (w && w->objectName() == QLatin1String("frmDataGrid"))
            windows[i]->close();
    }
}

void CloseCurrentDatabase() {
    CloseDatabaseForms();
    try {
        if (gdbCurrent)
            gdbCurrent->Close();
    } catch (...) {
    }
    gdbCurrent.reset();
    try {
        if (gwsCurrent)
            gwsCurrent->Close();
    } catch (...) {
    }
    gwsCurrent.reset();
    if (MDIMain* frame = TheMDIMain())
        frame->SetStatusText(QString());
}

QWidget* MessageOwner() {
    // The window the user works in: a modal dialog, the calculator, the
    // frame; the progress window of a run is about to go.
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    if (!owner || !owner->isVisible() || owner->objectName() == QLatin1String("frmStatus"))
        owner = TheMDIMain();
    return owner;
}

int ShowAppMessage(const QString& message, int style) {
    return frmMsgBox::Show(MessageOwner(), QString::fromStdString(platform::App::Title()), message, style, true);
}
