// Duplicating and deleting scenarios from the list: the copy under a new
// number with its options and field rows, the deletion from the three
// tables, and both undone whole when a step fails.
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmDuplicate.h"
#include "app/frmStatMain.h"
#include "scenario/AppDatabase.h"
#include "support/LockWait.h"
#include "support/OtherProgram.h"
#include "support/ShownText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <sqlite3.h>

#include <chrono>

using namespace apptest;

namespace {

// The rows of one table for a scenario, each as "column=value" texts in
// column order (the key left out, so that a copy compares with its source).
std::vector<std::string> Rows(const char* table, long id, const char* orderBy = "Scenario_ID") {
    std::vector<std::string> rows;
    auto rs = gdbCurrent->OpenRecordset(std::string("SELECT * FROM [") + table + "] WHERE Scenario_ID = " +
                                        std::to_string(id) + " ORDER BY " + orderBy);
    for (; !rs->EOF_(); rs->MoveNext()) {
        std::string row;
        for (int i = 0; i < rs->Fields().Count(); ++i) {
            const dao::FieldPtr f = rs->Fields(i);
            if (f->Name() == "Scenario_ID" || f->Name() == "Scenario_Description")
                continue;
            const dao::Variant v = f->Value();
            row += f->Name() + "=" + (v.IsNull() ? std::string("<Null>") : v.ToString()) + ";";
        }
        rows.push_back(row);
    }
    return rows;
}

long Count(const char* table, long id) {
    return static_cast<long>(Rows(table, id).size());
}

std::string Description(long id) {
    auto rs = gdbCurrent->OpenRecordset("SELECT Scenario_Description FROM usysQuorbScenarios WHERE Scenario_ID = " +
                                        std::to_string(id));
    return rs->EOF_() ? std::string("<none>") : rs->Fields(0)->Value().ToString();
}

// Makes the database refuse one kind of statement on a table, as a full or
// locked file would, so that a step in the middle fails.
void Refuse(const std::string& path, const std::string& event, const std::string& table) {
    const std::string sql =
        "CREATE TRIGGER refuse BEFORE " + event + " ON " + table + " BEGIN SELECT RAISE(ABORT, 'refused'); END;";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

bool IsDuplicate(QWidget* w) {
    return qobject_cast<frmDuplicate*>(w) != nullptr;
}

class ScenarioCopyDelete : public AppFixture {
protected:
    // Scenario 1 "Scores by class" with options and two field rows;
    // scenario 2 "Bare" without field rows (and, when asked, without options).
    frmStatMain* Open(bool secondHasOptions = true, const char* refuseEvent = nullptr, const char* refuseTable = nullptr) {
        path = File("copy.db");
        vtest::ScenarioSpec second = DescribeScores("out2");
        second.description = "Bare";
        second.writeOptionsRow = secondHasOptions;
        second.fields.clear();
        CreateScoresDatabase(path, true, {DescribeScores("out1", "out1b"), second});
        if (refuseEvent)
            Refuse(path, refuseEvent, refuseTable);
        script.OpenDatabase(path);
        frame = Start();
        return frame ? frame->StatMain() : nullptr;
    }
    void Select(frmStatMain* list, int row) {
        list->lvwScenarios()->setCurrentItem(list->lvwScenarios()->topLevelItem(row));
    }

    std::string path;
    ModalScript script;
    MDIMain* frame = nullptr;
};

TEST_F(ScenarioCopyDelete, DuplicateCopiesTheScenarioItsOptionsAndFieldsUnderANewNumber) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    Select(list, 0);
    QString shown, proposed;
    bool okWhenEmpty = true;
    script.Then(QStringLiteral("duplicate"), IsDuplicate, [&](QWidget* w) {
        auto* d = qobject_cast<frmDuplicate*>(w);
        shown = d->lblCurrentScenario()->text();
        proposed = d->txtNewScenario()->text();
        d->txtNewScenario()->clear();
        okWhenEmpty = d->cmdAction(0)->isEnabled();
        d->txtNewScenario()->setText(QStringLiteral("Second look"));
        d->cmdAction(0)->click();
    });
    list->cmdAction_Click(2);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(shown, QStringLiteral("Scores by class"));
    EXPECT_EQ(proposed, QStringLiteral("Copy of Scores by class"));
    EXPECT_FALSE(okWhenEmpty);

    // Scenarios 1 and 2 exist, so the table numbers the copy 3.
    EXPECT_EQ(Description(3), "Second look");
    EXPECT_EQ(Rows("usysQuorbScenarios", 3), Rows("usysQuorbScenarios", 1));
    EXPECT_EQ(Rows("usysQuorbOptions", 3), Rows("usysQuorbOptions", 1));
    EXPECT_EQ(Rows("usysQuorbFields", 3, "FieldDef_Name"), Rows("usysQuorbFields", 1, "FieldDef_Name"));
    EXPECT_EQ(Count("usysQuorbFields", 3), 2);
    // The source keeps its own rows.
    EXPECT_EQ(Description(1), "Scores by class");
    EXPECT_EQ(Count("usysQuorbFields", 1), 2);
    EXPECT_EQ(list->lvwScenarios()->topLevelItemCount(), 3);
}

TEST_F(ScenarioCopyDelete, DuplicateThatFailsHalfwayLeavesNoOrphanScenario) {
    // The field rows cannot be written: the header and options rows written
    // before must go too, and the dialog stays open.
    frmStatMain* list = Open(true, "INSERT", "usysQuorbFields");
    ASSERT_NE(list, nullptr);
    Select(list, 0);
    script.Then(QStringLiteral("duplicate"), IsDuplicate, [](QWidget* w) { qobject_cast<frmDuplicate*>(w)->cmdAction(0)->click(); })
        .ErrorDialog(false)
        .Then(QStringLiteral("still open"), IsDuplicate, [](QWidget* w) { qobject_cast<frmDuplicate*>(w)->cmdAction(1)->click(); });
    list->cmdAction_Click(2);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(Description(3), "<none>");
    EXPECT_EQ(Count("usysQuorbOptions", 3), 0);
    EXPECT_EQ(Count("usysQuorbFields", 3), 0);
    EXPECT_EQ(list->lvwScenarios()->topLevelItemCount(), 2);
}

// Another program (a client's run) writes the file for a moment while OK is
// pressed: the copy waits for it, as every statement waits for another
// program's lock, instead of failing at once with the file in use.
TEST_F(ScenarioCopyDelete, DuplicateWhileAnotherProgramWritesTheFileWaitsForItAndCopies) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    Select(list, 0);
    vtest::LockWaitLimitScope limit(std::chrono::seconds(20));
    vtest::OtherProgram other(path);
    bool waited = false;
    dao::LockWaitScope listen([&](const std::string&, std::chrono::milliseconds, std::chrono::milliseconds) {
        if (!waited) other.Exec("ROLLBACK");
        waited = true;
    });
    script.Then(QStringLiteral("duplicate"), IsDuplicate, [&](QWidget* w) {
        other.Exec("BEGIN IMMEDIATE");
        other.Exec("CREATE TABLE OtherWork (X)");
        qobject_cast<frmDuplicate*>(w)->cmdAction(0)->click();
    });
    list->cmdAction_Click(2);
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(waited);
    if (!waited)
        other.Exec("ROLLBACK");
    EXPECT_EQ(Description(3), "Copy of Scores by class");
    EXPECT_EQ(Rows("usysQuorbOptions", 3), Rows("usysQuorbOptions", 1));
    EXPECT_EQ(Count("usysQuorbFields", 3), 2);
    EXPECT_EQ(list->lvwScenarios()->topLevelItemCount(), 3);
}

