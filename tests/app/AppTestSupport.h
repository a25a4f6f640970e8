#pragma once
// What the application tests share: a script that answers the modal windows
// as they come up (message form, open-database dialog, platform message box,
// error dialog, file dialog), a fixture that gives every test its own
// registry file, application folder, data folder and instance key, and the
// test databases.
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

class MDIMain;
class frmDataGrid;
class frmOpenDatabase;
struct MainOptions;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace apptest {

// One modal window the script met.
struct SeenModal {
    QString kind;  // "message", "open", "qtmessage", "error", "file", or the class name
    QString title;
    QString text;  // message text, where there is one
};

class ModalScript {
public:
    using Match = std::function<bool(QWidget*)>;
    using Act = std::function<void(QWidget*)>;

    ModalScript();
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    // The message form: press the button of that response code (1 OK, 6 Yes, 7 No).
    ModalScript& Message(int response = 1);
    // The open-database dialog: `fill` sets it up, then OK is pressed.
    ModalScript& OpenDatabase(std::function<void(frmOpenDatabase&)> fill);
    // The open-database dialog with the database path typed in, then OK.
    ModalScript& OpenDatabase(const std::string& path);
    // The open-database dialog cancelled.
    ModalScript& CancelOpenDatabase();
    // The platform message box (the engine's messages): its first button.
    ModalScript& QtMessage();
    // The error dialog: exit (True) or continue.
    ModalScript& ErrorDialog(bool exit);
    // The file dialog: choose the path (empty: cancel).
    ModalScript& FileDialog(const QString& path);
    ModalScript& Then(QString kind, Match match, Act act);

    bool Done() const { return m_steps.empty(); }
    const std::vector<SeenModal>& Seen() const { return m_seen; }
    // The texts of the message forms and message boxes met, in order.
    QStringList Messages() const;
    // Modal windows no step expected (they were closed after a while).
    const QStringList& Unexpected() const { return m_unexpected; }
    // Messages() and Unexpected() one a line, for a failure's output.
    std::string MessagesText() const { return Messages().join(QLatin1Char('\n')).toStdString(); }
    std::string UnexpectedText() const { return m_unexpected.join(QLatin1Char('\n')).toStdString(); }

private:
    struct Step {
        QString kind;
        Match match;
        Act act;
    };
    void Poll();

    std::deque<Step> m_steps;
    std::vector<SeenModal> m_seen;
    QStringList m_unexpected;
    QTimer* m_timer;
    QElapsedTimer m_waiting;
};

// Runs the event loop for a while (and the deferred deletions).
void Pump(int milliseconds = 0);

// The names of the window's visible push buttons in the order Tab visits
// them from the window's start, and as they stand from left to right.
QStringList ButtonsInTabOrder(QWidget& window);
QStringList ButtonsLeftToRight(QWidget& window);

// The data grids shown in the frame's document area, and the one showing
// a table (nullptr when none does).
QList<frmDataGrid*> ShownGrids(MDIMain* frame);
frmDataGrid* ShownGridOf(MDIMain* frame, const QString& table);

// After `milliseconds`, hands the popup menu then shown (nullptr: none) to
// `seen` and closes it.
void OnPopup(int milliseconds, std::function<void(QWidget*)> seen);

// A fixture with its own registry file, application folder, data folder and
// single-instance key; it closes the application at the end.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Main() with the sample database off unless asked for.
    MDIMain* Start(bool createSample = false);

    // A value of the registry below SOFTWARE\ZUR\Varnello Demo\5.0\<section>;
    // "~missing" when absent.
    std::string RegistryValue(const std::string& section, const std::string& name) const;
    std::string RegistryFileText() const;

    std::string File(const std::string& name) const { return m_tmp.file(name); }
    // "scores.db" with the scenario tables and one Describe scenario (into
    // outDescribe), which the script opens when the application starts.
    std::string OpenScores(ModalScript& script) const;
    const std::string& AppDir() const { return m_appDir; }
    const std::string& DataDir() const { return m_dataDir; }

    vtest::TempDir m_tmp;
    std::string m_appDir;
    std::string m_dataDir;
};

// The test data: table "Scores" (Class Text 10, Score Double) holding
//   A: 2, 4, 4, 5, 7 and one Null      B: 10, 20, 30
// and, with scenario tables, the given scenarios.
void CreateScoresDatabase(const std::string& path, bool withScenarioTables,
                          const std::vector<vtest::ScenarioSpec>& scenarios = {});

// A Describe scenario over Scores: group Class, X Score, with range, sums and
// the sample variance, into the output tables named.
vtest::ScenarioSpec DescribeScores(const std::string& out1, const std::string& out2 = {});

// Creates an empty table with one Double column in the database file.
void CreateTableIn(const std::string& path, const std::string& table);

// Runs a statement on the database file through a connection of its own.
void ExecuteIn(const std::string& path, const std::string& sql);

// Gives the database file a password (it had none).
void SetDatabasePassword(const std::string& path, const std::string& password);

// The first column of each row a statement returns, as text, read through a
// connection of its own to the file.
std::vector<std::string> FirstColumn(const std::string& path, const std::string& sql);

} // namespace apptest
