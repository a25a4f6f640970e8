// Scenario options as a real file stores them: every option of the one list
// makes the round trip through a save and both readers (the engine's run and
// the designer's), and a value another program stored that does not fit its
// option fails both with a message naming the value, the column and the
// scenario, instead of being wrapped, cut or read as 0.
#include "db/Dao.h"
#include "engine/AnalysisCatalogue.h"
#include "engine/VarnelloCore.h"
#include "scenario/ScenarioOptions.h"
#include "scenario/ScenarioSave.h"
#include "scenario/ScenarioTables.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

using namespace dao;

namespace {

// A value as the comparisons read it: "Null", or its text.
std::string text(const Variant& v) { return v.IsNull() || v.IsEmpty() ? "Null" : v.ToString(); }

// Every option of the record through its own accessor, by column.
std::map<std::string, std::string> options(const CMelvarsScenario& s) {
    std::map<std::string, std::string> out;
    for (const ScenarioOption& o : ScenarioOptions()) out[o.Column] = text(o.Get(s));
    return out;
}

class StoredOptions : public ::testing::Test {
protected:
    void SetUp() override {
        DBEngine().Reset();
        path = tmp.file("options.db");
        db = DBEngine().CreateDatabase(path, dbLangGeneral);
        ASSERT_TRUE(vtest::CreateScenarioTablesIn(db));
        auto td = db->CreateTableDef("Data");
        td->Fields().Append(td->CreateField("Sales", dbDouble));
        db->TableDefs().Append(td);
        for (const char* v : {"3", "5", "10"}) db->Execute(std::string("INSERT INTO Data (Sales) VALUES (") + v + ")");
    }
    void TearDown() override {
        db->Close();
        DBEngine().Reset();
    }

    // A Describe scenario over Data that keeps a new scenario's options.
    static CMelvarsScenario Describe(const std::string& table) {
        CMelvarsScenario s = NewScenarioDefaults();
        s.SetScenario_Type("P");
        s.SetCalcType("Describe");
        s.SetTable(table);
        s.SetOutputTable1("Out");
        s.AddField("Sales", "X");
        return s;
    }

    std::int32_t save(const CMelvarsScenario& s) {
        const ScenarioSaveResult r =
            SaveScenario(*db, 0, s, GetScenarioSort(s.CalcType()), NumberedFields(s), "test");
        EXPECT_TRUE(r.Saved) << r.Message;
        return r.ScenarioID;
    }

    // The designer's reading of the stored options row: its message, and the
    // options it read into `s`.
    std::string designerRead(std::int32_t id, CMelvarsScenario& s) {
        auto rs = db->OpenRecordset(GetScenOptionSQL(id), dbOpenSnapshot);
        return ReadScenarioOptions(*rs, s, id, OptionReader::Designer);
    }

    // Writes through a connection of its own, as another program would.
    void writeRaw(const std::string& sql) {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        char* err = nullptr;
        EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "") << ": " << sql;
        sqlite3_free(err);
        sqlite3_close(raw);
    }
    // The same with the test's own connection closed meanwhile.
    void rewrite(const std::string& sql) {
        db->Close();
        writeRaw(sql);
        db = DBEngine().OpenDatabase(path);
    }

    vtest::TempDir tmp;
    std::string path;
    DatabasePtr db;
};

// A value unlike a new scenario's, derived from the kind of the option alone.
Variant changedValue(const ScenarioOption& o, const CMelvarsScenario& s) {
    const Variant now = o.Get(s);
    switch (o.Kind) {
    case OptionKind::Boolean: return Variant(!now.ToBool());
    case OptionKind::Integer: return Variant(static_cast<std::int16_t>(now.ToInteger() + 7));
    case OptionKind::Double: return Variant(now.ToDouble() + 2.5);
    case OptionKind::Text: return Variant(now.IsString() && now.RawString() == "Z" ? "Y" : "Z");
    case OptionKind::Variant: return o.ColumnType == dbInteger ? Variant(std::int16_t(3)) : Variant(0.75);
    }
    return {};
}

// Each option, changed alone, comes back changed on that option alone: from
// the designer's reading always, from the engine's run where the run reads it
// (the others keep the value of a new record there).
TEST_F(StoredOptions, EveryOptionOfTheListMakesTheRoundTripThroughSaveAndBothReaders) {
    const auto initial = options(CMelvarsScenario());
    ASSERT_EQ(ScenarioOptions().size(), 72u);
    for (const ScenarioOption& o : ScenarioOptions()) {
        SCOPED_TRACE(o.Column);
        CMelvarsScenario s = Describe("NoData"); // the run stops after loading
        ASSERT_TRUE(SetScenarioOption(s, o.Column, changedValue(o, s)));
        const std::int32_t id = save(s);
        auto expected = options(s);

        CMelvarsScenario read;
        EXPECT_EQ(designerRead(id, read), "");
        EXPECT_EQ(options(read), expected);

        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        EXPECT_FALSE(eng.RunScenario(id));
        EXPECT_EQ(eng.ErrorInfo(), "Data Table [NoData] not found.");
        ASSERT_TRUE(eng.Scenario());
        for (const ScenarioOption& unread : ScenarioOptions())
            if (unread.Reader != OptionReader::Run) expected[unread.Column] = initial.at(unread.Column);
        EXPECT_EQ(options(*eng.Scenario()), expected);
    }
}