// The dialog reads the scenario as it opens, and the user may take a while
// over the new description, while another designer changes or deletes the
// scenario. The copy was made of the header and options read when the
// dialog opened and of the field rows standing at OK: of a changed scenario
// a copy whose options and fields were of two versions, of a deleted one a
// copy without a field.
TEST_F(ScenarioCopyDelete, TheCopyIsOfTheScenarioAsItStandsWhenOKIsPressed) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    // Changed: the means asked for, and a third field.
    Select(list, 0);
    script.Then(QStringLiteral("duplicate"), IsDuplicate, [&](QWidget* w) {
        vtest::OtherProgram(path).Exec(
            "UPDATE usysQuorbOptions SET Mean = -1 WHERE Scenario_ID = 1;"
            "INSERT INTO usysQuorbFields (Scenario_ID, FieldDef_Name, FieldDef_Ordinal_Position, FieldDef_Choice)"
            " VALUES (1, 'Extra', 2, 'X')");
        qobject_cast<frmDuplicate*>(w)->cmdAction(0)->click();
    });
    list->cmdAction_Click(2);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(Description(3), "Copy of Scores by class");
    EXPECT_EQ(Rows("usysQuorbScenarios", 3), Rows("usysQuorbScenarios", 1));
    EXPECT_EQ(Rows("usysQuorbOptions", 3), Rows("usysQuorbOptions", 1));
    EXPECT_EQ(Rows("usysQuorbFields", 3, "FieldDef_Name"), Rows("usysQuorbFields", 1, "FieldDef_Name"));
    EXPECT_EQ(Count("usysQuorbFields", 3), 3);

    // Deleted: nothing is copied, and the dialog stays open.
    list->LoadScenarios();
    Select(list, 0);
    script.Then(QStringLiteral("duplicate"), IsDuplicate, [&](QWidget* w) {
              vtest::OtherProgram(path).Exec("DELETE FROM usysQuorbFields WHERE Scenario_ID = 1;"
                                             "DELETE FROM usysQuorbOptions WHERE Scenario_ID = 1;"
                                             "DELETE FROM usysQuorbScenarios WHERE Scenario_ID = 1");
              qobject_cast<frmDuplicate*>(w)->cmdAction(0)->click();
          })
        .ErrorDialog(false)
        .Then(QStringLiteral("still open"), IsDuplicate, [](QWidget* w) { qobject_cast<frmDuplicate*>(w)->cmdAction(1)->click(); });
    list->cmdAction_Click(2);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(Description(4), "<none>");
    EXPECT_EQ(Count("usysQuorbOptions", 4), 0);
    EXPECT_EQ(Count("usysQuorbFields", 4), 0);
}

