// Databases as users have them: a program installed where the user may not
// write, a database file the user may only read, an open that fails after
// another database was open.
#include "AppTestSupport.h"
#include "support/ReadOnlyPath.h"

#include "app/AppGlobals.h"
#include "app/MDIMain.h"
#include "app/frmStatMain.h"
#include "app/modOpenDatabase.h"
#include "scenario/AppDatabase.h"

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace apptest;
using vtest::ReadOnlyPath;

namespace {

class DatabasesAsUsersHaveThem : public AppFixture {
protected:
    ModalScript script;
};

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(DatabasesAsUsersHaveThem, ADatabaseOpensWithTheProgramFolderReadOnly) {
    const std::string path = File("scores.db");
    CreateScoresDatabase(path, true, {DescribeScores("outDescribe")});
    ReadOnlyPath programFolder(AppDir());
    if (!programFolder.Effective())
        GTEST_SKIP() << "this system cannot make a folder read-only";
    script.OpenDatabase(path);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Seen().size(), 1u) << script.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(QLatin1Char('\n')).toStdString();
    ASSERT_NE(frame->StatMain(), nullptr);
    EXPECT_EQ(frame->StatusText(), QString::fromStdString(gdbCurrent->Name()));
    // The workgroup file went to the user's data folder.
    EXPECT_FALSE(std::filesystem::exists(AppDir() + "/ZURSTAT.MDW"));
    EXPECT_TRUE(std::filesystem::exists(DataDir() + "/ZURSTAT.MDW"));
}

TEST_F(DatabasesAsUsersHaveThem, InitializingAReadOnlyDatabaseSaysSoAndChangesNothing) {
    const std::string path = File("plain.db");
    CreateScoresDatabase(path, false);
    const std::string before = Bytes(path);
    ReadOnlyPath file(path);
    if (!file.Effective())
        GTEST_SKIP() << "this system cannot make a file read-only";
    script.OpenDatabase(path).Message(1).CancelOpenDatabase();
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(script.Seen().size(), 3u) << script.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(script.Seen()[1].kind, QStringLiteral("message")); // neither the question nor the error dialog
    EXPECT_EQ(script.Seen()[1].text,
              QStringLiteral("The database ") + QString::fromStdString(std::filesystem::absolute(path).string()) +
                  QStringLiteral(" is read-only.\n\nThe Varnello scenario tables cannot be added to it. Open a copy "
                                 "that you may change, or ask for write access to the file."));
    EXPECT_EQ(frame->StatMain(), nullptr);
    EXPECT_EQ(Bytes(path), before);
}

TEST_F(DatabasesAsUsersHaveThem, StatusBarIsClearedWhenAnOpenFailsAfterAnotherDatabase) {
    const std::string good = File("scores.db");
    CreateScoresDatabase(good, true);
    const std::string notADatabase = File("notes.db");
    std::ofstream(notADatabase) << "these are notes, not a database\n";
    const std::string plain = File("plain.db");
    CreateScoresDatabase(plain, false);
    struct Row {
        std::string path;
        int answer; // to the message or question that follows the failed open
        const char* why;
    } rows[] = {
        {notADatabase, 1, "the file is no database: the open fails"},
        {plain, 7, "the scenario tables are declined"},
    };
    script.OpenDatabase(good);
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    for (const Row& r : rows) {
        ASSERT_TRUE(AssignCurrentDatabase(QString::fromStdString(good), {}, {}, {})) << r.why;
        ASSERT_FALSE(frame->StatusText().isEmpty()) << r.why;
        script.OpenDatabase(r.path).Message(r.answer).CancelOpenDatabase();
        EXPECT_FALSE(frame->SelectDatabaseDialog(QString(), QString())) << r.why;
        EXPECT_TRUE(script.Done()) << r.why;
        EXPECT_EQ(frame->StatusText(), QString()) << r.why;
    }
}

} // namespace