// Another program's values in the options row of a Describe scenario: each
// fails the run and the designer's reading with its message, or is read
// exactly as stored.
TEST_F(StoredOptions, OptionValuesThatDoNotFitAreNamedInsteadOfWrappedOrReadAsZero) {
    const std::int32_t id = save(Describe("Data"));
    ASSERT_EQ(id, 1);
    // The message of a refused value: the value as shown, its column, and
    // what the option takes.
    auto refused = [](const std::string& shown, const std::string& column, const std::string& takes) {
        return "The value " + shown + " in column " + column + " of scenario 1 does not fit its option, which takes " +
               takes + ".";
    };
    const std::string whole = "a whole number from -32768 to 32767";
    const std::string yesNo = "a number (0 for False, any other for True)";
    struct Row {
        const char* column;
        const char* stored;  // SQL literal
        std::string message; // empty: the value fits
        const char* read;    // what the option then holds
        const char* why;
    };
    const std::vector<Row> rows = {
        {"InterV", "40000", refused("40000", "InterV", whole), "", "beyond a 16-bit Integer: was wrapped to -25536"},
        {"RPoly", "1e300", refused("1E+300", "RPoly", whole), "", "beyond any whole number"},
        {"RPoly", "9223372036854775807", refused("9223372036854775807", "RPoly", whole), "",
         "the largest 64-bit integer, named digit for digit"},
        {"InterV", "7.5", refused("7.5", "InterV", whole), "", "a fraction: was cut to 7"},
        {"InterV", "'ten'", refused("'ten'", "InterV", whole), "", "text: was read as 0"},
        {"InterV", "'12abc'", refused("'12abc'", "InterV", whole), "", "text starting with digits: was read as 12"},
        {"RPoly", "X'3132'", refused("'12'", "RPoly", whole), "", "a blob spelling 12: was read as 12"},
        {"RPoly", "X'00FF'", refused("X'00FF'", "RPoly", whole), "", "a blob that is no text, in SQL's notation"},
        {"InterV", "NULL", refused("Null", "InterV", whole), "", "Null: the run failed with \"Invalid use of Null\""},
        {"InterV", "32767", "", "32767", "the largest Integer"},
        {"CI", "'yes'", refused("'yes'", "CI", yesNo), "", "text in a Boolean: was read as True"},
        {"CI95", "X'01'", refused("X'01'", "CI95", yesNo), "", "a blob in a Boolean: was read as False"},
        {"CI95", "1", "", "True", "1 is True, as other programs write it"},
        {"TTestValue", "'abc'", refused("'abc'", "TTestValue", "a finite number"), "", "text in a Double"},
        {"TTestValue", "9e999", refused("Infinity", "TTestValue", "a finite number"), "", "an infinity"},
        {"TTestValue", "0.1", "", "0.1", "a real is read as it is"},
        {"CIUser", "40000", refused("40000", "CIUser", "Null or " + whole), "",
         "a Variant option keeps to its Integer column"},
        {"CIUser", "NULL", "", "Null", "Null stays Null"},
        {"SignValue", "'x'", refused("'x'", "SignValue", "Null or " + whole), "", "text in a Variant option"},
        {"FreqWidth", "X'01'", refused("X'01'", "FreqWidth", "Null or a finite number"), "",
         "a blob where an interval width goes"},
    };
    writeRaw("CREATE TABLE Kept AS SELECT * FROM usysQuorbOptions");
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.column) + " = " + r.stored + ": " + r.why);
        rewrite(std::string("UPDATE usysQuorbOptions SET ") + r.column + " = " + r.stored);
        const ScenarioOption* o = FindScenarioOption(r.column);
        ASSERT_NE(o, nullptr);

        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        EXPECT_EQ(eng.RunScenario(id), r.message.empty()) << eng.ErrorInfo();
        EXPECT_EQ(eng.ErrorInfo(), r.message);
        if (r.message.empty()) { EXPECT_EQ(text(o->Get(*eng.Scenario())), r.read); }

        CMelvarsScenario read;
        EXPECT_EQ(designerRead(id, read), r.message);
        if (r.message.empty()) { EXPECT_EQ(text(o->Get(read)), r.read); }

        rewrite(std::string("UPDATE usysQuorbOptions SET ") + r.column + " = (SELECT " + r.column + " FROM Kept)");
    }
}

} // namespace
