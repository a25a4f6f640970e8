// The SQL translator: exact SQLite text for every construct the system
// writes, the errors for malformed text, and the translated statements run on
// real database files.
#include "DaoTestTables.h"
#include "JetSqliteFile.h"
#include "db/DaoError.h"
#include "db/JetFunctions.h"
#include "db/JetSqlTranslator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using dao::DaoError;
using dao::JetSqlTranslator;
using dao::TranslatedSql;

namespace {

struct Case {
    const char* jet;
    const char* sqlite;
};

// ---------------------------------------------------------------------------
// Exact translations
// ---------------------------------------------------------------------------

// Every statement shape the system's own code builds.
const Case kSystemStatements[] = {
    // Scenario and option row joined (two blanks after SELECT, one at the end).
    {"SELECT  * FROM [usysQuorbScenarios] INNER JOIN [usysQuorbOptions] ON [usysQuorbScenarios].Scenario_ID = "
     "[usysQuorbOptions].Scenario_ID WHERE [usysQuorbScenarios].Scenario_ID=12",
     "SELECT * FROM \"usysQuorbScenarios\" INNER JOIN \"usysQuorbOptions\" ON \"usysQuorbScenarios\".\"Scenario_ID\" COLLATE GENERAL = "
     "\"usysQuorbOptions\".\"Scenario_ID\" WHERE \"usysQuorbScenarios\".\"Scenario_ID\" = 12"},
    {"SELECT  * FROM [usysQuorbScenarios] INNER JOIN [usysQuorbOptions] ON [usysQuorbScenarios].Scenario_ID = "
     "[usysQuorbOptions].Scenario_ID ",
     "SELECT * FROM \"usysQuorbScenarios\" INNER JOIN \"usysQuorbOptions\" ON \"usysQuorbScenarios\".\"Scenario_ID\" COLLATE GENERAL = "
     "\"usysQuorbOptions\".\"Scenario_ID\""},
    // Field rows of a scenario.
    {"SELECT * FROM [usysQuorbFields] WHERE Scenario_ID=7 order by FieldDef_Choice, FieldDef_Ordinal_Position",
     "SELECT * FROM \"usysQuorbFields\" WHERE \"Scenario_ID\" = 7 ORDER BY \"FieldDef_Choice\" COLLATE GENERAL, "
     "\"FieldDef_Ordinal_Position\" COLLATE GENERAL"},
    {"select * from [USysQuorbFields] where Scenario_ID = -3 order by Fielddef_ordinal_position",
     "SELECT * FROM \"USysQuorbFields\" WHERE \"Scenario_ID\" = -3 ORDER BY \"Fielddef_ordinal_position\" COLLATE GENERAL"},
    {"SELECT * FROM [USysQuorbScenarios] INNER JOIN [USysQuorbOptions] ON [USysQuorbScenarios].Scenario_ID = "
     "[USysQuorbOptions].Scenario_ID where [USysQuorbScenarios].Scenario_ID = 4",
     "SELECT * FROM \"USysQuorbScenarios\" INNER JOIN \"USysQuorbOptions\" ON \"USysQuorbScenarios\".\"Scenario_ID\" COLLATE GENERAL = "
     "\"USysQuorbOptions\".\"Scenario_ID\" WHERE \"USysQuorbScenarios\".\"Scenario_ID\" = 4"},
    // Range of an X field with the missing-value condition.
    {"SELECT MIN([Age]) as Minimum1, MAX([Age]) as Maximum1 FROM [Sales] WHERE (([Age] Between 0 And 100));",
     "SELECT min(\"Age\" COLLATE GENERAL) AS \"Minimum1\", max(\"Age\" COLLATE GENERAL) AS \"Maximum1\" FROM \"Sales\" "
     "WHERE ((\"Age\" BETWEEN 0 AND 100))"},
    {"SELECT MIN([Age]) as Minimum1, MAX([Age]) as Maximum1 FROM [Sales] WHERE (([Age] <> -99));",
     "SELECT min(\"Age\" COLLATE GENERAL) AS \"Minimum1\", max(\"Age\" COLLATE GENERAL) AS \"Maximum1\" FROM \"Sales\" "
     "WHERE ((\"Age\" <> -99))"},
    // Source data sorted by the groups.
    {"SELECT [Region], [Age], [Wt] FROM [Sales] ORDER BY [Region],[Age];",
     "SELECT \"Region\", \"Age\", \"Wt\" FROM \"Sales\" ORDER BY \"Region\" COLLATE GENERAL, \"Age\" COLLATE GENERAL"},
    // Emptying the staging table.
    {"DELETE DISTINCTROW * FROM statTemp1", "DELETE FROM \"statTemp1\""},
    {"DELETE * FROM usysQuorbFields WHERE [Scenario_ID] = 12",
     "DELETE FROM \"usysQuorbFields\" WHERE \"Scenario_ID\" = 12"},
    {"DELETE * FROM [usysQuorbOptions] WHERE [Scenario_ID] = 12;",
     "DELETE FROM \"usysQuorbOptions\" WHERE \"Scenario_ID\" = 12"},
    // Percentiles and mode over the staging table of the temporary database.
    {"SELECT [Data], [Weight] FROM statTemp1 IN '/tmp/run 1/work.db' where (([Field] = 3 AND [Data] Is Not Null)) "
     "ORDER BY [Data];",
     "SELECT \"Data\", \"Weight\" FROM \"ext1\".\"statTemp1\" WHERE ((\"Field\" = 3 AND \"Data\" IS NOT NULL)) "
     "ORDER BY \"Data\" COLLATE GENERAL"},
    {"SELECT DISTINCTROW [Field], [Data], Sum([Weight]) as Kem_Count FROM statTemp1 IN '/tmp/w.db' GROUP BY [Field], "
     "[Data] ORDER BY [Field], Sum([Weight]) DESC;",
     "SELECT \"Field\", \"Data\", sum(\"Weight\") AS \"Kem_Count\" FROM \"ext1\".\"statTemp1\" GROUP BY \"Field\" "
     "COLLATE GENERAL, \"Data\" COLLATE GENERAL ORDER BY \"Field\" COLLATE GENERAL, sum(\"Weight\") DESC"},
    // Two-way ANOVA cells.
    {"SELECT DISTINCTROW [Compare_ZUR1], [Compare_ZUR2], Sum([Data_ZUR]*[Weight_ZUR]) as Sum, Sum([Weight_ZUR]) as "
     "Count FROM statTemp1 IN '/tmp/w.db' WHERE ([Field_ZUR] = 2) Group BY [Compare_ZUR1], [Compare_ZUR2] ",
     "SELECT \"Compare_ZUR1\", \"Compare_ZUR2\", sum(\"Data_ZUR\" * \"Weight_ZUR\") AS \"Sum\", sum(\"Weight_ZUR\") AS "
     "\"Count\" FROM \"ext1\".\"statTemp1\" WHERE (\"Field_ZUR\" = 2) GROUP BY \"Compare_ZUR1\" COLLATE GENERAL, "
     "\"Compare_ZUR2\" COLLATE GENERAL ORDER BY \"Compare_ZUR1\" COLLATE GENERAL, \"Compare_ZUR2\" COLLATE GENERAL"},
    // Distinct compare values without blanks.
    {"SELECT DISTINCT [Shift] FROM [Tests] WHERE ([Shift] Is Not Null);",
     "SELECT \"Shift\" FROM \"Tests\" WHERE (\"Shift\" IS NOT NULL) GROUP BY \"Shift\" COLLATE GENERAL ORDER BY "
     "\"Shift\" COLLATE GENERAL"},
    // Crosstab grouped statement (the quoted example) with a count column.
    {"SELECT DISTINCT [Region], Sum(IIf(IsNull([T].[Age]), Null, IIf((0<=[T].[Age]) And ([T].[Age]<= 100),[T].[Age], "
     "Null))) AS [Age], Count(IIf(IsNull([T].[Age]), Null, [T].[Age])) as [ZUR_Count_1] FROM [T] GROUP BY [Region];",
     "SELECT DISTINCT \"Region\", sum(CASE WHEN \"T\".\"Age\" IS NULL THEN NULL ELSE CASE WHEN (0 <= \"T\".\"Age\") AND "
     "(\"T\".\"Age\" <= 100) THEN \"T\".\"Age\" ELSE NULL END END) AS \"Age\", count(CASE WHEN \"T\".\"Age\" IS NULL "
     "THEN NULL ELSE \"T\".\"Age\" END) AS \"ZUR_Count_1\" FROM \"T\" GROUP BY \"Region\" COLLATE GENERAL ORDER BY "
     "\"Region\" COLLATE GENERAL"},
    {"SELECT DISTINCT [Region], Count(*) as [Calc All Records], Sum([T].[Age]^2) as [ZUR_Square_1] FROM [T] GROUP BY "
     "[Region];",
     "SELECT DISTINCT \"Region\", count(*) AS \"Calc All Records\", sum(jet_pow(\"T\".\"Age\", 2)) AS \"ZUR_Square_1\" "
     "FROM \"T\" GROUP BY \"Region\" COLLATE GENERAL ORDER BY \"Region\" COLLATE GENERAL"},
    {"SELECT DISTINCT [Region], First([T].[Age]) AS [Age], Last([T].[Age]) AS [Age2] FROM [T] GROUP BY [Region];",
     "SELECT DISTINCT \"Region\", jet_first(\"T\".\"Age\") AS \"Age\", jet_last(\"T\".\"Age\") AS \"Age2\" FROM \"T\" "
     "GROUP BY \"Region\" COLLATE GENERAL ORDER BY \"Region\" COLLATE GENERAL"},
    // Chi-square summary query (the quoted example).
    {"SELECT DISTINCTROW [Region], [Color], Sum(IIF(IsNull([Color]), 1, 1)) as Count1 FROM [Sales] WHERE ([Color] Is "
     "Not Null) GROUP BY [Region], [Color];",
     "SELECT \"Region\", \"Color\", sum(CASE WHEN \"Color\" IS NULL THEN 1 ELSE 1 END) AS \"Count1\" FROM \"Sales\" "
     "WHERE (\"Color\" IS NOT NULL) GROUP BY \"Region\" COLLATE GENERAL, \"Color\" COLLATE GENERAL ORDER BY \"Region\" "
     "COLLATE GENERAL, \"Color\" COLLATE GENERAL"},
    // Rank sums.
    {"SELECT DISTINCTROW [Field], Sum([Weight]*[Rank]) AS [SumRanks] FROM statTemp1 IN '/tmp/w.db' GROUP BY [Field];",
     "SELECT \"Field\", sum(\"Weight\" * \"Rank\") AS \"SumRanks\" FROM \"ext1\".\"statTemp1\" GROUP BY \"Field\" "
     "COLLATE GENERAL ORDER BY \"Field\" COLLATE GENERAL"},
    {"SELECT * FROM statTemp1 IN '/tmp/w.db' where (([GroupFld] = 1 or [GroupFld] = 2) and ([Field] = 3)) order by "
     "[Data];",
     "SELECT * FROM \"ext1\".\"statTemp1\" WHERE ((\"GroupFld\" = 1 OR \"GroupFld\" = 2) AND (\"Field\" = 3)) ORDER BY "
     "\"Data\" COLLATE GENERAL"},
    {"SELECT * FROM statTemp1 IN '/tmp/w.db' where (([Field] = 1) AND ([Absolute] > 0)) ORDER BY [Absolute];",
     "SELECT * FROM \"ext1\".\"statTemp1\" WHERE ((\"Field\" = 1) AND (\"Absolute\" > 0)) ORDER BY \"Absolute\" COLLATE "
     "GENERAL"},
    // Scenario list of one group and type.
    {"SELECT  Scenario_ID, Scenario_Analysis_SubType, Scenario_Description FROM usysQuorbScenarios WHERE "
     "((Scenario_Analysis_SubType Like '*') And (Scenario_Analysis_Type = 'P')) ORDER BY SortOrder, Scenario_ID;",
     "SELECT \"Scenario_ID\", \"Scenario_Analysis_SubType\", \"Scenario_Description\" FROM \"usysQuorbScenarios\" WHERE "
     "((jet_like(\"Scenario_Analysis_SubType\", '*')) AND (\"Scenario_Analysis_Type\" COLLATE GENERAL = 'P')) ORDER BY "
     "\"SortOrder\" COLLATE GENERAL, \"Scenario_ID\" COLLATE GENERAL"},
    // Duplicating a scenario's field rows.
    {"INSERT INTO [usysQuorbFields] (Scenario_Id, FieldDef_Name, FieldDef_Ordinal_Position, FieldDef_Choice ) SELECT 17 "
     "AS Expr1, [FieldDef_Name], [FieldDef_Ordinal_Position], [FieldDef_Choice] FROM [usysQuorbFields] WHERE "
     "[Scenario_ID]=5",
     "INSERT INTO \"usysQuorbFields\" (\"Scenario_Id\", \"FieldDef_Name\", \"FieldDef_Ordinal_Position\", "
     "\"FieldDef_Choice\") SELECT 17 AS \"Expr1\", \"FieldDef_Name\", \"FieldDef_Ordinal_Position\", \"FieldDef_Choice\" "
     "FROM \"usysQuorbFields\" WHERE \"Scenario_ID\" = 5"},
    {"SELECT  * from [usysQuorbScenarios] WHERE Scenario_ID = 9",
     "SELECT * FROM \"usysQuorbScenarios\" WHERE \"Scenario_ID\" = 9"},
};

// Names, literals and operators.
const Case kConstructs[] = {
    // Bracketed names with the characters output columns carry.
    {"SELECT [X_95%_CI_Low], [Y-Int_95%_CI_High], [X1:Age], [a^b], [c<d], [e=f], [O'Brien], [a.b], [Two words] FROM t",
     "SELECT \"X_95%_CI_Low\", \"Y-Int_95%_CI_High\", \"X1:Age\", \"a^b\", \"c<d\", \"e=f\", \"O'Brien\", \"a.b\", "
     "\"Two words\" FROM \"t\""},
    {"SELECT [(paren)] FROM [Tab (1)]", "SELECT \"(paren)\" FROM \"Tab (1)\""},
    {"SELECT [say \"hi\"] FROM t", "SELECT \"say \"\"hi\"\"\" FROM \"t\""},
    {"SELECT [t].[f], [t]![g], t.h, t!i FROM t", "SELECT \"t\".\"f\", \"t\".\"g\", \"t\".\"h\", \"t\".\"i\" FROM \"t\""},
    {"SELECT t.*, [u].* FROM t, u", "SELECT \"t\".*, \"u\".* FROM \"t\", \"u\""},
    // Plain names that are SQLite keywords are quoted like every other name.
    {"SELECT order_, [Group], Values_ FROM [Order]", "SELECT \"order_\", \"Group\", \"Values_\" FROM \"Order\""},
    // Strings in either quote, with doubled quotes.
    {"SELECT * FROM t WHERE a = \"x\"\"y\" AND b = 'it''s'",
     "SELECT * FROM \"t\" WHERE \"a\" COLLATE GENERAL = 'x\"y' AND \"b\" COLLATE GENERAL = 'it''s'"},
    {"SELECT * FROM t WHERE a = \"it's\"", "SELECT * FROM \"t\" WHERE \"a\" COLLATE GENERAL = 'it''s'"},
    // Dates: days since 30 December 1899 (1 Jan 1900 is day 2; 31 Jan 2020 is day 43861).
    {"SELECT * FROM t WHERE d = #1/1/1900#", "SELECT * FROM \"t\" WHERE \"d\" = 2.0"},
    {"SELECT * FROM t WHERE d >= #1/31/2020#", "SELECT * FROM \"t\" WHERE \"d\" >= 43861.0"},
    {"SELECT * FROM t WHERE d < #2020-01-31 18:00#", "SELECT * FROM \"t\" WHERE \"d\" < 43861.75"},
    {"SELECT * FROM t WHERE d = #1/31/2020 6:00:00 PM#", "SELECT * FROM \"t\" WHERE \"d\" = 43861.75"},
    {"SELECT * FROM t WHERE d = #12/30/1899 12:00 AM#", "SELECT * FROM \"t\" WHERE \"d\" = 0.0"},
    {"SELECT * FROM t WHERE d = #6:00#", "SELECT * FROM \"t\" WHERE \"d\" = 0.25"},
    {"SELECT * FROM t WHERE d = #2/29/00#", "SELECT * FROM \"t\" WHERE \"d\" = 36585.0"},
    // Before the base day the whole days count down and the time adds on: 29 Dec 1899 06:00 is -1.25.
    {"SELECT * FROM t WHERE d = #12/29/1899 6:00#", "SELECT * FROM \"t\" WHERE \"d\" = -1.25"},
    // Booleans and Null.
    {"SELECT * FROM t WHERE flag = True OR other = False OR x Is Null",
     "SELECT * FROM \"t\" WHERE \"flag\" = -1 OR \"other\" = 0 OR \"x\" IS NULL"},
    {"SELECT * FROM t WHERE x Is Not Null AND Not y", "SELECT * FROM \"t\" WHERE \"x\" IS NOT NULL AND NOT \"y\""},
    // & concatenation, Null-tolerant, below + and above comparisons.
    {"SELECT a & b AS c FROM t", "SELECT jet_concat(\"a\", \"b\") AS \"c\" FROM \"t\""},
    {"SELECT a & b + 1 & c AS d FROM t", "SELECT jet_concat(\"a\", \"b\" + 1, \"c\") AS \"d\" FROM \"t\""},
    {"SELECT * FROM t WHERE a & 'x' = b", "SELECT * FROM \"t\" WHERE jet_concat(\"a\", 'x') = \"b\" COLLATE GENERAL"},
    // ^: above * and unary minus, left-associative.
    {"SELECT 2^3^2 AS p FROM t", "SELECT jet_pow(jet_pow(2, 3), 2) AS \"p\" FROM \"t\""},
    {"SELECT -2^2 AS p FROM t", "SELECT -jet_pow(2, 2) AS \"p\" FROM \"t\""},
    {"SELECT 2*3^2 AS p, 2^-1 AS q FROM t", "SELECT 2 * jet_pow(3, 2) AS \"p\", jet_pow(2, -1) AS \"q\" FROM \"t\""},
    // Arithmetic: / is real division; \ and Mod are functions; precedence kept.
    {"SELECT a + b * c AS x, (a + b) * c AS y, a - (b - c) AS z FROM t",
     "SELECT \"a\" + \"b\" * \"c\" AS \"x\", (\"a\" + \"b\") * \"c\" AS \"y\", \"a\" - (\"b\" - \"c\") AS \"z\" FROM \"t\""},
    {"SELECT a / b AS x, a \\ b AS y, a Mod b AS z FROM t",
     "SELECT jet_div(\"a\", \"b\") AS \"x\", jet_idiv(\"a\", \"b\") AS \"y\", jet_mod(\"a\", \"b\") AS \"z\" FROM \"t\""},
    {"SELECT a + b Mod c * d AS x FROM t", "SELECT \"a\" + jet_mod(\"b\", \"c\" * \"d\") AS \"x\" FROM \"t\""},
    {"SELECT - -a AS x, -(a + b) AS y FROM t", "SELECT -(-\"a\") AS \"x\", -(\"a\" + \"b\") AS \"y\" FROM \"t\""},
    // A comparison used as a value is the engine's Boolean -1 / 0.
    {"SELECT a > 3 AS big, Sum(b = 'x') AS n FROM t",
     "SELECT -(\"a\" > 3) AS \"big\", sum(-(\"b\" COLLATE GENERAL = 'x')) AS \"n\" FROM \"t\""},
    {"SELECT (a > 3) AS big FROM t", "SELECT -(\"a\" > 3) AS \"big\" FROM \"t\""},
    {"SELECT * FROM t WHERE (a = 1) = True", "SELECT * FROM \"t\" WHERE -(\"a\" = 1) = -1"},
    // Like and Not Like.
    {"SELECT * FROM t WHERE name Like 'A*'", "SELECT * FROM \"t\" WHERE jet_like(\"name\", 'A*')"},
    {"SELECT * FROM t WHERE name Not Like \"?b#[!c]*\"", "SELECT * FROM \"t\" WHERE NOT jet_like(\"name\", '?b#[!c]*')"},
    {"SELECT * FROM t WHERE a & b Like 'x*' AND c = 1",
     "SELECT * FROM \"t\" WHERE jet_like(jet_concat(\"a\", \"b\"), 'x*') AND \"c\" = 1"},
    // Between, In.
    {"SELECT * FROM t WHERE a Between 1 And 2 + 3 AND b Not Between 'a' And 'm'",
     "SELECT * FROM \"t\" WHERE \"a\" BETWEEN 1 AND 2 + 3 AND \"b\" COLLATE GENERAL NOT BETWEEN 'a' AND 'm'"},
    {"SELECT * FROM t WHERE a In (1, 2, 3) OR b Not In ('x', 'y') OR c In (SELECT c FROM u)",
     "SELECT * FROM \"t\" WHERE \"a\" IN (1, 2, 3) OR \"b\" COLLATE GENERAL NOT IN ('x', 'y') OR \"c\" COLLATE GENERAL IN (SELECT \"c\" "
     "FROM \"u\")"},
    // IIf, IsNull, Nz.
    {"SELECT IIf(a > 0, 'pos', 'neg') AS s FROM t",
     "SELECT CASE WHEN \"a\" > 0 THEN 'pos' ELSE 'neg' END AS \"s\" FROM \"t\""},
    {"SELECT IsNull(a) AS n, Nz(b) AS m, Nz(c, 0) AS k FROM t",
     "SELECT -(\"a\" IS NULL) AS \"n\", coalesce(\"b\", '') AS \"m\", coalesce(\"c\", 0) AS \"k\" FROM \"t\""},
    {"SELECT * FROM t WHERE IsNull(a) Or Not IsNull(b)",
     "SELECT * FROM \"t\" WHERE \"a\" IS NULL OR NOT \"b\" IS NULL"},
    // Functions.
    {"SELECT Left$(a, 2) AS x, Mid(a, 2, 3) AS y, UCase(a) AS z, Len(a) AS n, Val(a) AS v, CInt(b) AS c FROM t",
     "SELECT jet_left(\"a\", 2) AS \"x\", jet_mid(\"a\", 2, 3) AS \"y\", jet_ucase(\"a\") AS \"z\", jet_len(\"a\") AS "
     "\"n\", jet_val(\"a\") AS \"v\", jet_cint(\"b\") AS \"c\" FROM \"t\""},
    {"SELECT Abs(a) AS x, Sqr(a) AS y, Int(a) AS z, Fix(a) AS w FROM t",
     "SELECT jet_abs(\"a\") AS \"x\", jet_sqr(\"a\") AS \"y\", jet_int(\"a\") AS \"z\", jet_fix(\"a\") AS \"w\" FROM \"t\""},
    // Aggregates.
    {"SELECT g, StDev(x) AS s, Var(x) AS v, StDevP(x) AS sp, VarP(x) AS vp, Avg(x) AS m FROM t GROUP BY g",
     "SELECT \"g\", jet_stdev(\"x\") AS \"s\", jet_var(\"x\") AS \"v\", jet_stdevp(\"x\") AS \"sp\", jet_varp(\"x\") AS "
     "\"vp\", avg(\"x\") AS \"m\" FROM \"t\" GROUP BY \"g\" COLLATE GENERAL ORDER BY \"g\" COLLATE GENERAL"},
    {"SELECT g, Count(x) AS n FROM t GROUP BY g HAVING Count(x) > 1 ORDER BY g DESC",
     "SELECT \"g\", count(\"x\") AS \"n\" FROM \"t\" GROUP BY \"g\" COLLATE GENERAL HAVING count(\"x\") > 1 ORDER BY "
     "\"g\" COLLATE GENERAL DESC"},
    // Unnamed computed columns are named as the engine names them.
    {"SELECT Count(*), a, a + 1, Sum(a) FROM t",
     "SELECT count(*) AS \"Expr1000\", \"a\", \"a\" + 1 AS \"Expr1001\", sum(\"a\") AS \"Expr1002\" FROM \"t\""},
    // Statement forms.
    {"SELECT DISTINCTROW * FROM t;", "SELECT * FROM \"t\""},
    {"SELECT ALL a FROM t", "SELECT \"a\" FROM \"t\""},
    {"SELECT TOP 5 * FROM t ORDER BY x DESC", "SELECT * FROM \"t\" ORDER BY \"x\" COLLATE GENERAL DESC LIMIT 5"},
    {"DELETE FROM t", "DELETE FROM \"t\""},
    {"DELETE t.* FROM t WHERE a = 1", "DELETE FROM \"t\" WHERE \"a\" = 1"},
    {"DELETE [t].* FROM [t] INNER JOIN u ON [t].id = u.id WHERE u.x = 1",
     "DELETE FROM \"t\" WHERE rowid IN (SELECT \"t\".rowid FROM \"t\" INNER JOIN \"u\" ON \"t\".\"id\" COLLATE GENERAL = \"u\".\"id\" "
     "WHERE \"u\".\"x\" = 1)"},
    {"UPDATE t SET t.a = 1, [b] = 'x' WHERE c = True", "UPDATE \"t\" SET \"a\" = 1, \"b\" = 'x' WHERE \"c\" = -1"},
    {"INSERT INTO t VALUES (1, 'a', Null, #1/1/1900#)", "INSERT INTO \"t\" VALUES (1, 'a', NULL, 2.0)"},
    {"INSERT INTO t IN '/tmp/o.db' SELECT * FROM u", "INSERT INTO \"ext1\".\"t\" SELECT * FROM \"u\""},
    {"SELECT a FROM t UNION SELECT b FROM u ORDER BY a",
     "SELECT \"a\" FROM \"t\" UNION SELECT \"b\" FROM \"u\" ORDER BY \"a\" COLLATE GENERAL"},
    {"SELECT a FROM t UNION ALL SELECT b FROM u", "SELECT \"a\" FROM \"t\" UNION ALL SELECT \"b\" FROM \"u\""},
    {"SELECT * FROM (a INNER JOIN b ON a.k = b.k) LEFT JOIN c ON b.j = c.j",
     "SELECT * FROM (\"a\" INNER JOIN \"b\" ON \"a\".\"k\" COLLATE GENERAL = \"b\".\"k\") LEFT JOIN \"c\" ON \"b\".\"j\" "
     "COLLATE GENERAL = \"c\".\"j\""},
    {"SELECT * FROM a RIGHT OUTER JOIN b ON a.k = b.k",
     "SELECT * FROM \"a\" RIGHT JOIN \"b\" ON \"a\".\"k\" COLLATE GENERAL = \"b\".\"k\""},
    {"SELECT q.n FROM (SELECT Count(*) AS n FROM t) AS q",
     "SELECT \"q\".\"n\" FROM (SELECT count(*) AS \"n\" FROM \"t\") AS \"q\""},
    {"SELECT * FROM t AS x WHERE Exists (SELECT * FROM u WHERE u.k = x.k)",
     "SELECT * FROM \"t\" AS \"x\" WHERE EXISTS (SELECT * FROM \"u\" WHERE \"u\".\"k\" COLLATE GENERAL = \"x\".\"k\")"},
    {"SELECT DISTINCT a, b FROM t", "SELECT \"a\", \"b\" FROM \"t\" GROUP BY \"a\" COLLATE GENERAL, \"b\" COLLATE GENERAL "
                                    "ORDER BY \"a\" COLLATE GENERAL, \"b\" COLLATE GENERAL"},
    {"SELECT DISTINCT * FROM t", "SELECT DISTINCT * FROM \"t\""},
    // Keywords in any letter case, line breaks and tabs as blanks.
    {"select\tdistinctrow a\nfrom t\r\nwhere a=1", "SELECT \"a\" FROM \"t\" WHERE \"a\" = 1"},
};

class Translations : public ::testing::TestWithParam<Case> {};

TEST_P(Translations, ExactText) {
    const Case& c = GetParam();
    EXPECT_EQ(JetSqlTranslator::Translate(c.jet).text(), c.sqlite) << c.jet;
}

INSTANTIATE_TEST_SUITE_P(SystemStatements, Translations, ::testing::ValuesIn(kSystemStatements));
INSTANTIATE_TEST_SUITE_P(Constructs, Translations, ::testing::ValuesIn(kConstructs));

// ---------------------------------------------------------------------------
// What the translation reports beside the text
// ---------------------------------------------------------------------------

TEST(JetSqlTranslator, ReportsTheStatementKind) {
    struct K {
        const char* jet;
        TranslatedSql::Kind kind;
    };
    const K cases[] = {
        {"SELECT * FROM t", TranslatedSql::Kind::Select},
        {"select a from t union select b from u", TranslatedSql::Kind::Select},
        {"INSERT INTO t VALUES (1)", TranslatedSql::Kind::Insert},
        {"UPDATE t SET a = 1", TranslatedSql::Kind::Update},
        {"DELETE * FROM t", TranslatedSql::Kind::Delete},
        {"SELECT a INTO n FROM t", TranslatedSql::Kind::MakeTable},
    };
    for (const auto& c : cases) EXPECT_EQ(JetSqlTranslator::Translate(c.jet).kind(), c.kind) << c.jet;
}

// The external files of a translation as "alias path", in order.
std::vector<std::string> attached(const TranslatedSql& t) {
    std::vector<std::string> out;
    for (const auto& a : t.attachments()) out.push_back(a.alias + " " + a.path);
    return out;
}

TEST(JetSqlTranslator, MakeTableGivesTheSelectAndTheTarget) {
    auto t = JetSqlTranslator::Translate("SELECT DISTINCTROW a, b INTO [New Table] FROM t WHERE a > 1;");
    EXPECT_EQ(t.kind(), TranslatedSql::Kind::MakeTable);
    EXPECT_EQ(t.makeTableTarget(), "New Table");
    EXPECT_EQ(t.makeTableDatabase(), "");
    EXPECT_EQ(t.text(), "SELECT \"a\", \"b\" FROM \"t\" WHERE \"a\" > 1");

    auto e = JetSqlTranslator::Translate("SELECT a INTO n IN '/tmp/out.db' FROM t IN '/tmp/in.db'");
    EXPECT_EQ(e.makeTableTarget(), "n");
    EXPECT_EQ(e.makeTableDatabase(), "ext1");
    EXPECT_EQ(attached(e), (std::vector<std::string>{"ext1 /tmp/out.db", "ext2 /tmp/in.db"}));
    EXPECT_EQ(e.text(), "SELECT \"a\" FROM \"ext2\".\"t\"");
}

TEST(JetSqlTranslator, OneAliasPerExternalPath) {
    auto t = JetSqlTranslator::Translate(
        "SELECT * FROM a IN '/x/one.db' WHERE k IN (SELECT k FROM b IN '/x/two.db') AND j IN (SELECT j FROM c IN "
        "'/x/one.db')");
    EXPECT_EQ(attached(t), (std::vector<std::string>{"ext1 /x/one.db", "ext2 /x/two.db"}));
    EXPECT_EQ(t.text(), "SELECT * FROM \"ext1\".\"a\" WHERE \"k\" COLLATE GENERAL IN (SELECT \"k\" FROM \"ext2\".\"b\") AND "
                        "\"j\" COLLATE GENERAL IN (SELECT \"j\" FROM \"ext1\".\"c\")");
    EXPECT_TRUE(attached(JetSqlTranslator::Translate("SELECT * FROM t")).empty());
}

TEST(JetSqlTranslator, BaseTableOnlyForSimpleSelects) {
    struct B {
        const char* jet;
        const char* base;
    };
    const B cases[] = {
        {"SELECT * FROM [My Data] WHERE a = 1 ORDER BY b", "My Data"},
        {"SELECT TOP 3 a, b + 1 AS c FROM t AS x", "t"},
        {"SELECT * FROM t WHERE a IN (SELECT a FROM u)", "t"},
        {"SELECT * FROM t INNER JOIN u ON t.k = u.k", ""},
        {"SELECT * FROM t, u", ""},
        {"SELECT DISTINCT a FROM t", ""},
        {"SELECT a, Count(*) AS n FROM t GROUP BY a", ""},
        {"SELECT Sum(a) AS s FROM t", ""},
        {"SELECT a FROM t UNION SELECT a FROM u", ""},
        {"SELECT * FROM (SELECT * FROM t) AS q", ""},
        {"SELECT * FROM t IN '/x.db'", ""},
        {"SELECT a INTO n FROM t", ""},
        {"DELETE * FROM t", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(JetSqlTranslator::Translate(c.jet).baseTable(), c.base) << c.jet;
}

TEST(JetSqlTranslator, KeysetPutsTheRowidFirst) {
    JetSqlTranslator::Options keyset;
    keyset.keyset = true;
    auto t = JetSqlTranslator::Translate("SELECT * FROM [usysQuorbScenarios] WHERE [Scenario_ID] = 3;", keyset);
    EXPECT_TRUE(t.hasRowid());
    EXPECT_EQ(t.text(), "SELECT \"usysQuorbScenarios\".rowid AS \"__rowid\", * FROM \"usysQuorbScenarios\" WHERE "
                        "\"Scenario_ID\" = 3");
    auto a = JetSqlTranslator::Translate("SELECT a FROM t AS x ORDER BY a", keyset);
    EXPECT_TRUE(a.hasRowid());
    EXPECT_EQ(a.text(), "SELECT \"x\".rowid AS \"__rowid\", \"a\" FROM \"t\" AS \"x\" ORDER BY \"a\" COLLATE GENERAL");
    auto g = JetSqlTranslator::Translate("SELECT a, Count(*) AS n FROM t GROUP BY a", keyset);
    EXPECT_FALSE(g.hasRowid());
    EXPECT_EQ(g.text().find("rowid"), std::string::npos);
    EXPECT_FALSE(JetSqlTranslator::Translate("SELECT * FROM t").hasRowid());
}

TEST(JetSqlTranslator, ParametersDeclaration) {
    auto t = JetSqlTranslator::Translate(
        "PARAMETERS [Enter start:] DateTime, MinAge Long, [Name] Text (50); SELECT * FROM t WHERE d >= [Enter "
        "start:] AND age > MinAge");
    EXPECT_EQ(t.parameters(), (std::vector<std::string>{"Enter start:", "MinAge", "Name"}));
    EXPECT_EQ(t.kind(), TranslatedSql::Kind::Select);
    EXPECT_EQ(t.text(), "SELECT * FROM \"t\" WHERE \"d\" >= \"Enter start:\" AND \"age\" > \"MinAge\"");
    EXPECT_TRUE(JetSqlTranslator::Translate("SELECT * FROM t").parameters().empty());
}

TEST(JetSqlTranslator, KeepsTheOriginalText) {
    const char* jet = "SELECT * FROM [t];";
    EXPECT_EQ(JetSqlTranslator::Translate(jet).original(), jet);
    EXPECT_EQ(JetSqlTranslator::TranslateExpression("a = 1").original(), "a = 1");
}

TEST(JetSqlTranslator, CriteriaExpressions) {
    const Case cases[] = {
        {"Field = 'x'", "\"Field\" COLLATE GENERAL = 'x'"},
        {"[Scenario_ID] = 12", "\"Scenario_ID\" = 12"},
        {"Name Like 'Sm*' And Age > 30", "jet_like(\"Name\", 'Sm*') AND \"Age\" > 30"},
        {"IsNull([Weight]) Or [Weight] <= 0", "\"Weight\" IS NULL OR \"Weight\" <= 0"},
        {"d Between #1/1/2000# And #12/31/2000#", "\"d\" BETWEEN 36526.0 AND 36891.0"},
    };
    for (const auto& c : cases) {
        auto t = JetSqlTranslator::TranslateExpression(c.jet);
        EXPECT_EQ(t.kind(), TranslatedSql::Kind::Expression);
        EXPECT_EQ(t.text(), c.sqlite) << c.jet;
    }
}

TEST(JetSqlTranslator, QuotingHelpers) {
    EXPECT_EQ(JetSqlTranslator::QuoteIdentifier("usysQuorbFields"), "\"usysQuorbFields\"");
    EXPECT_EQ(JetSqlTranslator::QuoteIdentifier("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(JetSqlTranslator::QuoteIdentifier("x'; DROP TABLE t; --"), "\"x'; DROP TABLE t; --\"");
    EXPECT_EQ(JetSqlTranslator::QuoteString("it's"), "'it''s'");
    EXPECT_EQ(JetSqlTranslator::QuoteString(""), "''");
}

// ---------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------

struct ErrorCase {
    const char* jet;
    long number;
    const char* mentions;   // the description names this token or problem
};

const ErrorCase kErrors[] = {
    {"SELECT [x FROM t", 3075, "Missing ]"},
    {"SELECT 'abc FROM t", 3075, "'abc FROM t"},
    {"SELECT \"abc FROM t", 3075, "Unterminated"},
    {"SELECT x FROM t WHERE (a = 1", 3075, "Missing )"},
    {"SELECT x FROM t WHERE a = 1)", 3142, "near ')'"},
    {"SELECT x FROM t WHERE a Between 1", 3075, "Between"},
    {"SELECT x FROM t WHERE a Between 1 Or 2", 3075, "near 'Or'"},
    {"SELECT x FROM t WHERE a Is 3", 3075, "near '3'"},
    {"SELECT x FROM t WHERE a = ", 3075, "end of statement"},
    {"SELECT x y FROM t", 3142, "near 'y'"},
    {"SELECT x FROM t WHERE a = 1 b = 2", 3142, "near 'b'"},
    {"SELECT Foo(x) FROM t", 3085, "'Foo'"},
    {"SELECT load_extension('x') FROM t", 3085, "'load_extension'"},
    {"SELECT Left(x) FROM t", 3075, "Wrong number of arguments"},
    {"SELECT x FROM t; DROP TABLE t", 3142, "near 'DROP'"},
    {"SELECT x FROM t;;", 3142, "near ';'"},
    {"CREATE TABLE x (a int)", 3129, "near 'CREATE'"},
    {"DROP TABLE t", 3129, "near 'DROP'"},
    {"", 3129, "end of statement"},
    {"SELECT TOP 5 PERCENT * FROM t", 3000, "PERCENT"},
    {"SELECT TOP x * FROM t", 3075, "TOP"},
    {"TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b", 3000, "TRANSFORM"},
    {"PARAMETERS x Long SELECT * FROM t", 3075, "near 'SELECT'"},
    {"PARAMETERS ; SELECT * FROM t", 3075, "parameter name"},
    {"SELECT * FROM t WHERE d = #13/45/2020#", 3075, "#13/45/2020#"},
    {"SELECT * FROM t WHERE d = #2/30/2020#", 3075, "#2/30/2020#"},
    {"SELECT * FROM t WHERE d = #1/1/2020", 3075, "date"},
    {"SELECT * FROM t WHERE a = 1 ? 2", 3075, "'?'"},
    {"SELECT * FROM t WHERE a = 3abc", 3075, "3abc"},
    {"SELECT * FROM t WHERE a = 1e999", 3075, "1e999"},
    {"SELECT * FROM t WHERE a = []", 3075, "[]"},
    {"SELECT * FROM", 3131, "end of statement"},
    {"SELECT * FROM t INNER JOIN u", 3131, "ON"},
    {"SELECT * FROM t IN", 3131, "IN"},
    {"SELECT * FROM t IN '' [dBASE IV;]", 3000, "External"},
    {"UPDATE t INNER JOIN u ON t.k = u.k SET t.a = 1", 3000, "join"},
    {"SELECT a FROM t WHERE x Eqv y", 3000, "Eqv"},
    {"SELECT a FROM t GROUP BY Sum(a)", 3075, "aggregate"},
    {"INSERT INTO t (a, b VALUES (1, 2)", 3134, "near 'VALUES'"},
    {"SELECT a FROM t WHERE x = y.", 3075, "name"},
};

class TranslationErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(TranslationErrors, NumberAndDescription) {
    const ErrorCase& c = GetParam();
    const auto e = daotest::ErrorOf([&] { JetSqlTranslator::Translate(c.jet); });
    ASSERT_TRUE(e) << "no error for: " << c.jet;
    EXPECT_EQ(e->Number(), c.number) << c.jet << " → " << e->Description();
    EXPECT_NE(e->Description().find(c.mentions), std::string::npos) << c.jet << " → " << e->Description();
    EXPECT_NE(e->Description().find("position"), std::string::npos) << e->Description();
    EXPECT_EQ(e->Sql(), c.jet);
}

INSTANTIATE_TEST_SUITE_P(Malformed, TranslationErrors, ::testing::ValuesIn(kErrors));

TEST(JetSqlTranslator, ErrorNamesThePosition) {
    const auto e = daotest::ErrorOf([] { JetSqlTranslator::Translate("SELECT a FROM t WHERE b = 1 c"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Description(), "Characters found after end of SQL statement at position 29 near 'c'.");
}

TEST(JetSqlTranslator, CriteriaErrors) {
    EXPECT_THROW(JetSqlTranslator::TranslateExpression(""), DaoError);
    EXPECT_THROW(JetSqlTranslator::TranslateExpression("a = 1 b"), DaoError);
    EXPECT_THROW(JetSqlTranslator::TranslateExpression("a = 'x"), DaoError);
}

// A value or name smuggling SQL text in can only ever become one literal or
// one identifier.
TEST(JetSqlTranslator, InjectedTextStaysOneLiteral) {
    auto t = JetSqlTranslator::Translate("SELECT * FROM t WHERE a = 'x'' OR 1=1 --'");
    EXPECT_EQ(t.text(), "SELECT * FROM \"t\" WHERE \"a\" COLLATE GENERAL = 'x'' OR 1=1 --'");
    auto n = JetSqlTranslator::Translate("SELECT [a\"; DROP TABLE t; --] FROM t");
    EXPECT_EQ(n.text(), "SELECT \"a\"\"; DROP TABLE t; --\" FROM \"t\"");
    // Two minus signs in a row are subtraction of a negation, never a comment.
    EXPECT_EQ(JetSqlTranslator::Translate("SELECT 5--3 AS x FROM t").text(), "SELECT 5 - -3 AS \"x\" FROM \"t\"");
}

// ---------------------------------------------------------------------------
// Translated statements on real database files
// ---------------------------------------------------------------------------

// The translated statements run on the file, with the external files they
// name attached for the statement.
class Db : public jettest::SqliteFile {
public:
    using SqliteFile::SqliteFile;

    std::vector<std::vector<std::string>> rows(const TranslatedSql& t, std::vector<std::string>* names = nullptr) {
        for (const auto& a : t.attachments())
            raw("ATTACH DATABASE " + JetSqlTranslator::QuoteString(a.path) + " AS " + JetSqlTranslator::QuoteIdentifier(a.alias));
        std::vector<std::vector<std::string>> out;
        std::string err;
        try {
            out = query(t.text(), names);
        } catch (const std::runtime_error& e) {
            err = e.what();
        }
        for (const auto& a : t.attachments()) raw("DETACH DATABASE " + JetSqlTranslator::QuoteIdentifier(a.alias));
        if (!err.empty()) throw std::runtime_error(err);
        return out;
    }
    std::vector<std::vector<std::string>> rows(const std::string& jet, std::vector<std::string>* names = nullptr) {
        return rows(JetSqlTranslator::Translate(jet), names);
    }
    std::vector<std::string> column(const std::string& jet) {
        std::vector<std::string> out;
        for (auto& r : rows(jet)) out.push_back(r.at(0));
        return out;
    }
    std::string value(const std::string& jet) {
        auto r = rows(jet);
        if (r.size() != 1 || r[0].size() != 1) throw std::runtime_error("not one value: " + jet);
        return r[0][0];
    }
    void exec(const std::string& jet) { rows(jet); }
};

using Rows = std::vector<std::vector<std::string>>;
using Col = std::vector<std::string>;

// Texts in their case-blind form, where a query may return any spelling of
// a group.
Rows folded(Rows rows) {
    for (auto& r : rows)
        for (auto& v : r) v = dao::GeneralKey(v);
    return rows;
}

class TranslatedOnFile : public ::testing::Test {
protected:
    vtest::TempDir dir;
    Db db{dir.file("main.db")};
};

TEST_F(TranslatedOnFile, ExpressionValues) {
    db.raw("CREATE TABLE one (x INTEGER); INSERT INTO one VALUES (1)");
    struct V {
        const char* expr;
        const char* expected;
    };
    const V cases[] = {
        {"2^3^2", "64"},              // (2^3)^2
        {"-2^2", "-4"},               // -(2^2)
        {"2^-1", "0.5"},
        {"2*3^2", "18"},
        {"7/2", "3.5"},               // always real division
        {"7\\2", "3"},
        {"-7\\2", "-3"},
        {"7 Mod 3", "1"},
        {"-7 Mod 3", "-1"},           // sign of the dividend
        {"7.5 Mod 2", "0"},           // 7.5 rounds to 8 (half to even)
        {"6.5 Mod 4", "2"},           // 6.5 rounds to 6
        {"1 + 2 & 3", "33"},          // + binds tighter than &
        {"\"a\" & Null", "a"},
        {"Null & \"b\" & Null", "b"},
        {"Null & Null", "NULL"},
        {"'n=' & 2.5", "n=2.5"},
        {"3 > 2", "-1"},
        {"3 < 2", "0"},
        {"Not 3 > 2", "0"},
        {"(1 = 1) + (2 = 2)", "-2"},
        {"True + True", "-2"},
        {"IIf(x = 1, 'one', 'other')", "one"},
        {"IIf(Null, 'yes', 'no')", "no"},
        {"IIf(5, 'yes', 'no')", "yes"},
        {"IsNull(Null)", "-1"},
        {"IsNull(x)", "0"},
        {"Nz(Null, 4)", "4"},
        {"Nz(Null)", ""},
        {"'abc' = 'ABC'", "-1"},      // text compares case-blind
        {"'abc' < 'ABD'", "-1"},
        {"UCase('a') & 'b' = 'AB'", "-1"},
        {"#1/31/2020# - #1/1/2020#", "30"},
        {"Len('h\xC3\xA9llo')", "5"},
        {"Mid('abcdef', 2, 3)", "bcd"},
        {"UCase('stra\xC3\x9F" "e \xC3\xA9t\xC3\xA9')", "STRA\xC3\x9F" "E \xC3\x89T\xC3\x89"},
        {"Val('  12.5e1xyz')", "125"},
        {"CInt(2.5)", "2"},
        {"CInt(3.5)", "4"},
        {"CLng(-2.5)", "-2"},
        {"x Between 0 And 2", "-1"},
        {"x In (2, 3)", "0"},
        {"'abc' Like 'A?C'", "-1"},
        {"'abc' Not Like 'a*d'", "-1"},
    };
    for (const auto& c : cases) {
        std::string jet = std::string("SELECT ") + c.expr + " AS v FROM one";
        EXPECT_EQ(db.value(jet), c.expected) << c.expr << " → " << JetSqlTranslator::Translate(jet).text();
    }
}

TEST_F(TranslatedOnFile, RunTimeErrorsOfExpressions) {
    db.raw("CREATE TABLE one (x INTEGER); INSERT INTO one VALUES (0)");
    for (const char* expr : {"1 / x", "1 \\ x", "1 Mod x", "(-8) ^ 0.5"})
        EXPECT_THROW(db.value(std::string("SELECT ") + expr + " AS v FROM one"), std::runtime_error) << expr;
}

TEST_F(TranslatedOnFile, LikePatterns) {
    db.raw("CREATE TABLE words (w TEXT)");
    struct L {
        const char* value;
        const char* pattern;
        bool match;
    };
    const L cases[] = {
        {"Describe", "*", true},
        {"", "*", true},
        {"Describe", "Describe", true},
        {"Describe", "describe", true},      // case-blind
        {"DESCRIBE", "des*", true},
        {"Describe", "Describ", false},
        {"Describe", "*ribe", true},
        {"Describe", "D*c*e", true},
        {"Describe", "D?scribe", true},
        {"Describe", "D???cribe", false},
        {"Describe", "?", false},
        {"a1b", "a#b", true},
        {"aXb", "a#b", false},
        {"cat", "[bc]at", true},
        {"hat", "[bc]at", false},
        {"hat", "[!bc]at", true},
        {"Cat", "[a-d]at", true},             // ranges are case-blind too
        {"*", "[*]", true},
        {"a*b", "a[*]b", true},
        {"axb", "a[*]b", false},
        {"a?", "a[?]", true},
        {"#1", "[#]#", true},
        {"a-b", "a[-]b", true},
        {"ab", "a[]b", true},
        {"50%", "50%", true},                 // % and _ are ordinary characters
        {"500", "50%", false},
        {"a_c", "a_c", true},
        {"abc", "a_c", false},
        {"\xC3\x89t\xC3\xA9", "\xC3\xA9T?", true},   // Été against éT?
        {"Two Sample t-Test", "Two*Test", true},
        {"aaa", "*a*a*a*", true},
        {"aa", "*a*a*a*", false},
    };
    for (const auto& c : cases) {
        db.raw("DELETE FROM words; INSERT INTO words VALUES (" + JetSqlTranslator::QuoteString(c.value) + ")");
        std::string quoted = JetSqlTranslator::QuoteString(c.pattern);
        EXPECT_EQ(db.rows("SELECT w FROM words WHERE w Like " + quoted).size(), c.match ? 1u : 0u)
            << c.value << " Like " << c.pattern;
        EXPECT_EQ(db.rows("SELECT w FROM words WHERE w Not Like " + quoted).size(), c.match ? 0u : 1u)
            << c.value << " Not Like " << c.pattern;
    }
    // Null on either side matches nothing, and Not Like does not match either.
    db.raw("DELETE FROM words; INSERT INTO words VALUES (NULL)");
    EXPECT_TRUE(db.rows("SELECT w FROM words WHERE w Like '*'").empty());
    EXPECT_TRUE(db.rows("SELECT w FROM words WHERE w Not Like 'x'").empty());
    // A class left open is a bad pattern.
    db.raw("UPDATE words SET w = 'a'");
    EXPECT_THROW(db.rows("SELECT w FROM words WHERE w Like '[ab'"), std::runtime_error);
}

TEST_F(TranslatedOnFile, ScenarioListByTypeName) {
    db.raw("CREATE TABLE usysQuorbScenarios (Scenario_ID INTEGER PRIMARY KEY, Scenario_Analysis_SubType TEXT, "
           "Scenario_Analysis_Type TEXT, SortOrder INTEGER)");
    db.raw("INSERT INTO usysQuorbScenarios VALUES (1, 'ANOVA', 'G', 2), (2, 'Describe', 'P', 1), (3, 'Two Sample "
           "t-Test', 'G', 1), (4, 'Frequency', 'P', 3), (5, 'Two Sample t-Test', 'G', 1)");
    const std::string head = "SELECT  Scenario_ID, Scenario_Analysis_SubType FROM usysQuorbScenarios WHERE "
                             "((Scenario_Analysis_SubType Like '";
    EXPECT_EQ(db.column(head + "*') And (Scenario_Analysis_Type = 'G')) ORDER BY SortOrder, Scenario_ID;"),
              (Col{"3", "5", "1"}));
    EXPECT_EQ(db.column(head + "Two Sample t-Test') And (Scenario_Analysis_Type = 'g')) ORDER BY SortOrder, "
                               "Scenario_ID;"),
              (Col{"3", "5"}));
    EXPECT_EQ(db.column(head + "*') And (Scenario_Analysis_Type = 'P')) ORDER BY SortOrder, Scenario_ID;"),
              (Col{"2", "4"}));
}

TEST_F(TranslatedOnFile, FirstAndLastFollowTheInputOrder) {
    db.raw("CREATE TABLE t (g TEXT, v INTEGER)");
    db.raw("INSERT INTO t VALUES ('b', 5), ('a', 3), ('b', 1), ('a', 9), ('a', 4), ('b', NULL)");
    EXPECT_EQ(db.rows("SELECT g, First(v) AS f, Last(v) AS l, Count(v) AS n FROM t GROUP BY g"),
              (Rows{{"a", "3", "4", "3"}, {"b", "5", "NULL", "2"}}));
}

// Sample and population variance and deviation, against hand-computed values:
// 2,4,4,4,5,5,7,9 have mean 5 and squared deviations summing to 32; 4,7,13,16
// have mean 10 and 36+9+9+36 = 90. Shifting the data by 1e8 or 1e9 changes
// neither.
TEST_F(TranslatedOnFile, VarianceAndDeviation) {
    db.raw("CREATE TABLE t (g INTEGER, x REAL)");
    auto insert = [&](int g, double offset, std::initializer_list<int> xs) {
        for (int x : xs) db.raw("INSERT INTO t VALUES (" + std::to_string(g) + ", " + std::to_string(offset + x) + ")");
    };
    insert(1, 0, {2, 4, 4, 4, 5, 5, 7, 9});
    insert(2, 1e8, {2, 4, 4, 4, 5, 5, 7, 9});
    insert(3, 0, {4, 7, 13, 16});
    insert(4, 1e8, {4, 7, 13, 16});
    insert(5, 1e9, {4, 7, 13, 16});
    insert(6, 0, {42});
    auto r = db.rows("SELECT g, Var(x) AS v, StDev(x) AS s, VarP(x) AS vp, StDevP(x) AS sp FROM t GROUP BY g");
    ASSERT_EQ(r.size(), 6u);
    struct Expect {
        double var, varp;
    };
    const Expect e[] = {{32.0 / 7, 4}, {32.0 / 7, 4}, {30, 22.5}, {30, 22.5}, {30, 22.5}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_NEAR(std::stod(r[i][1]), e[i].var, 1e-9 * e[i].var) << "group " << r[i][0];
        EXPECT_NEAR(std::stod(r[i][2]), std::sqrt(e[i].var), 1e-9) << "group " << r[i][0];
        EXPECT_NEAR(std::stod(r[i][3]), e[i].varp, 1e-9 * e[i].varp) << "group " << r[i][0];
        EXPECT_NEAR(std::stod(r[i][4]), std::sqrt(e[i].varp), 1e-9) << "group " << r[i][0];
    }
    // One value: no sample variance, a population variance of 0.
    EXPECT_EQ(r[5], (std::vector<std::string>{"6", "NULL", "NULL", "0", "0"}));
    // No values at all.
    EXPECT_EQ(db.rows("SELECT Var(x) AS v, VarP(x) AS vp FROM t WHERE g = 99"), (Rows{{"NULL", "NULL"}}));
}

// Tables made by other tools carry no collation; the translated text still
// orders, groups, filters and de-duplicates case-blind.
TEST_F(TranslatedOnFile, GeneralOrderWithoutDeclaredCollation) {
    db.raw("CREATE TABLE s (name TEXT, n INTEGER)");
    db.raw("INSERT INTO s VALUES ('beta', 1), ('Alpha', 2), ('alpha', 3), ('BETA', 4), ('gamma', 5), (NULL, 6), "
           "('\xC3\x89lan', 7), ('elan', 8), ('zeta', 9)");
    // Ordered case-blind, Null first, é after z (code point order once folded).
    Col ordered = db.column("SELECT name FROM s ORDER BY name, n");
    EXPECT_EQ(ordered, (Col{"NULL", "Alpha", "alpha", "beta", "BETA", "elan", "gamma", "zeta", "\xC3\x89lan"}));
    // Grouping puts a/A together (either spelling may stand for the group);
    // the groups come in the same order.
    EXPECT_EQ(folded(db.rows("SELECT name, Count(*) AS c, Sum(n) AS s FROM s GROUP BY name")),
              (Rows{{"null", "1", "6"}, {"alpha", "2", "5"}, {"beta", "2", "5"}, {"elan", "1", "8"},
                    {"gamma", "1", "5"}, {"zeta", "1", "9"}, {"\xC3\xA9lan", "1", "7"}}));
    // DISTINCT gives one row per case-blind value, in the same order as GROUP BY.
    Rows distinct = folded(db.rows("SELECT DISTINCT name FROM s"));
    EXPECT_EQ(distinct, (Rows{{"null"}, {"alpha"}, {"beta"}, {"elan"}, {"gamma"}, {"zeta"}, {"\xC3\xA9lan"}}));
    // A comparison with a text literal is case-blind, so is In and Between.
    EXPECT_EQ(db.column("SELECT n FROM s WHERE name = 'ALPHA' ORDER BY n"), (Col{"2", "3"}));
    EXPECT_EQ(db.column("SELECT n FROM s WHERE name In ('beta', 'GAMMA') ORDER BY n"), (Col{"1", "4", "5"}));
    EXPECT_EQ(db.column("SELECT n FROM s WHERE name Between 'B' And 'Gz' ORDER BY n"), (Col{"1", "4", "5", "8"}));
    EXPECT_EQ(db.column("SELECT n FROM s WHERE name <> 'beta' ORDER BY n"), (Col{"2", "3", "5", "7", "8", "9"}));
    // Min and Max use the same order.
    EXPECT_EQ(folded(db.rows("SELECT Min(name) AS lo, Max(name) AS hi FROM s WHERE n <> 7")), (Rows{{"alpha", "zeta"}}));
    // ORDER BY on a computed alias still resolves with the collation added.
    EXPECT_EQ(folded(db.rows("SELECT name, Sum(n) AS total FROM s GROUP BY name ORDER BY total DESC, name")),
              (Rows{{"zeta", "9"}, {"elan", "8"}, {"\xC3\xA9lan", "7"}, {"null", "6"}, {"alpha", "5"}, {"beta", "5"},
                    {"gamma", "5"}}));
}

TEST_F(TranslatedOnFile, GeneralOrderWithDeclaredCollation) {
    db.raw("CREATE TABLE s (name VARCHAR(50) COLLATE GENERAL, n INTEGER); CREATE INDEX s_name ON s (name)");
    db.raw("INSERT INTO s VALUES ('b', 1), ('A', 2), ('a', 3), ('B', 4)");
    EXPECT_EQ(db.column("SELECT n FROM s WHERE name = 'a' ORDER BY n"), (Col{"2", "3"}));
    EXPECT_EQ(folded(db.rows("SELECT name, Count(*) AS c FROM s GROUP BY name")), (Rows{{"a", "2"}, {"b", "2"}}));
    EXPECT_EQ(db.column("SELECT DISTINCT name FROM s").size(), 2u);
}

// The chi-square analysis walks a DISTINCT list and a grouped query side by
// side: both must come in the same category order, Nulls first.
TEST_F(TranslatedOnFile, DistinctAndGroupedQueriesAgreeOnOrder) {
    db.raw("CREATE TABLE Sales (Region TEXT, Color TEXT, Amount REAL)");
    db.raw("INSERT INTO Sales VALUES ('North', 'red', 1), ('north', 'Blue', 2), ('South', NULL, 3), "
           "('South', 'RED', 4), ('North', 'green', 5), (NULL, 'blue', 6), ('South', 'Green', 7)");
    Col categories = db.column("SELECT DISTINCT [Color] FROM [Sales];");
    ASSERT_EQ(categories.size(), 4u);
    EXPECT_EQ(categories[0], "NULL");
    EXPECT_EQ(dao::GeneralKey(categories[1]), "blue");
    EXPECT_EQ(dao::GeneralKey(categories[2]), "green");
    EXPECT_EQ(dao::GeneralKey(categories[3]), "red");
    Rows summary = db.rows("SELECT DISTINCTROW [Region], [Color], Sum(IIF(IsNull([Color]), 1, 1)) as Count1 FROM "
                           "[Sales] GROUP BY [Region], [Color];");
    std::vector<std::string> flat;
    for (auto& r : summary) flat.push_back(dao::GeneralKey(r[0]) + "|" + dao::GeneralKey(r[1]) + "|" + r[2]);
    EXPECT_EQ(flat, (Col{"null|blue|1", "north|blue|1", "north|green|1", "north|red|1", "south|null|1",
                         "south|green|1", "south|red|1"}));
}

TEST_F(TranslatedOnFile, ExternalDatabaseThroughIn) {
    const std::string other = dir.file("temp work.db");
    Db(other).raw("CREATE TABLE statTemp1 (Field INTEGER, Data REAL, Weight REAL); "
                  "INSERT INTO statTemp1 VALUES (1, 5, 1), (1, 2, 2), (2, 7, 1), (1, 3, 3), (1, NULL, 0.5)");
    db.raw("CREATE TABLE statTemp1 (Field INTEGER, Data REAL, Weight REAL)"); // the same name in the main file
    std::string in = "IN '" + other + "' ";
    EXPECT_EQ(db.rows("SELECT [Data], [Weight] FROM statTemp1 " + in + "where (([Field] = 1 AND [Data] Is Not Null)) "
                      "ORDER BY [Data];"),
              (Rows{{"2", "2"}, {"3", "3"}, {"5", "1"}}));
    EXPECT_EQ(db.rows("SELECT DISTINCTROW [Field], [Data], Sum([Weight]) as Kem_Count FROM statTemp1 " + in +
                      "GROUP BY [Field], [Data] ORDER BY [Field], Sum([Weight]) DESC;"),
              (Rows{{"1", "3", "3"}, {"1", "2", "2"}, {"1", "5", "1"}, {"1", "NULL", "0.5"}, {"2", "7", "1"}}));
    // A path with a quote in it, written doubled.
    const std::string quoted = dir.file("o'brien.db");
    Db(quoted).raw("CREATE TABLE x (a INTEGER); INSERT INTO x VALUES (42)");
    std::string jetPath;
    for (char c : quoted) jetPath += c == '\'' ? std::string("''") : std::string(1, c);
    EXPECT_EQ(db.value("SELECT a FROM x IN '" + jetPath + "'"), "42");
}

// The analyses write the temporary file's path between single quotes as it
// stands; a path with a quote in it must be written doubled. Undoubled, the
// statement is refused as a whole rather than read differently.
TEST(JetSqlTranslator, QuoteInExternalPathUndoubledIsRefused) {
    EXPECT_THROW(JetSqlTranslator::Translate("SELECT * FROM statTemp1 IN '/tmp/o'brien/w.db' where ([Field] = 1);"),
                 DaoError);
    auto ok = JetSqlTranslator::Translate("SELECT * FROM statTemp1 IN " + JetSqlTranslator::QuoteString("/tmp/o'brien/w.db") +
                                          " where ([Field] = 1);");
    EXPECT_EQ(attached(ok), (std::vector<std::string>{"ext1 /tmp/o'brien/w.db"}));
}

TEST(JetSqlTranslator, SqliteCatalogueIsNoInputTable) {
    for (const char* jet : {"SELECT * FROM sqlite_master", "SELECT * FROM [SQLITE_SCHEMA]",
                            "SELECT * FROM t WHERE a IN (SELECT name FROM sqlite_temp_master)",
                            "DELETE * FROM sqlite_sequence"}) {
        EXPECT_EQ(daotest::ErrorNumberOf([&] { JetSqlTranslator::Translate(jet); }), dao::err::InputTableNotFound) << jet;
    }
}

TEST_F(TranslatedOnFile, DeleteForms) {
    db.raw("CREATE TABLE t (id INTEGER, a INTEGER); CREATE TABLE u (id INTEGER, x INTEGER)");
    auto fill = [&] {
        db.raw("DELETE FROM t; INSERT INTO t VALUES (1, 10), (2, 20), (3, 30), (4, 40)");
        db.raw("DELETE FROM u; INSERT INTO u VALUES (2, 1), (3, 0), (4, 1)");
    };
    struct D {
        const char* jet;
        Col left;
    };
    const D cases[] = {
        {"DELETE * FROM t WHERE a > 25", {"1", "2"}},
        {"DELETE DISTINCTROW * FROM t", {}},
        {"DELETE t.* FROM t WHERE id = 1;", {"2", "3", "4"}},
        {"DELETE t.* FROM t INNER JOIN u ON t.id = u.id WHERE u.x = 1", {"1", "3"}},
        {"DELETE FROM t", {}},
    };
    for (const auto& c : cases) {
        fill();
        db.exec(c.jet);
        EXPECT_EQ(db.column("SELECT id FROM t ORDER BY id"), c.left) << c.jet;
    }
}

TEST_F(TranslatedOnFile, InsertUpdateAndDuplicateRows) {
    db.raw("CREATE TABLE usysQuorbFields (ID INTEGER PRIMARY KEY, Scenario_ID INTEGER, FieldDef_Name TEXT, "
           "FieldDef_Ordinal_Position INTEGER, FieldDef_Choice TEXT)");
    db.exec("INSERT INTO usysQuorbFields (Scenario_ID, FieldDef_Name, FieldDef_Ordinal_Position, FieldDef_Choice) "
            "VALUES (5, 'Age', 1, 'X')");
    db.exec("INSERT INTO usysQuorbFields (Scenario_ID, FieldDef_Name, FieldDef_Ordinal_Position, FieldDef_Choice) "
            "VALUES (5, \"Region\", 1, \"G\")");
    db.exec("INSERT INTO [usysQuorbFields] (Scenario_Id, FieldDef_Name, FieldDef_Ordinal_Position, FieldDef_Choice ) "
            "SELECT 17 AS Expr1, [FieldDef_Name], [FieldDef_Ordinal_Position], [FieldDef_Choice] FROM "
            "[usysQuorbFields] WHERE [Scenario_ID]=5");
    EXPECT_EQ(db.rows("SELECT * FROM [usysQuorbFields] WHERE Scenario_ID=17 order by FieldDef_Choice, "
                      "FieldDef_Ordinal_Position"),
              (Rows{{"4", "17", "Region", "1", "G"}, {"3", "17", "Age", "1", "X"}}));
    db.exec("UPDATE usysQuorbFields SET usysQuorbFields.FieldDef_Name = 'Age' & 'd' WHERE FieldDef_Choice = 'x'");
    EXPECT_EQ(db.column("SELECT FieldDef_Name FROM usysQuorbFields ORDER BY ID"), (Col{"Aged", "Region", "Aged", "Region"}));
}

TEST_F(TranslatedOnFile, MakeTableSelectAndKeysetRun) {
    db.raw("CREATE TABLE t (a INTEGER, b TEXT); INSERT INTO t VALUES (3, 'x'), (1, 'y'), (2, 'z')");
    auto mk = JetSqlTranslator::Translate("SELECT a, b INTO n FROM t WHERE a > 1");
    EXPECT_EQ(db.rows(mk), (Rows{{"3", "x"}, {"2", "z"}}));

    JetSqlTranslator::Options keyset;
    keyset.keyset = true;
    std::vector<std::string> names;
    auto r = db.rows(JetSqlTranslator::Translate("SELECT * FROM t ORDER BY a", keyset), &names);
    EXPECT_EQ(names, (Col{"__rowid", "a", "b"}));
    EXPECT_EQ(r, (Rows{{"2", "1", "y"}, {"3", "2", "z"}, {"1", "3", "x"}}));
}

TEST_F(TranslatedOnFile, UnnamedColumnsAreNamedLikeTheEngine) {
    db.raw("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1), (2)");
    std::vector<std::string> names;
    auto r = db.rows("SELECT a * 2, a, [t].[a], a + 1 FROM t ORDER BY a", &names);
    EXPECT_EQ(names, (Col{"Expr1000", "a", "a", "Expr1001"}));
    EXPECT_EQ(r, (Rows{{"2", "1", "1", "2"}, {"4", "2", "2", "3"}}));
    EXPECT_EQ(db.rows("SELECT Count(*) FROM t", &names), (Rows{{"2"}}));
    EXPECT_EQ(names, (Col{"Expr1000"}));
}

TEST_F(TranslatedOnFile, DatesCompareAsDayNumbers) {
    db.raw("CREATE TABLE d (id INTEGER, at REAL)");
    // 43831 = 1 Jan 2020, 43861 = 31 Jan 2020, 43861.75 = 31 Jan 2020 18:00.
    db.raw("INSERT INTO d VALUES (1, 43831), (2, 43861), (3, 43861.75), (4, 43862)");
    EXPECT_EQ(db.column("SELECT id FROM d WHERE at Between #1/1/2020# And #1/31/2020# ORDER BY id"), (Col{"1", "2"}));
    EXPECT_EQ(db.column("SELECT id FROM d WHERE at >= #2020-01-31 12:00# ORDER BY id"), (Col{"3", "4"}));
}

TEST_F(TranslatedOnFile, MisspeltColumnIsAnErrorNotAText) {
    db.raw("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1)");
    EXPECT_THROW(db.rows("SELECT [no such column] FROM t"), std::runtime_error);
    EXPECT_THROW(db.rows("SELECT a FROM t WHERE [Enter a value] = 1"), std::runtime_error);
}

// Texts in queries as Jet treats them, where two faults were:
// - + joins two texts, as a query's "[Last] & (', ' + [First])" relies on to
//   drop the comma with a missing first name; a text and a number still add.
//   It added them as numbers: "Lee0" for "Lee, Ann".
// - A column's text passed through Nz or IIf is still text without regard to
//   case: "Banana" sorts after "apple", and "APPLE" finds "apple". It was
//   compared and sorted by its bytes.
TEST_F(TranslatedOnFile, PlusJoinsTextsAndTextThroughNzOrIIfKeepsItsCaseBlindOrder) {
    db.raw("CREATE TABLE p (id INTEGER, last TEXT, first TEXT, n INTEGER)");
    db.raw("INSERT INTO p VALUES (1, 'Lee', 'Ann', 2), (2, 'Smith', NULL, 3)");
    db.raw("CREATE TABLE f (id INTEGER, name TEXT)");
    db.raw("INSERT INTO f VALUES (1, 'Banana'), (2, 'apple'), (3, NULL), (4, 'Apple')");
    struct Q {
        const char* jet;
        Rows expected;
    };
    const Q cases[] = {
        {"SELECT last & (', ' + first) FROM p ORDER BY id", {{"Lee, Ann"}, {"Smith"}}}, // Null + text: Null
        {"SELECT first + ' ' + last FROM p ORDER BY id", {{"Ann Lee"}, {"NULL"}}},
        {"SELECT '#' + last FROM p ORDER BY id", {{"#Lee"}, {"#Smith"}}},
        {"SELECT '12' + 'ab' FROM p ORDER BY id", {{"12ab"}, {"12ab"}}}, // texts of digits are texts too
        {"SELECT '3' + n FROM p ORDER BY id", {{"5"}, {"6"}}},           // a text and a number add
        {"SELECT n + '0.5' FROM p ORDER BY id", {{"2.5"}, {"3.5"}}},
        {"SELECT id FROM f ORDER BY Nz(name, ''), id", {{"3"}, {"2"}, {"4"}, {"1"}}}, // '' < apple = Apple < Banana
        {"SELECT id FROM f ORDER BY IIf(IsNull(name), 'zz', name), id", {{"2"}, {"4"}, {"1"}, {"3"}}},
        {"SELECT id FROM f WHERE Nz(name, '') = 'APPLE' ORDER BY id", {{"2"}, {"4"}}},
        {"SELECT id FROM f WHERE IIf(id > 1, name, '') In ('BANANA', 'apple') ORDER BY id", {{"2"}, {"4"}}},
        {"SELECT id FROM f WHERE Nz(name, 'x') Between 'A' And 'AZ' ORDER BY id", {{"2"}, {"4"}}},
        {"SELECT Count(*) FROM f GROUP BY Nz(name, '')", {{"1"}, {"2"}, {"1"}}}, // '', apple/Apple, Banana
    };
    for (const auto& c : cases) EXPECT_EQ(db.rows(c.jet), c.expected) << c.jet;
    // A text that is no number added to a number is a type mismatch.
    EXPECT_THROW(db.rows("SELECT n + 'abc' AS v FROM p"), std::runtime_error);
}

// Two operands that both may carry text compared with each other (a join's
// keys, an In subquery's column, a Where over two tables, Between column
// bounds) compared the texts by their bytes, or by the column's declared
// NOCASE, which folds only A-Z: "abc" found no "ABC" and "Été" no "éTÉ", and
// the join lost those records. They compare without regard to case, as a
// text compared with a literal does; numbers compare as before.
TEST_F(TranslatedOnFile, TwoTextOperandsComparedWithEachOtherIgnoreCase) {
    // As another program makes them: no collation, a plain text key.
    db.raw("CREATE TABLE A (K TEXT, V INTEGER); CREATE TABLE B (K TEXT PRIMARY KEY, W INTEGER)");
    db.raw("INSERT INTO A VALUES ('abc', 1), ('\xC3\x89t\xC3\xA9', 2), ('x', 4), (NULL, 8)");
    db.raw("INSERT INTO B VALUES ('ABC', 10), ('\xC3\xA9T\xC3\x89', 20), ('y', 40)");
    // As this layer declares them: NOCASE text columns, a unique index.
    db.raw("CREATE TABLE C (K VARCHAR(50) COLLATE NOCASE, V INTEGER);"
           "CREATE TABLE D (K VARCHAR(50) COLLATE NOCASE, W INTEGER); CREATE UNIQUE INDEX D_K ON D (K)");
    db.raw("INSERT INTO C SELECT K, V FROM A; INSERT INTO D SELECT K, W FROM B");
    // Whole numbers against texts of digits: equal by value, with or without case.
    db.raw("CREATE TABLE N (K INTEGER, V INTEGER); CREATE TABLE M (K TEXT, W INTEGER)");
    db.raw("INSERT INTO N VALUES (1, 1), (2, 2), (3, 4); INSERT INTO M VALUES ('1', 10), ('02', 20), ('3x', 40)");
    struct Q {
        const char* jet;
        Rows expected;
    };
    const Q cases[] = {
        // abc = ABC and Été = éTÉ; x and Null have no partner.
        {"SELECT A.V, B.W FROM A INNER JOIN B ON A.K = B.K ORDER BY A.V", {{"1", "10"}, {"2", "20"}}},
        {"SELECT A.V, B.W FROM B INNER JOIN A ON B.K = A.K ORDER BY A.V", {{"1", "10"}, {"2", "20"}}},
        {"SELECT A.V, B.W FROM A LEFT JOIN B ON A.K = B.K ORDER BY A.V",
         {{"1", "10"}, {"2", "20"}, {"4", "NULL"}, {"8", "NULL"}}},
        {"SELECT A.V, B.W FROM B RIGHT JOIN A ON B.K = A.K ORDER BY A.V",
         {{"1", "10"}, {"2", "20"}, {"4", "NULL"}, {"8", "NULL"}}},
        {"SELECT A.V, B.W FROM A, B WHERE A.K = B.K ORDER BY A.V", {{"1", "10"}, {"2", "20"}}},
        {"SELECT x.V, y.W FROM A AS x INNER JOIN B AS y ON x.K = y.K ORDER BY x.V", {{"1", "10"}, {"2", "20"}}},
        {"SELECT C.V, D.W FROM C INNER JOIN D ON C.K = D.K ORDER BY C.V", {{"1", "10"}, {"2", "20"}}},
        {"SELECT V FROM A WHERE K In (SELECT K FROM B) ORDER BY V", {{"1"}, {"2"}}},
        {"SELECT V FROM C WHERE K In (SELECT K FROM D) ORDER BY V", {{"1"}, {"2"}}},
        {"SELECT V FROM A WHERE K Not In (SELECT K FROM B) ORDER BY V", {{"4"}}},
        {"SELECT V FROM A WHERE K In (SELECT B.K FROM B WHERE B.W = 10) ORDER BY V", {{"1"}}},
        {"SELECT V FROM A WHERE Exists (SELECT * FROM B WHERE B.K = A.K) ORDER BY V", {{"1"}, {"2"}}},
        {"SELECT V FROM A WHERE K In (SELECT K FROM B UNION SELECT 'X' FROM B) ORDER BY V", {{"1"}, {"2"}, {"4"}}},
        {"SELECT V FROM A WHERE K = (SELECT K FROM B WHERE W = 10) ORDER BY V", {{"1"}}},
        {"SELECT V FROM A WHERE (SELECT K FROM B WHERE W = 20) = K ORDER BY V", {{"2"}}},
        // Against ABC: only abc is equal, Été and x are greater, Null is nothing.
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K <> B.K ORDER BY A.V", {{"2"}, {"4"}}},
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K > B.K ORDER BY A.V", {{"2"}, {"4"}}},
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K >= B.K ORDER BY A.V", {{"1"}, {"2"}, {"4"}}},
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K <= B.K ORDER BY A.V", {{"1"}}},
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K < B.K ORDER BY A.V", Rows{}},
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K Between B.K And B.K ORDER BY A.V", {{"1"}}},
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K Not Between B.K And B.K ORDER BY A.V", {{"2"}, {"4"}}},
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K In (B.K, 'zz') ORDER BY A.V", {{"1"}}},
        {"SELECT A.V FROM A, B WHERE B.W = 10 AND A.K Like B.K ORDER BY A.V", {{"1"}}},
        // Texts made from columns compare the same way.
        {"SELECT A.V FROM A, B WHERE A.K & '!' = B.K & '!' ORDER BY A.V", {{"1"}, {"2"}}},
        {"SELECT A.V FROM A INNER JOIN B ON Nz(A.K, '') = B.K ORDER BY A.V", {{"1"}, {"2"}}},
        // The text an aggregate picks from a column: abc is the least, Été
        // the greatest (é after z), abc the first, Été the last of V < 4.
        {"SELECT Count(*) FROM A HAVING Min(K) = 'ABC'", {{"4"}}},
        {"SELECT Count(*) FROM A HAVING Max(K) = '\xC3\xA9T\xC3\xA9'", {{"4"}}},
        {"SELECT Count(*) FROM A HAVING First(K) = 'ABC'", {{"4"}}},
        {"SELECT Count(*) FROM A WHERE V < 4 HAVING Last(K) = '\xC3\xA9T\xC3\x89'", {{"2"}}},
        {"SELECT Count(*) FROM A, B WHERE B.W = 10 HAVING Min(A.K) = First(B.K)", {{"4"}}},
        // Two texts written in the statement.
        {"SELECT V FROM A WHERE 'abc' = 'ABC' AND V = 1", {{"1"}}},
        // Numbers: 1 = '1' and 2 = '02' by value; 3 is no '3x'.
        {"SELECT N.V, M.W FROM N INNER JOIN M ON N.K = M.K ORDER BY N.V", {{"1", "10"}, {"2", "20"}}},
        {"SELECT N.V, M.W FROM M INNER JOIN N ON M.K = N.K ORDER BY N.V", {{"1", "10"}, {"2", "20"}}},
        {"SELECT V FROM N WHERE K In (SELECT K FROM M) ORDER BY V", {{"1"}, {"2"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(db.rows(c.jet), c.expected) << c.jet;
}

TEST_F(TranslatedOnFile, CriteriaSelectRows) {
    db.raw("CREATE TABLE p (name TEXT, age INTEGER)");
    db.raw("INSERT INTO p VALUES ('Smith', 40), ('smythe', 25), ('Jones', 50), (NULL, 60)");
    auto run = [&](const char* criteria) {
        return db.query("SELECT age FROM p WHERE " + JetSqlTranslator::TranslateExpression(criteria).text() + " ORDER BY age");
    };
    EXPECT_EQ(run("name = 'SMITH'"), (Rows{{"40"}}));
    EXPECT_EQ(run("name Like 'sm*' And age > 30"), (Rows{{"40"}}));
    EXPECT_EQ(run("IsNull(name) Or age < 30"), (Rows{{"25"}, {"60"}}));
}

} // namespace
