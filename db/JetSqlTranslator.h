#pragma once
// Translates the desktop engine's SQL dialect (the one every query of the
// system is written in) into SQLite's. The text is tokenised and parsed;
// nothing is rewritten by pattern over the raw text.
//
// What changes on the way:
//  - [bracketed names] ("]]" inside stands for "]"), plain names and
//    t.f / t!f references become
//    double-quoted identifiers; '...' and "..." strings become '...' literals;
//    #m/d/yyyy# dates become day numbers (days since 1899-12-30, REAL);
//    True/False become -1/0; the value of a Yes/No column
//    (Options::yesNoColumn) is -1/0 as the field reads it.
//  - & (Null-tolerant concatenation), + with a text on either side (joins
//    two texts, Null if either is Null), ^ (power), / (always real division),
//    \ and Mod (on rounded operands), Like (* ? # [..] [!..], case-blind),
//    IIf, IsNull, Nz and the other engine functions become SQLite
//    expressions or calls of the functions RegisterJetFunctions registers.
//    A comparison used as a value yields -1/0 like the engine's Booleans.
//  - SELECT DISTINCTROW → SELECT; TOP n → LIMIT n; DELETE * / t.* FROM →
//    DELETE FROM; SELECT ... INTO t → a SELECT reported as Kind::MakeTable;
//    FROM t IN '<path>' → "extN"."t" with the path listed for attaching;
//    a trailing ";" is dropped.
//  - Text ordering and grouping follow the case-blind GENERAL collation:
//    column terms of ORDER BY / GROUP BY get COLLATE GENERAL, as do column
//    operands compared with a text literal and comparisons of two operands
//    that may both carry text (a join's keys A.K = B.K, In (SELECT ...),
//    Between column bounds); a column declared to hold numbers
//    (Options::numberColumn) keeps its plain comparison and so its index.
//    SELECT DISTINCT over plain
//    columns groups with that collation; a grouped or DISTINCT query without
//    ORDER BY is ordered by its grouping terms, as the desktop engine
//    delivers it.
//  - Unnamed computed result columns are named Expr1000, Expr1001, ...
//  - A leading PARAMETERS declaration is read; its names are reported
//    (TranslatedSql::parameters) so that opening without values fails
//    with 3061.
//
// Malformed text throws dao::DaoError (3075 expression syntax, 3131 FROM
// clause, 3129 unknown statement, 3142 text after the end, 3085 unknown
// function, 3000 unsupported construct) naming the token and its position.
#include "db/TranslatedSql.h"

#include <functional>

#include <string>
#include <string_view>
#include <vector>

namespace dao {

struct JetTranslation;

class JetSqlTranslator {
public:
    struct Options {
        // On a simple single-table SELECT (see TranslatedSql::baseTable) put
        // "<t>".rowid AS "__rowid" as the first result column.
        bool keyset = false;
        // How records that an ORDER BY finds equal are ordered among
        // themselves, so that the same statement on the same file returns
        // its rows in the same order every time (SQLite's sort, on helper
        // threads, may return equal keys in any order). Applies to a simple
        // single-table SELECT with an ORDER BY:
        //   Rowid      the table's rowid is the last sort key (a stored table);
        //   RowNumber  the row's number in the source's own order (a view:
        //              the source is read through row_number() OVER ());
        //              not for SELECT *, whose columns would change.
        enum class Ties { Unordered, Rowid, RowNumber };
        Ties ties = Ties::Unordered;
        // The alias under which an external database ("IN '<path>'") is
        // attached. Without one, aliases are numbered per statement (ext1,
        // ext2, ...); a connection that keeps databases attached across
        // statements gives each path its own lasting alias.
        std::function<std::string(const std::string& path)> aliasFor;
        // The SQL of a stored select query that the file holds no view of
        // (one that reads a table of another database file through
        // IN '<path>'), empty for any other name: a FROM clause that names
        // such a query reads it as a subquery under its own name, as it
        // would read the view.
        std::function<std::string(const std::string& name)> storedQuery;
        // Whether a column of a table of the database (names as written in
        // the statement) is declared to hold numbers: whole numbers or reals.
        // Such a column holds no text to compare case-blind, and a comparison
        // with it stays as it is, so that an index on it serves. Without it
        // every column may hold text.
        std::function<bool(const std::string& table, const std::string& column)> numberColumn;
        // Whether a column of a table or view of the database (names as
        // written in the statement) is a Yes/No field. Another program
        // stores True as 1 and may leave a Null where this layer writes -1
        // and 0; wherever the statement uses such a column's value (a
        // comparison, a condition, an operator, a function, a sort or a
        // group; the values of In (SELECT ...), of a subquery and of the rows
        // INSERT INTO ... SELECT appends) it is the value the field is read
        // as: -1 for any number but 0, 0 for 0 and Null. A column a query
        // shows as it is stays the column. Without it a column's value is
        // what is stored.
        std::function<bool(const std::string& table, const std::string& column)> yesNoColumn;
        // The columns of a table or view, in their order, each with whether
        // it is a Yes/No field (as yesNoColumn tells): of the database
        // itself when `path` is empty, else of the file a FROM clause names
        // with IN '<path>'; none for a name not found. A column named
        // without its table in a subquery is the outer query's only when the
        // subquery's tables have no column of that name. Without it such a
        // name is looked for among the subquery's tables only.
        struct Column {
            std::string name;
            bool yesNo = false;
        };
        std::function<std::vector<Column>(const std::string& path, const std::string& table)> columns;
    };

    // Name of the rowid column added for a keyset.
    static constexpr const char* RowidColumn = "__rowid";
    // Name of the row-number column that orders the ties of a view's rows.
    static constexpr const char* RowNumberColumn = "__rownumber";

    static TranslatedSql Translate(std::string_view jetSql, const Options& options);
    static TranslatedSql Translate(std::string_view jetSql) { return Translate(jetSql, Options{}); }

    // A criteria expression as FindFirst / Filter receive it ("Field = 'x'"):
    // the result (Kind::Expression) is an SQLite expression for a WHERE clause.
    static TranslatedSql TranslateExpression(std::string_view criteria);

    // A bare name as OpenRecordset("name") receives it → "name" (" doubled).
    static std::string QuoteIdentifier(std::string_view name);
    // Any text → 'text' (' doubled).
    static std::string QuoteString(std::string_view text);
    // A table or field name in brackets, for Jet SQL the program writes
    // itself: [name], with every "]" of the name doubled ("a]b" → [a]]b]),
    // which the tokenizer reads back as the name itself. Every name can be
    // written this way; none can end the brackets early.
    static std::string BracketName(std::string_view name);

private:
    static TranslatedSql Make(std::string_view original, JetTranslation&& translation);
};

} // namespace dao
