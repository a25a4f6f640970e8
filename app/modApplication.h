#pragma once
// Start-up and shut-down of the application and the routines around the
// current database's windows.
//
//     QApplication app(argc, argv);
//     QPointer<MDIMain> frame = Main();   // null: another instance runs
//     if (!frame) return 0;
//     return app.exec();
#include <QList>
#include <QString>

#include <string>

class MDIMain;
class QWidget;

struct MainOptions {
    // Create the sample database in the user's data folder when it is not
    // there yet, and put it at the top of the recent databases.
    bool createSampleDatabase = true;
};

// Sets the title, makes sure that only one instance runs (a second one asks
// the first to come to the front and returns null without creating anything),
// creates the error handler and the settings, installs the window hooks of the
// lower layers and shows the frame, whose load runs the open-database dialog.
MDIMain* Main(const MainOptions& options = {});

// Closes every loaded form other than the given one, then the given one.
void ExitApplication(QWidget* form);

// Closes one form: a window of the document area together with its frame.
void CloseForm(QWidget* form);

// Closes the scenario list and every result grid.
void CloseDatabaseForms();

// Closes every window that shows the current database, then the database and
// its workspace, and clears the frame's status bar.
void CloseCurrentDatabase();

// The frame, while it exists.
MDIMain* TheMDIMain();

// The loaded forms: the frame, the windows of its document area and every
// other window of the application (named "frm..."), shown or hidden.
QList<QWidget*> LoadedForms();

// A message on the message form, captioned with the application title, with
// a beep and without a Help button, centred on MessageOwner(); returns the
// button pressed (6 Yes). `style` is the button set, with the icon and
// default-button flags of the platform message box where wanted.
int ShowAppMessage(const QString& message, int style = 0);

// The window a message belongs to: the active modal dialog, else the active
// window, else the frame.
QWidget* MessageOwner();

// A file beside the program: the application folder followed by the name.
std::string AppFolderFile(const std::string& name);
