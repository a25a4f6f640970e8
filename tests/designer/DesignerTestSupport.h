#pragma once
// What the designer tests share: a database with a source table and the
// scenario tables as the current database, the designer's modal windows
// answered by a script (no nested event loops), and its messages recorded
// and answered.
#include "designer/CMelvarsPropWiz.h"
#include "designer/frmQuorb_Fields.h"
#include "support/QtTestSupport.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <string>

class CWizPage;
class QListWidget;
class QTreeWidget;

namespace dtest {

// One message of the designer: its text and button set.
struct Message {
    QString text;
    int style = 0;
};

// Answers the designer's modal windows and messages while it lives.
class Script {
public:
    using Step = std::function<void(QDialog& dialog)>;
    // With answerMessages false the designer's messages are the real message
    // form, to be answered by the test (vtest::AnswerNextModal).
    explicit Script(bool answerMessages = true);
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    // The next modal window: `step` works it and presses one of its buttons.
    Script& Then(Step step) {
        steps.push_back(std::move(step));
        return *this;
    }
    // The answers to the next questions (style 4); without one the answer is No.
    Script& Answer(int response) {
        answers.push_back(response);
        return *this;
    }

    std::deque<Step> steps;
    std::deque<int> answers;
    std::vector<Message> messages;
    QStringList shown; // object names of the modal windows, in order
    QStringList MessageTexts() const;
};

// A wizard of the analysis `type` over the source `table`.
struct Wizard : CMelvarsPropWiz {
    explicit Wizard(const char* type, const char* table = "Data") {
        SetCalcType(type);
        SetTable(table);
    }
};

// A wizard of the analysis `type` over `table` and the field page filled from it.
struct FieldPageOn {
    explicit FieldPageOn(const char* type, const char* table = "Data") : wiz(type, table) { page.SetWiz(&wiz); }
    Wizard wiz;
    frmQuorb_Fields page;
};

// The test database: table "Data" with
//   Class Text(10), Region Text(10), Score Double, Score2 Double, Units Long,
//   Weight Double, Flag Boolean, Day Date, Notes Memo, Tiny Byte
// holding six rows, a select query "DataQuery" over it, and the scenario
// tables; it is the current database while the fixture lives.
class DesignerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::int32_t Store(const vtest::ScenarioSpec& spec) { return vtest::StoreScenario(*m_db, spec); }
    // The rows of a table as "col=value|col=value" lines, in key order.
    QStringList Rows(const std::string& sql) const;
    bool TableExists(const std::string& name) const;
    // Adds the table `name` with one Long column "A" and no rows.
    void AddTable(const char* name);
    // The scenarios stored in the file.
    qsizetype ScenarioCount() const { return Rows("SELECT Scenario_ID FROM usysQuorbScenarios").size(); }

    vtest::TempDir m_tmp;
    dao::DatabasePtr m_db;
};

// Gives the field frame's transfer control `control` the action `index`
// after selecting the available field `field` (for adds).
void Transfer(frmQuorb_Fields& page, const char* control, long index, const QString& field = {});

// The field page's list entries' field names.
QStringList Names(const QListWidget* list);

// A list view's rows as "first column/second column".
QStringList TreeRows(const QTreeWidget* tree);

// The messages expected: none for null, else the one text.
QStringList Said(const char* message);

// Gives the wizard the option values of a new scenario.
void SetNewScenarioDefaults(CMelvarsPropWiz& wiz);

// A page of the wizard by its number (1, 2, 3, 4 to 18, 50), given the
// wizard; null for a number no page has.
std::unique_ptr<CWizPage> NewPage(long number, CMelvarsPropWiz& wiz);

// Lets the event loop deliver what is pending (a few rounds).
void Pump();

} // namespace dtest
