#pragma once
// What the designer tests share: a database with a source table and the
// scenario tables as the current database, the designer's modal windows
// answered by a script (no nested event loops), and its messages recorded
// and answered.
#include "designer/CMelvarsPropWiz.h"
#include "support/QtTestSupport.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <string>

class frmQuorb_Fields;
class QListWidget;

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

    vtest::TempDir m_tmp;
    dao::DatabasePtr m_db;
};

// Gives the field frame's transfer control `control` the action `index`
// after selecting the available field `field` (for adds).
void Transfer(frmQuorb_Fields& page, const char* control, long index, const QString& field = {});

// The field page's list entries' field names.
QStringList Names(const QListWidget* list);

} // namespace dtest