TEST_F(ScenarioCopyDelete, MessagesWhenNothingIsSelectedOrTheOptionsRowIsMissing) {
    // ScenarioOK only with both rows: scenario 2 has no options row.
    frmStatMain* list = Open(false);
    ASSERT_NE(list, nullptr);
    list->lvwScenarios()->setCurrentItem(nullptr);
    list->lvwScenarios()->clearSelection();
    script.Message().Message();
    list->DuplicateCurrentScenario();
    list->DeleteCurrentScenario(); // nothing selected: no question at all
    Select(list, 1);
    list->DuplicateCurrentScenario();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Messages(), QStringList({QStringLiteral("Please select a scenario from the list to duplicate"),
                                              QStringLiteral("Error retrieving current scenario information")}));
    EXPECT_EQ(Description(3), "<none>");
}

TEST_F(ScenarioCopyDelete, DeleteAsksAndRemovesTheRowsOfAllThreeTables) {
    struct Case {
        int row;
        long id;
        int answer;
        const char* question;
        bool deleted;
        const char* reason;
    };
    const Case cases[] = {
        {0, 1, 7, "Are you sure you want to permanently delete Scenario #1\n (Scores by class)?", false, "No keeps it"},
        {0, 1, 6, "Are you sure you want to permanently delete Scenario #1\n (Scores by class)?", true, "Yes deletes"},
        // No field rows: the rest goes all the same.
        {0, 2, 6, "Are you sure you want to permanently delete Scenario #2\n (Bare)?", true, "bare scenario"},
    };
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        Select(list, c.row);
        ModalScript answer;
        answer.Message(c.answer);
        list->cmdAction_Click(3);
        EXPECT_TRUE(answer.Done());
        EXPECT_EQ(answer.Messages(), QStringList(QString::fromLatin1(c.question)));
        const long left = c.deleted ? 0 : 1;
        EXPECT_EQ(Count("usysQuorbScenarios", c.id), left);
        EXPECT_EQ(Count("usysQuorbOptions", c.id), left);
    }
    EXPECT_EQ(Count("usysQuorbFields", 1), 0);
    EXPECT_EQ(list->lvwScenarios()->topLevelItemCount(), 0);
}

TEST_F(ScenarioCopyDelete, DeleteThatFailsHalfwayKeepsTheWholeScenario) {
    // The options row cannot be deleted: the header and field rows deleted
    // before it come back.
    frmStatMain* list = Open(true, "DELETE", "usysQuorbOptions");
    ASSERT_NE(list, nullptr);
    Select(list, 0);
    script.Message(6).ErrorDialog(false);
    list->cmdAction_Click(3);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(Description(1), "Scores by class");
    EXPECT_EQ(Count("usysQuorbFields", 1), 2);
    EXPECT_EQ(Count("usysQuorbOptions", 1), 1);
}

// The dialog's label took a description that looks like HTML for HTML: the
// tags vanished and "<br>" broke the line, so it showed another description.
TEST_F(ScenarioCopyDelete, ADescriptionThatLooksLikeHtmlIsShownAsItStands) {
    frmStatMain* list = Open();
    ASSERT_NE(list, nullptr);
    const QString description = QStringLiteral("Q1 <b>North</b><br>& South");
    ASSERT_TRUE(Qt::mightBeRichText(description)); // what the label would take for HTML
    gdbCurrent->Execute("UPDATE usysQuorbScenarios SET Scenario_Description = '" + description.toStdString() +
                        "' WHERE Scenario_ID = 1");
    list->LoadScenarios();
    Select(list, 0);
    QString shown;
    script.Then(QStringLiteral("duplicate"), IsDuplicate, [&](QWidget* w) {
        auto* d = qobject_cast<frmDuplicate*>(w);
        shown = vtest::ShownText(d->lblCurrentScenario());
        d->cmdAction(1)->click();
    });
    list->cmdAction_Click(2);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(shown, description);
}

} // namespace
