// Editing a scenario whose options row holds a value another program stored
// that does not fit its option: the scenario list names the value, the column
// and the scenario, and opens no designer on a wrongly read scenario.
#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmStatMain.h"

#include <QTreeWidget>

#include <sqlite3.h>

using namespace apptest;

namespace {

class StoredOptionsEdit : public AppFixture {};

TEST_F(StoredOptionsEdit, AnOptionThatDoesNotFitIsNamedAndNoDesignerOpens) {
    const std::string path = File("odd.db");
    CreateScoresDatabase(path, true, {DescribeScores("Out")});
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "UPDATE usysQuorbOptions SET InterV = 40000", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    ModalScript script;
    script.OpenDatabase(path);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    frmStatMain* list = frame->StatMain();
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->lvwScenarios()->topLevelItemCount(), 1);
    list->lvwScenarios()->setCurrentItem(list->lvwScenarios()->topLevelItem(0));

    script.Message(1);
    list->EditCurrentScenario(3);
    EXPECT_TRUE(script.Done());
    ASSERT_FALSE(script.Messages().isEmpty());
    // Read as it was, the value would have opened the designer with -25536 intervals.
    EXPECT_EQ(script.Messages().back(),
              QStringLiteral("The value 40000 in column InterV of scenario 1 does not fit its option, which takes a "
                             "whole number from -32768 to 32767."));
    EXPECT_EQ(list->Designer(), nullptr);
}

} // namespace
