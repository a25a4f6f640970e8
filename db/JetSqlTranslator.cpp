#include "db/JetSqlTranslator.h"

#include "db/DaoError.h"
#include "db/NumberText.h"
#include "db/Variant.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dao {

// What a translation found out, handed over to TranslatedSql.
struct JetTranslation {
    std::string text;
    TranslatedSql::Kind kind = TranslatedSql::Kind::Other;
    std::vector<TranslatedSql::Attachment> attachments;
    std::string makeTableTarget;
    std::string makeTableDatabase;
    std::string baseTable;
    bool hasRowid = false;
    bool compound = false;
    std::vector<std::string> parameters;
    std::vector<std::string> dateColumns;
};

namespace {

// Error numbers of the desktop engine for malformed statements.
constexpr long kErrExpression = err::SyntaxError;   // 3075 syntax error in query expression
constexpr long kErrFrom = err::SyntaxInFrom;        // 3131 syntax error in FROM clause
constexpr long kErrStatement = 3129;                // invalid SQL statement
constexpr long kErrTrailing = 3142;                 // characters found after end of SQL statement
constexpr long kErrFunction = 3085;                 // undefined function in expression
constexpr long kErrUnsupported = err::SqlSyntax;    // 3000: a construct this layer does not run
// Deepest nesting of parentheses, subqueries, Not and signs the parser
// follows; deeper text is refused rather than allowed to exhaust the stack.
// SQLite itself refuses expressions nested 1,000 deep.
constexpr int kMaxNesting = 200;

// ---------------------------------------------------------------------------
// Tokens
// ---------------------------------------------------------------------------

enum class Tk { End, Name, Bracket, String, Number, Date, Op };

struct Token {
    Tk type;
    std::string text;   // Name: as written; Bracket: the inner name; String: the value;
                        // Number: the literal; Date: between the #s; Op: the operator
    std::size_t pos;    // 1-based offset in the statement
};

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string lower(std::string_view s) { return ToLowerAscii(s); }

std::string describe(const Token& t) {
    switch (t.type) {
    case Tk::End: return "end of statement";
    case Tk::Bracket: return JetSqlTranslator::BracketName(t.text);
    case Tk::String: return "'" + t.text + "'";
    case Tk::Date: return "#" + t.text + "#";
    default: return t.text;
    }
}

[[noreturn]] void fail(long number, const std::string& what, std::size_t pos, const std::string& near,
                       std::string_view sql) {
    std::string d = what + " at position " + std::to_string(pos);
    if (!near.empty()) d += " near '" + near + "'";
    d += ".";
    throw DaoError(number, d, 0, std::string(sql));
}

bool isNameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool isNameChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> out;
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(sql[i]);
        const std::size_t pos = i + 1;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '[') {
            // A bracketed name runs to the first "]" that is not doubled: "]]"
            // inside the brackets stands for one "]" of the name (a "[" needs
            // no escape), so that every name can be written bracketed.
            std::string name;
            std::size_t j = i + 1;
            bool closed = false;
            while (j < n) {
                std::size_t close = sql.find(']', j);
                if (close == std::string_view::npos) break;
                name.append(sql.substr(j, close - j));
                if (close + 1 < n && sql[close + 1] == ']') {
                    name += ']';
                    j = close + 2;
                    continue;
                }
                j = close + 1;
                closed = true;
                break;
            }
            if (!closed) fail(kErrExpression, "Missing ] in query expression", pos, std::string(sql.substr(i, 20)), sql);
            if (name.empty()) fail(kErrExpression, "Empty name [] in query expression", pos, "[]", sql);
            out.push_back({Tk::Bracket, std::move(name), pos});
            i = j;
        } else if (c == '\'' || c == '"') {
            std::string value;
            std::size_t j = i + 1;
            bool closed = false;
            while (j < n) {
                if (sql[j] == static_cast<char>(c)) {
                    if (j + 1 < n && sql[j + 1] == static_cast<char>(c)) {
                        value += static_cast<char>(c);
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                value += sql[j++];
            }
            if (!closed)
                fail(kErrExpression, "Unterminated text literal in query expression", pos,
                     std::string(sql.substr(i, 20)), sql);
            out.push_back({Tk::String, std::move(value), pos});
            i = j + 1;
        } else if (c == '#') {
            std::size_t close = sql.find('#', i + 1);
            if (close == std::string_view::npos)
                fail(kErrExpression, "Syntax error in date in query expression", pos, std::string(sql.substr(i, 20)),
                     sql);
            out.push_back({Tk::Date, std::string(sql.substr(i + 1, close - i - 1)), pos});
            i = close + 1;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            std::size_t j = i;
            while (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
            if (j < n && sql[j] == '.') {
                ++j;
                while (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
            }
            if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) {
                    while (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) ++k;
                    j = k;
                }
            }
            if (j < n && isNameChar(static_cast<unsigned char>(sql[j]))) {
                std::size_t k = j;
                while (k < n && isNameChar(static_cast<unsigned char>(sql[k]))) ++k;
                fail(kErrExpression, "Syntax error (missing operator) in query expression", pos,
                     std::string(sql.substr(i, k - i)), sql);
            }
            std::string literal(sql.substr(i, j - i));
            if (!std::isfinite(StrToDoubleC(literal.c_str())))
                fail(kErrExpression, "Numeric literal out of range in query expression", pos, literal, sql);
            out.push_back({Tk::Number, std::move(literal), pos});
            i = j;
        } else if (isNameStart(c)) {
            std::size_t j = i + 1;
            while (j < n && isNameChar(static_cast<unsigned char>(sql[j]))) ++j;
            out.push_back({Tk::Name, std::string(sql.substr(i, j - i)), pos});
            i = j;
        } else {
            static const char* const two[] = {"<>", "<=", ">="};
            std::string op;
            for (const char* t : two)
                if (sql.substr(i, 2) == t) op = t;
            if (op.empty()) {
                static const std::string_view singles = "=<>+-*/\\^&(),.!;";
                if (singles.find(static_cast<char>(c)) == std::string_view::npos)
                    fail(kErrExpression, "Invalid character in query expression", pos, std::string(1, static_cast<char>(c)),
                         sql);
                op = std::string(1, static_cast<char>(c));
            }
            out.push_back({Tk::Op, op, pos});
            i += op.size();
        }
    }
    out.push_back({Tk::End, std::string(), n + 1});
    return out;
}

// Words that end an expression or a name list and are never column names
// unless bracketed.
bool isReserved(std::string_view w) {
    static const char* const words[] = {
        "select", "from",  "where", "group",   "order",  "by",      "having",      "and",   "or",
        "not",    "xor",   "eqv",   "imp",     "mod",    "like",    "between",     "in",    "is",
        "null",   "true",  "false", "as",      "on",     "join",    "inner",       "left",  "right",
        "outer",  "union", "all",   "distinct", "distinctrow", "top", "percent",   "into",  "values",
        "set",    "update", "delete", "insert", "asc",   "desc",    "exists",      "transform", "pivot",
        "parameters"};
    for (const char* r : words)
        if (iequals(w, r)) return true;
    return false;
}

// ---------------------------------------------------------------------------
// Dates: the layer stores a date as the number of days since 1899-12-30 with
// the time of day as fraction.
// ---------------------------------------------------------------------------

// #m/d/yyyy#, #yyyy-mm-dd#, #yyyy/m/d#, each with an optional time
// h:nn[:ss] [AM|PM], or a time alone: read as the data layer reads a date
// text, so that a literal and the same text in a date column are one date.
std::optional<double> parseDateLiteral(std::string_view text) {
    double day = 0;
    if (!ParseDate(text, day)) return std::nullopt;
    return day;
}

std::string realLiteral(double v) {
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, res.ptr);
    if (s.find_first_of(".eE") == std::string::npos) s += ".0";
    return s;
}

// ---------------------------------------------------------------------------
// Expressions
// ---------------------------------------------------------------------------

// SQLite operator precedence, loosest first.
constexpr int kOr = 10, kAnd = 20, kNot = 30, kEq = 35, kRel = 40, kBit = 50, kAdd = 60, kMul = 70,
              kCollate = 85, kUnary = 90, kPrimary = 100;

// An expression already in SQLite's dialect, with what its parents need to
// know about it.
struct Ex {
    std::string sql;
    int prec = kPrimary;
    bool boolean = false;       // a truth value 1/0 (as a value it must become -1/0)
    bool column = false;        // a plain column reference
    bool textLiteral = false;   // a string literal
    bool text = false;          // yields text (concatenation, text functions)
    bool columnValue = false;   // may yield a column's value (IIf, Nz), so also its text
    bool aggregate = false;     // contains an aggregate of this query level
    bool constant = false;      // a literal
    bool parenthesized = false; // written in parentheses
    bool number = false;        // a column declared to hold numbers (Options::numberColumn)
    // A Yes/No column (Options::yesNoColumn): `sql` is its value as the field
    // reads it, `storedSql` the column as it is.
    bool yesNo = false;
    std::string storedSql;
    bool date = false;          // a date: CVDate(...) or a date literal
    // A plain column reference as written: its table or alias (may be
    // empty) and its name.
    std::string qualifier, name;
};

std::string wrap(const Ex& e, int minPrec) { return e.prec >= minPrec ? e.sql : "(" + e.sql + ")"; }

// In a value position a truth value becomes the engine's -1 / 0.
Ex asValue(Ex e) {
    if (!e.boolean) return e;
    Ex v;
    v.sql = "-" + (e.parenthesized ? e.sql : "(" + e.sql + ")");
    v.prec = kUnary;
    v.aggregate = e.aggregate;
    return v;
}

// A term of ORDER BY / GROUP BY that may carry text gets the case-blind
// collation (it does nothing to numbers).
std::string collated(const Ex& e) {
    if ((e.column || e.text || e.columnValue) && !e.constant) return wrap(e, kCollate) + " COLLATE GENERAL";
    return e.sql;
}

std::string withCollation(const Ex& e) { return wrap(e, kCollate) + " COLLATE GENERAL"; }

// Text compared with a text literal is compared case-blind. The collation
// goes on the column side where there is one (so an index declared with it
// still serves), else on the left. Returns which operand gets it: 0 none,
// 1 left, 2 right.
int collationSide(const Ex& l, const Ex& r, bool literalOnRight) {
    const bool lText = l.column || l.text || l.columnValue;
    if (!(literalOnRight && lText) && !(l.textLiteral && (r.column || r.text || r.columnValue))) return 0;
    if (l.column) return 1;
    if (r.column) return 2;
    return lText ? 1 : 2;
}

// An operand that may carry text: a column not known to hold numbers, a
// text, or a value that may be a column's.
bool mayBeText(const Ex& e) { return (e.column && !e.number) || e.text || e.columnValue; }

// Two operands that may both carry text are compared case-blind, as a text
// compared with a literal is: two columns (a join's keys, an In subquery's
// column, bounds of Between), texts, or both. A column declared to hold
// numbers keeps its plain comparison, so that its index still serves. The
// collation goes on the column side where there is one, else on the left.
// Returns which operand gets it: 0 none, 1 left, 2 right.
int caseBlindSide(const Ex& l, const Ex& r) {
    if (!mayBeText(l) || !mayBeText(r) || l.number || r.number) return 0;
    if (l.column) return 1;
    if (r.column) return 2;
    return 1;
}

struct SelectItem {
    std::string sql;
    Ex ex;
    bool star = false;
    std::string name;      // the result column's name
    std::string qualifier; // t of t.*
};

// FROM clause: text pieces and table names; table names get the external
// database's alias when the clause ends in IN '<path>'.
struct FromClause {
    struct Piece {
        Piece(bool isTable, std::string sqlText, std::string plainName = {})
            : table(isTable), text(std::move(sqlText)), plain(std::move(plainName)) {}
        bool table;
        std::string text;
        std::string plain; // a stored query read as a subquery: its name, as a table of an external database is named
    };
    std::vector<Piece> pieces;
    int tables = 0;
    bool join = false;
    bool subquery = false;
    std::string firstTable;      // as written
    std::string firstReference;  // quoted alias or table name, for rowid
    std::string externalAlias;

    std::string sql() const {
        std::string out;
        for (const auto& p : pieces) {
            if (p.table && !externalAlias.empty()) {
                out += JetSqlTranslator::QuoteIdentifier(externalAlias) + ".";
                out += p.plain.empty() ? p.text : p.plain;
                continue;
            }
            out += p.text;
        }
        return out;
    }
};


// A table a query level reads, by the name its columns are qualified with
// (the alias, else the table's name); the table's own name, empty for a
// subquery, a stored query read as one or a table of another file.
struct Shape;
struct Source {
    std::string reference;
    std::string table;
    // A subquery or a stored query read as a table: the columns it shows.
    std::shared_ptr<const Shape> shape;
    // A table of another file (FROM ... IN '<path>'): the file and the
    // table's name there.
    std::string path, pathTable;
};

// The columns a SELECT shows, as far as a Yes/No column is concerned: each
// result column in order, a plain column shown as it is by the name of the
// column it shows, and the tables it reads them from.
struct ShownColumn {
    bool star = false;      // * (every table), or t.* (`qualifier`)
    std::string name;       // the result column's name
    bool plain = false;     // a column shown as it is: `qualifier`.`column`
    std::string qualifier, column;
};
struct ShownCore {
    std::vector<ShownColumn> columns;
    std::vector<Source> sources;
};
// One core for each SELECT of a UNION.
struct Shape {
    std::vector<ShownCore> cores;
};

struct SelectCore {
    bool distinct = false;
    bool distinctWritten = false;
    std::optional<std::string> top;
    std::size_t topPos = 0;
    std::vector<SelectItem> items;
    bool hasInto = false;
    std::string intoTarget;
    std::string intoDatabase;
    bool hasFrom = false;
    FromClause from;
    std::string where;
    std::vector<std::string> groupBy;
    std::string having;
    bool aggregate = false;
    Ex firstItem; // the first result column, as a comparison needs to know it
    std::vector<Source> sources; // its tables, for ORDER BY
    ShownCore shown;             // the columns it shows
};

class Parser {
public:
    Parser(std::string_view sql, const JetSqlTranslator::Options& options, int queryDepth = 0)
        : m_sql(sql), m_tokens(tokenize(sql)), m_options(options), m_queryDepth(queryDepth) {}

    JetTranslation statement();
    JetTranslation expressionOnly();

private:
    // --- token access ---
    const Token& cur() const { return m_tokens[m_pos]; }
    const Token& peek(std::size_t k = 1) const { return m_tokens[std::min(m_pos + k, m_tokens.size() - 1)]; }
    bool atKw(const char* kw) const { return cur().type == Tk::Name && iequals(cur().text, kw); }
    bool peekKw(std::size_t k, const char* kw) const { return peek(k).type == Tk::Name && iequals(peek(k).text, kw); }
    bool atOp(const char* op) const { return cur().type == Tk::Op && cur().text == op; }
    bool acceptKw(const char* kw) {
        if (!atKw(kw)) return false;
        ++m_pos;
        return true;
    }
    bool acceptOp(const char* op) {
        if (!atOp(op)) return false;
        ++m_pos;
        return true;
    }
    [[noreturn]] void error(long number, const std::string& what) const {
        fail(number, what, cur().pos, describe(cur()), m_sql);
    }
    void expectOp(const char* op, long number) {
        if (!acceptOp(op)) error(number, std::string("Expected '") + op + "'");
    }
    void expectKw(const char* kw, long number) {
        if (!acceptKw(kw)) error(number, std::string("Expected ") + kw);
    }
    bool atName() const { return cur().type == Tk::Name || cur().type == Tk::Bracket; }
    // A name that may stand as an identifier here (bracketed, or not reserved).
    bool atIdentifier() const {
        return cur().type == Tk::Bracket || (cur().type == Tk::Name && !isReserved(cur().text));
    }
    std::string identifier(long number) {
        if (!atIdentifier()) error(number, "Expected a name");
        return m_tokens[m_pos++].text;
    }

    // --- expressions ---
    Ex expr() {
        Nesting n(*this);
        return parseXor();
    }
    // Counts one level of nesting for the length of its scope.
    class Nesting {
    public:
        explicit Nesting(Parser& p) : m_p(p) {
            if (++m_p.m_depth > kMaxNesting)
                m_p.error(kErrExpression, "The expression is nested more than " + std::to_string(kMaxNesting) +
                                              " levels deep");
        }
        ~Nesting() { --m_p.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Parser& m_p;
    };
    Ex parseXor();
    Ex parseOr();
    Ex parseAnd();
    Ex parseNot();
    Ex parseCompare();
    Ex parseConcat();
    Ex parseAdd();
    Ex parseMod();
    Ex parseIntDiv();
    Ex parseMul();
    Ex parseUnary();
    Ex parsePow();
    Ex parsePrimary();
    Ex parseNameOrCall();
    Ex callFunction(const Token& nameTok);
    std::vector<Ex> inList(bool& isSubquery, std::string& subquery);

    // --- statements ---
    // `values`: the statement's result columns are used as values (In
    // (SELECT ...), a subquery's value, the rows INSERT INTO appends), not
    // shown as the columns they are.
    std::string selectStatement(bool topLevel, JetTranslation* out, bool values = false);
    SelectCore selectCore(bool values);
    void fromClause(FromClause& from);
    void joinExpression(FromClause& from);
    void tablePrimary(FromClause& from);
    // `shape`: the columns the query shows.
    std::string storedQuery(const std::string& name, std::size_t namePos, std::shared_ptr<const Shape>& shape);
    std::string externalDatabase(std::size_t pos);
    std::string orderTerm();
    void finish();

    // The tables each query level reads.
    std::vector<std::vector<Source>> m_scopes{1};
    // Parameters declared with a type of numbers or dates.
    std::vector<std::string> m_numberParameters;
    // The first result column of the last SELECT read (for In (SELECT ...)).
    Ex m_lastFirstItem;
    // Marks a column declared to hold numbers (Options::numberColumn).
    void resolveNumber(Ex& e) const;

    // The tables of each query level as far as a Yes/No column's value is
    // concerned: a SELECT's select list comes before its FROM clause, so its
    // level is looked ahead for (sourcesAhead) before the list is read.
    std::vector<std::vector<Source>> m_yesNoScopes;
    // Reading ahead for a FROM clause's tables only: no further look ahead,
    // no Yes/No column looked up.
    bool m_probing = false;
    std::vector<Source> sourcesAhead() const;
    // Whether a plain column reference names a Yes/No column (Options::yesNoColumn).
    bool yesNoColumn(const Ex& e) const;
    // What a source read by a query level holds under a column name.
    enum class Has { No, Column, YesNo, Unknown };
    // `existence`: whether a column of that name that is no Yes/No field is
    // looked for (Has::Column), else Has::Unknown.
    Has lookup(const Source& s, const std::string& name, bool existence) const;
    Has lookup(const Shape& shape, const std::string& name, bool existence) const;
    Has lookup(const ShownCore& core, const std::string& name, bool existence) const;
    // A plain column a SELECT shows, among its tables.
    Has lookupShown(const ShownCore& core, const ShownColumn& c) const;
    // The columns the last SELECT read shows (for a subquery in FROM).
    std::shared_ptr<const Shape> m_lastShape;
    // The file the last IN '<path>' named.
    std::string m_lastPath;
    // Options::columns, asked once a table.
    const std::vector<JetSqlTranslator::Options::Column>& columnsOf(const std::string& path,
                                                                    const std::string& table) const;
    mutable std::map<std::string, std::vector<JetSqlTranslator::Options::Column>> m_columns;
    // The tables of a FROM clause ending in IN '<path>' are that file's.
    void external(std::vector<Source>& sources) const;
    // The columns a source shows, with whether each is a Yes/No column;
    // none when they cannot be told.
    std::optional<std::vector<JetSqlTranslator::Options::Column>> columnsShown(const Source& s) const;
    // * or t.* of a SELECT over `sources` with the values of its Yes/No
    // columns as they are read, each column named; empty when it shows no
    // Yes/No column (or its columns cannot be told).
    std::string starValues(const SelectItem& item, const std::vector<Source>& sources) const;

    std::string_view m_sql;
    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
    JetSqlTranslator::Options m_options;
    std::vector<TranslatedSql::Attachment> m_attachments;
    int m_queryDepth = 0;                        // stored queries read as subqueries around this statement
    std::vector<std::string> m_storedParameters; // the parameters those queries declare
    int m_exprNumber = 1000;
    int m_depth = 0;
};

void Parser::resolveNumber(Ex& e) const {
    if (!e.column) return;
    if (e.qualifier.empty())
        for (const auto& p : m_numberParameters)
            if (iequals(p, e.name)) {
                e.number = true;
                return;
            }
    if (!m_options.numberColumn) return;
    if (!e.qualifier.empty()) {
        for (auto scope = m_scopes.rbegin(); scope != m_scopes.rend(); ++scope)
            for (const auto& s : *scope)
                if (iequals(s.reference, e.qualifier)) {
                    e.number = !s.table.empty() && m_options.numberColumn(s.table, e.name);
                    return;
                }
        return;
    }
    // An unqualified name: a column of one of the tables of this level.
    const auto& scope = m_scopes.back();
    bool number = false;
    for (const auto& s : scope) {
        if (s.reference.empty()) continue; // a subquery without a name
        if (s.table.empty()) return;
        number = number || m_options.numberColumn(s.table, e.name);
    }
    e.number = number;
}

bool Parser::yesNoColumn(const Ex& e) const {
    if (!e.column || m_probing || !m_options.yesNoColumn || m_yesNoScopes.empty()) return false;
    if (!e.qualifier.empty()) {
        for (auto scope = m_yesNoScopes.rbegin(); scope != m_yesNoScopes.rend(); ++scope)
            for (const auto& s : *scope)
                if (iequals(s.reference, e.qualifier)) return lookup(s, e.name, false) == Has::YesNo;
        return false;
    }
    // An unqualified name: a column of one of the tables of this level, else,
    // when none of them has a column of that name, of the query around it
    // (a correlated subquery reads the outer query's columns so).
    for (auto scope = m_yesNoScopes.rbegin(); scope != m_yesNoScopes.rend(); ++scope) {
        // Whether a table has the name matters only where a query lies around.
        const bool outermost = std::next(scope) == m_yesNoScopes.rend();
        bool found = false;
        for (const auto& s : *scope) {
            const Has has = lookup(s, e.name, !outermost);
            if (has == Has::YesNo) return true;
            found = found || has != Has::No;
        }
        if (found || !m_options.columns) return false;
    }
    return false;
}

Parser::Has Parser::lookup(const Source& s, const std::string& name, bool existence) const {
    if (s.shape) return lookup(*s.shape, name, existence);
    if (!s.path.empty()) {
        if (!m_options.columns) return Has::Unknown;
        for (const auto& c : columnsOf(s.path, s.pathTable))
            if (iequals(c.name, name)) return c.yesNo ? Has::YesNo : existence ? Has::Column : Has::Unknown;
        return Has::No;
    }
    if (s.table.empty()) return Has::Unknown;
    if (m_options.yesNoColumn(s.table, name)) return Has::YesNo;
    if (!existence || !m_options.columns) return Has::Unknown;
    for (const auto& c : columnsOf(std::string(), s.table))
        if (iequals(c.name, name)) return Has::Column;
    return Has::No;
}

const std::vector<JetSqlTranslator::Options::Column>& Parser::columnsOf(const std::string& path,
                                                                        const std::string& table) const {
    const std::string key = path + '\x1f' + lower(table);
    auto at = m_columns.find(key);
    if (at == m_columns.end()) at = m_columns.emplace(key, m_options.columns(path, table)).first;
    return at->second;
}

std::optional<std::vector<JetSqlTranslator::Options::Column>> Parser::columnsShown(const Source& s) const {
    using Column = JetSqlTranslator::Options::Column;
    if (!m_options.columns) return std::nullopt;
    if (!s.path.empty()) return columnsOf(s.path, s.pathTable);
    if (!s.table.empty()) return columnsOf(std::string(), s.table);
    if (!s.shape) return std::nullopt;
    std::vector<Column> out;
    const ShownCore& core = s.shape->cores.front();
    for (const auto& c : core.columns) {
        if (c.star) {
            if (s.shape->cores.size() > 1) return std::nullopt;
            for (const auto& inner : core.sources) {
                if (!c.qualifier.empty() && !iequals(inner.reference, c.qualifier)) continue;
                const auto columns = columnsShown(inner);
                if (!columns) return std::nullopt;
                out.insert(out.end(), columns->begin(), columns->end());
            }
            continue;
        }
        out.push_back({c.name, lookup(*s.shape, c.name, false) == Has::YesNo});
    }
    return out;
}

std::string Parser::starValues(const SelectItem& item, const std::vector<Source>& sources) const {
    std::string sql;
    bool yesNo = false;
    for (const auto& s : sources) {
        if (!item.qualifier.empty() && !iequals(s.reference, item.qualifier)) continue;
        const auto columns = columnsShown(s);
        if (!columns || s.reference.empty()) return {};
        const std::string reference = JetSqlTranslator::QuoteIdentifier(s.reference) + ".";
        for (const auto& c : *columns) {
            const std::string column = reference + JetSqlTranslator::QuoteIdentifier(c.name);
            if (!sql.empty()) sql += ", ";
            sql += c.yesNo ? "jet_yesno(" + column + ") AS " + JetSqlTranslator::QuoteIdentifier(c.name) : column;
            yesNo = yesNo || c.yesNo;
        }
    }
    return yesNo ? sql : std::string();
}

void Parser::external(std::vector<Source>& sources) const {
    for (auto& source : sources) {
        if (!source.table.empty()) {
            source.path = m_lastPath;
            source.pathTable = source.table;
        }
        source.table.clear();
    }
}

std::vector<Source> Parser::sourcesAhead() const {
    if (m_probing || !m_options.yesNoColumn) return {};
    // The FROM of this SELECT: the first one outside parentheses.
    std::size_t i = m_pos;
    for (int depth = 0;; ++i) {
        const Token& t = m_tokens[i];
        if (t.type == Tk::End) return {};
        if (t.type == Tk::Op && t.text == "(") {
            ++depth;
        } else if (t.type == Tk::Op && t.text == ")") {
            if (depth-- == 0) return {};
        } else if (depth == 0 && t.type == Tk::Name) {
            if (iequals(t.text, "From")) break;
            if (iequals(t.text, "Where") || iequals(t.text, "Union") || iequals(t.text, "Group") ||
                iequals(t.text, "Order") || iequals(t.text, "Having"))
                return {};
        }
    }
    // Its tables, read by a parser of their own: nothing read here counts
    // for the statement (attachments, parameters, names of computed
    // columns), and a clause that fails to read fails where the statement
    // reads it.
    JetSqlTranslator::Options options = m_options;
    options.aliasFor = nullptr;
    Parser ahead(m_sql, options, m_queryDepth);
    ahead.m_probing = true;
    ahead.m_pos = i + 1;
    ahead.m_depth = m_depth;
    try {
        FromClause from;
        ahead.fromClause(from);
    } catch (const DaoError&) {
        return {};
    }
    return ahead.m_scopes.back();
}

Parser::Has Parser::lookup(const Shape& shape, const std::string& name, bool existence) const {
    if (shape.cores.size() == 1) return lookup(shape.cores.front(), name, existence);
    // A UNION: its columns are named by its first SELECT; one is a Yes/No
    // column when each SELECT shows one there.
    std::size_t at = 0;
    bool named = false;
    for (const auto& core : shape.cores)
        for (const auto& c : core.columns)
            if (c.star) return Has::Unknown;
    const auto& first = shape.cores.front().columns;
    for (; at < first.size() && !named; ++at) named = iequals(first[at].name, name);
    if (!named) return Has::No;
    --at;
    for (const auto& core : shape.cores) {
        if (at >= core.columns.size()) return Has::Unknown;
        const auto& c = core.columns[at];
        if (!c.plain || lookupShown(core, c) != Has::YesNo) return existence ? Has::Column : Has::Unknown;
    }
    return Has::YesNo;
}

Parser::Has Parser::lookup(const ShownCore& core, const std::string& name, bool existence) const {
    for (const auto& c : core.columns) {
        if (c.star) {
            for (const auto& s : core.sources) {
                if (!c.qualifier.empty() && !iequals(s.reference, c.qualifier)) continue;
                const Has has = lookup(s, name, true);
                if (has != Has::No) return has == Has::Column && !existence ? Has::Unknown : has;
            }
            continue;
        }
        if (!iequals(c.name, name)) continue;
        if (!c.plain) return existence ? Has::Column : Has::Unknown;
        const Has has = lookupShown(core, c);
        return has == Has::YesNo || existence ? has : Has::Unknown;
    }
    return Has::No;
}

Parser::Has Parser::lookupShown(const ShownCore& core, const ShownColumn& c) const {
    bool yesNo = false;
    for (const auto& s : core.sources) {
        if (!c.qualifier.empty()) {
            if (iequals(s.reference, c.qualifier)) return lookup(s, c.column, true) == Has::YesNo ? Has::YesNo : Has::Column;
            continue;
        }
        yesNo = yesNo || lookup(s, c.column, false) == Has::YesNo;
    }
    return yesNo ? Has::YesNo : Has::Column;
}

// A type of a PARAMETERS declaration whose values are numbers or dates.
bool numberType(std::string_view type) {
    static const char* const kTypes[] = {"Bit",      "YesNo",   "Logical",  "Byte",       "TinyInt", "Short",
                                         "SmallInt", "Integer", "Int",      "Long",       "Counter", "AutoIncrement",
                                         "Single",   "Real",    "Float",    "IEEESingle", "Double",  "IEEEDouble",
                                         "Number",   "Numeric", "Decimal",  "Currency",   "Money",   "DateTime",
                                         "Date",     "Time"};
    for (const char* t : kTypes)
        if (iequals(type, t)) return true;
    return false;
}

// Xor, the loosest operator supported (Eqv and Imp are not).
Ex Parser::parseXor() {
    Ex l = parseOr();
    while (true) {
        if (atKw("Eqv") || atKw("Imp")) error(kErrUnsupported, "The operator " + cur().text + " is not supported");
        if (!acceptKw("Xor")) return l;
        Ex r = parseOr();
        Ex e;
        e.sql = "(" + wrap(l, kRel) + " <> 0) <> (" + wrap(r, kRel) + " <> 0)";
        e.prec = kEq;
        e.boolean = true;
        e.aggregate = l.aggregate || r.aggregate;
        l = e;
    }
}

Ex Parser::parseOr() {
    Ex l = parseAnd();
    while (acceptKw("Or")) {
        Ex r = parseAnd();
        Ex e;
        e.sql = wrap(l, kOr) + " OR " + wrap(r, kOr);
        e.prec = kOr;
        e.boolean = true;
        e.aggregate = l.aggregate || r.aggregate;
        l = e;
    }
    return l;
}

Ex Parser::parseAnd() {
    Ex l = parseNot();
    while (acceptKw("And")) {
        Ex r = parseNot();
        Ex e;
        e.sql = wrap(l, kAnd) + " AND " + wrap(r, kAnd);
        e.prec = kAnd;
        e.boolean = true;
        e.aggregate = l.aggregate || r.aggregate;
        l = e;
    }
    return l;
}

Ex Parser::parseNot() {
    if (acceptKw("Not")) {
        Nesting n(*this);
        Ex operand = parseNot();
        Ex e;
        e.sql = "NOT " + wrap(operand, kNot);
        e.prec = kNot;
        e.boolean = true;
        e.aggregate = operand.aggregate;
        return e;
    }
    return parseCompare();
}

// Comparisons, Like, Between, In and Is [Not] Null share one level and
// associate to the left.
Ex Parser::parseCompare() {
    Ex l = parseConcat();
    while (true) {
        const Token& t = cur();
        if (t.type == Tk::Op && (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" ||
                                 t.text == "<=" || t.text == ">=")) {
            std::string op = t.text;
            ++m_pos;
            Ex lv = asValue(l);
            Ex rv = asValue(parseConcat());
            int prec = (op == "=" || op == "<>") ? kEq : kRel;
            std::string ls = wrap(lv, prec), rs = wrap(rv, prec + 1);
            int side = collationSide(lv, rv, rv.textLiteral);
            if (side == 0) {
                resolveNumber(lv);
                resolveNumber(rv);
                side = caseBlindSide(lv, rv);
            }
            if (side == 1) ls = withCollation(lv);
            else if (side == 2) rs = withCollation(rv);
            Ex e;
            e.sql = ls + " " + op + " " + rs;
            e.prec = prec;
            e.boolean = true;
            e.aggregate = lv.aggregate || rv.aggregate;
            l = e;
            continue;
        }
        bool negated = false;
        std::size_t save = m_pos;
        if (atKw("Not") && (peekKw(1, "Like") || peekKw(1, "Between") || peekKw(1, "In"))) {
            negated = true;
            ++m_pos;
        }
        if (acceptKw("Like")) {
            Ex lv = asValue(l);
            Ex pattern = asValue(parseConcat());
            Ex e;
            e.sql = "jet_like(" + lv.sql + ", " + pattern.sql + ")";
            e.prec = kPrimary;
            if (negated) {
                e.sql = "NOT " + e.sql;
                e.prec = kNot;
            }
            e.boolean = true;
            e.aggregate = lv.aggregate || pattern.aggregate;
            l = e;
        } else if (acceptKw("Between")) {
            Ex lv = asValue(l);
            Ex lo = asValue(parseConcat());
            if (!acceptKw("And")) error(kErrExpression, "Between operator without And in query expression");
            Ex hi = asValue(parseConcat());
            std::string ls = wrap(lv, kBit);
            resolveNumber(lv);
            resolveNumber(lo);
            resolveNumber(hi);
            if ((lv.column || lv.text || lv.columnValue) && (lo.textLiteral || hi.textLiteral)) ls = withCollation(lv);
            else if (caseBlindSide(lv, lo) || caseBlindSide(lv, hi)) ls = withCollation(lv);
            Ex e;
            e.sql = ls + (negated ? " NOT BETWEEN " : " BETWEEN ") + wrap(lo, kBit) + " AND " + wrap(hi, kBit);
            e.prec = kEq;
            e.boolean = true;
            e.aggregate = lv.aggregate || lo.aggregate || hi.aggregate;
            l = e;
        } else if (acceptKw("In")) {
            Ex lv = asValue(l);
            bool isSubquery = false;
            std::string subquery;
            std::vector<Ex> items = inList(isSubquery, subquery);
            std::string ls = wrap(lv, kBit);
            std::string list;
            resolveNumber(lv);
            if (isSubquery) {
                list = subquery;
                if (caseBlindSide(lv, m_lastFirstItem)) ls = withCollation(lv);
            } else {
                bool anyText = false;
                bool caseBlind = false;
                for (std::size_t i = 0; i < items.size(); ++i) {
                    if (i) list += ", ";
                    list += items[i].sql;
                    anyText = anyText || items[i].textLiteral;
                    resolveNumber(items[i]);
                    caseBlind = caseBlind || caseBlindSide(lv, items[i]) != 0;
                }
                if (((lv.column || lv.text || lv.columnValue) && anyText) || caseBlind) ls = withCollation(lv);
            }
            Ex e;
            e.sql = ls + (negated ? " NOT IN (" : " IN (") + list + ")";
            e.prec = kEq;
            e.boolean = true;
            e.aggregate = lv.aggregate;
            l = e;
        } else if (negated) {
            m_pos = save;
            return l;
        } else if (acceptKw("Is")) {
            bool isNot = acceptKw("Not");
            if (!acceptKw("Null")) error(kErrExpression, "Expected Null after Is in query expression");
            Ex lv = asValue(l);
            Ex e;
            e.sql = wrap(lv, kRel) + (isNot ? " IS NOT NULL" : " IS NULL");
            e.prec = kEq;
            e.boolean = true;
            e.aggregate = lv.aggregate;
            l = e;
        } else {
            return l;
        }
    }
}

std::vector<Ex> Parser::inList(bool& isSubquery, std::string& subquery) {
    expectOp("(", kErrExpression);
    std::vector<Ex> items;
    if (atKw("Select")) {
        isSubquery = true;
        subquery = selectStatement(false, nullptr, true);
    } else {
        do {
            items.push_back(asValue(expr()));
        } while (acceptOp(","));
    }
    if (!acceptOp(")")) error(kErrExpression, "Missing ) in query expression");
    return items;
}

// a & b & c → jet_concat(a, b, c): Null counts as "", all Null gives Null.
Ex Parser::parseConcat() {
    Ex first = parseAdd();
    if (!atOp("&")) return first;
    std::vector<Ex> parts{asValue(first)};
    while (acceptOp("&")) parts.push_back(asValue(parseAdd()));
    Ex e;
    e.sql = "jet_concat(";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) e.sql += ", ";
        e.sql += parts[i].sql;
        e.aggregate = e.aggregate || parts[i].aggregate;
    }
    e.sql += ")";
    e.text = true;
    return e;
}

Ex binary(const Ex& l0, const char* op, const Ex& r0, int prec) {
    Ex l = asValue(l0), r = asValue(r0);
    Ex e;
    e.sql = wrap(l, prec) + " " + op + " " + wrap(r, prec + 1);
    e.prec = prec;
    e.aggregate = l.aggregate || r.aggregate;
    return e;
}

Ex call(const char* fn, const Ex& l0, const Ex& r0) {
    Ex l = asValue(l0), r = asValue(r0);
    Ex e;
    e.sql = std::string(fn) + "(" + l.sql + ", " + r.sql + ")";
    e.aggregate = l.aggregate || r.aggregate;
    return e;
}

Ex Parser::parseAdd() {
    Ex l = parseMod();
    while (true) {
        if (acceptOp("+")) {
            // Where a text may stand on either side, + joins two texts (a
            // Null on either side gives Null) and adds anything else.
            Ex r = parseMod();
            if (l.text || r.text) {
                l = call("jet_add", l, r);
                l.text = true;
            } else {
                l = binary(l, "+", r, kAdd);
            }
        } else if (acceptOp("-")) l = binary(l, "-", parseMod(), kAdd);
        else return l;
    }
}

Ex Parser::parseMod() {
    Ex l = parseIntDiv();
    while (acceptKw("Mod")) l = call("jet_mod", l, parseIntDiv());
    return l;
}

Ex Parser::parseIntDiv() {
    Ex l = parseMul();
    while (acceptOp("\\")) l = call("jet_idiv", l, parseMul());
    return l;
}

Ex Parser::parseMul() {
    Ex l = parseUnary();
    while (true) {
        if (acceptOp("*")) l = binary(l, "*", parseUnary(), kMul);
        else if (acceptOp("/")) l = call("jet_div", l, parseUnary());
        else return l;
    }
}

// Unary minus binds looser than ^: -2^2 is -(2^2).
Ex Parser::parseUnary() {
    if (acceptOp("-")) {
        Nesting n(*this);
        Ex operand = asValue(parseUnary());
        std::string s = wrap(operand, kUnary);
        if (!s.empty() && s[0] == '-') s = "(" + s + ")";
        Ex e;
        e.sql = "-" + s;
        e.prec = kUnary;
        e.constant = operand.constant && !operand.textLiteral;
        e.aggregate = operand.aggregate;
        return e;
    }
    if (acceptOp("+")) {
        Nesting n(*this);
        return asValue(parseUnary());
    }
    return parsePow();
}

// ^ associates to the left: 2^3^2 is (2^3)^2. Its right operand may carry
// a sign (2^-1).
Ex Parser::parsePow() {
    Ex l = parsePrimary();
    while (acceptOp("^")) {
        Ex r;
        if (atOp("-") || atOp("+")) {
            bool minus = atOp("-");
            ++m_pos;
            Ex operand = asValue(parsePrimary());
            if (minus) {
                std::string s = wrap(operand, kUnary);
                if (!s.empty() && s[0] == '-') s = "(" + s + ")";
                r.sql = "-" + s;
                r.prec = kUnary;
                r.aggregate = operand.aggregate;
            } else {
                r = operand;
            }
        } else {
            r = parsePrimary();
        }
        l = call("jet_pow", l, r);
    }
    return l;
}

Ex Parser::parsePrimary() {
    const Token t = cur();
    Ex e;
    switch (t.type) {
    case Tk::Number:
        ++m_pos;
        e.sql = t.text;
        e.constant = true;
        return e;
    case Tk::String:
        ++m_pos;
        e.sql = JetSqlTranslator::QuoteString(t.text);
        e.constant = e.textLiteral = e.text = true;
        return e;
    case Tk::Date: {
        auto d = parseDateLiteral(t.text);
        if (!d) error(kErrExpression, "Syntax error in date in query expression");
        ++m_pos;
        e.sql = realLiteral(*d);
        e.constant = true;
        e.date = true;
        return e;
    }
    case Tk::Op:
        if (t.text == "(") {
            ++m_pos;
            if (atKw("Select")) {
                e.sql = "(" + selectStatement(false, nullptr, true) + ")";
                // A value read by a subquery may be its column's text.
                e.columnValue = mayBeText(m_lastFirstItem);
            } else {
                Ex inner = expr();
                e = inner;
                e.sql = "(" + inner.sql + ")";
                e.prec = kPrimary;
                e.parenthesized = true;
            }
            if (!acceptOp(")")) error(kErrExpression, "Missing ) in query expression");
            return e;
        }
        break;
    case Tk::Bracket:
        return parseNameOrCall();
    case Tk::Name:
        if (iequals(t.text, "Null")) {
            ++m_pos;
            e.sql = "NULL";
            e.constant = true;
            return e;
        }
        if (iequals(t.text, "True") || iequals(t.text, "False")) {
            ++m_pos;
            e.sql = iequals(t.text, "True") ? "-1" : "0";
            e.constant = true;
            return e;
        }
        if (iequals(t.text, "Exists")) {
            ++m_pos;
            expectOp("(", kErrExpression);
            if (!atKw("Select")) error(kErrExpression, "Expected a subquery after Exists");
            e.sql = "EXISTS (" + selectStatement(false, nullptr) + ")";
            if (!acceptOp(")")) error(kErrExpression, "Missing ) in query expression");
            e.boolean = true;
            return e;
        }
        if (peek().type == Tk::Op && peek().text == "(") return parseNameOrCall();
        if (!isReserved(t.text)) return parseNameOrCall();
        break;
    case Tk::End:
        error(kErrExpression, "Syntax error (missing operand) in query expression");
    }
    error(kErrExpression, "Syntax error (missing operator) in query expression");
}

// name, [name], t.f, [t].[f], t!f, or a function call name(...).
Ex Parser::parseNameOrCall() {
    const Token first = m_tokens[m_pos++];
    if (first.type == Tk::Name && atOp("(")) return callFunction(first);
    std::vector<std::string> parts{first.text};
    while ((atOp(".") || atOp("!")) && (peek().type == Tk::Name || peek().type == Tk::Bracket)) {
        ++m_pos;
        parts.push_back(m_tokens[m_pos++].text);
    }
    if (atOp(".") || atOp("!")) {
        ++m_pos;
        error(kErrExpression, "Expected a name in query expression");
    }
    if (parts.size() > 2) fail(kErrExpression, "Too many name qualifiers in query expression", first.pos, first.text, m_sql);
    Ex e;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) e.sql += ".";
        e.sql += JetSqlTranslator::QuoteIdentifier(parts[i]);
    }
    e.column = true;
    e.name = parts.back();
    if (parts.size() == 2) e.qualifier = parts[0];
    if (yesNoColumn(e)) {
        e.yesNo = true;
        e.storedSql = e.sql;
        e.sql = "jet_yesno(" + e.sql + ")";
    }
    return e;
}

enum class Fn {
    IIf, IsNull, Nz, Native, NativeMinMax, CountFn, JetAggregate, Scalar, TextScalar
};

struct FunctionDef {
    const char* name;   // lower case, as written in the engine's dialect
    Fn kind;
    int minArgs, maxArgs;
    const char* target; // SQLite function
};

const FunctionDef kFunctions[] = {
    {"iif", Fn::IIf, 3, 3, ""},
    {"isnull", Fn::IsNull, 1, 1, ""},
    {"nz", Fn::Nz, 1, 2, "coalesce"},
    {"sum", Fn::Native, 1, 1, "sum"},
    {"avg", Fn::Native, 1, 1, "avg"},
    {"count", Fn::CountFn, 1, 1, "count"},
    {"min", Fn::NativeMinMax, 1, 1, "min"},
    {"max", Fn::NativeMinMax, 1, 1, "max"},
    {"first", Fn::JetAggregate, 1, 1, "jet_first"},
    {"last", Fn::JetAggregate, 1, 1, "jet_last"},
    {"stdev", Fn::JetAggregate, 1, 1, "jet_stdev"},
    {"stdevp", Fn::JetAggregate, 1, 1, "jet_stdevp"},
    {"var", Fn::JetAggregate, 1, 1, "jet_var"},
    {"varp", Fn::JetAggregate, 1, 1, "jet_varp"},
    {"val", Fn::Scalar, 1, 1, "jet_val"},
    {"len", Fn::Scalar, 1, 1, "jet_len"},
    {"left", Fn::TextScalar, 2, 2, "jet_left"},
    {"right", Fn::TextScalar, 2, 2, "jet_right"},
    {"mid", Fn::TextScalar, 2, 3, "jet_mid"},
    {"ucase", Fn::TextScalar, 1, 1, "jet_ucase"},
    {"lcase", Fn::TextScalar, 1, 1, "jet_lcase"},
    {"trim", Fn::TextScalar, 1, 1, "jet_trim"},
    {"ltrim", Fn::TextScalar, 1, 1, "jet_ltrim"},
    {"rtrim", Fn::TextScalar, 1, 1, "jet_rtrim"},
    {"int", Fn::Scalar, 1, 1, "jet_int"},
    {"fix", Fn::Scalar, 1, 1, "jet_fix"},
    {"abs", Fn::Scalar, 1, 1, "jet_abs"},
    {"sqr", Fn::Scalar, 1, 1, "jet_sqr"},
    {"log", Fn::Scalar, 1, 1, "jet_log"},
    {"exp", Fn::Scalar, 1, 1, "jet_exp"},
    {"sgn", Fn::Scalar, 1, 1, "jet_sgn"},
    {"cstr", Fn::TextScalar, 1, 1, "jet_cstr"},
    {"cdbl", Fn::Scalar, 1, 1, "jet_cdbl"},
    {"cvdate", Fn::Scalar, 1, 1, "jet_cvdate"},
    {"isnumeric", Fn::Scalar, 1, 1, "jet_isnumeric"},
    {"csng", Fn::Scalar, 1, 1, "jet_csng"},
    {"clng", Fn::Scalar, 1, 1, "jet_clng"},
    {"cint", Fn::Scalar, 1, 1, "jet_cint"},
    {"cbool", Fn::Scalar, 1, 1, "jet_cbool"},
    {"round", Fn::Scalar, 1, 2, "jet_round"},
    {"str", Fn::TextScalar, 1, 1, "jet_str"},
    {"instr", Fn::Scalar, 2, 4, "jet_instr"},
};

Ex Parser::callFunction(const Token& nameTok) {
    std::string name = lower(nameTok.text);
    // The text forms Left$, Mid$, ... are the same functions.
    if (name.size() > 1 && name.back() == '$') name.pop_back();
    const FunctionDef* def = nullptr;
    for (const auto& f : kFunctions)
        if (name == f.name) def = &f;
    if (!def) fail(kErrFunction, "Undefined function '" + nameTok.text + "' in expression", nameTok.pos, nameTok.text, m_sql);

    expectOp("(", kErrExpression);
    std::vector<Ex> args;
    bool star = false;
    if (def->kind == Fn::CountFn && atOp("*")) {
        ++m_pos;
        star = true;
    } else if (!atOp(")")) {
        do {
            args.push_back(expr());
        } while (acceptOp(","));
    }
    if (!acceptOp(")")) error(kErrExpression, "Missing ) in query expression");
    int n = static_cast<int>(args.size());
    if (!star && (n < def->minArgs || n > def->maxArgs))
        fail(kErrExpression, "Wrong number of arguments used with function '" + nameTok.text + "' in query expression",
             nameTok.pos, nameTok.text, m_sql);

    Ex e;
    for (const auto& a : args) e.aggregate = e.aggregate || a.aggregate;
    switch (def->kind) {
    case Fn::IIf: {
        Ex a = asValue(args[1]), b = asValue(args[2]);
        e.sql = "CASE WHEN " + args[0].sql + " THEN " + a.sql + " ELSE " + b.sql + " END";
        e.text = a.text && b.text;
        // A column's text passed through keeps the case-blind order and
        // comparison it has as a column: "IIf(IsNull([Name]), 'zz', [Name])".
        e.columnValue = a.column || b.column || a.columnValue || b.columnValue;
        return e;
    }
    case Fn::IsNull:
        e.sql = wrap(asValue(args[0]), kRel) + " IS NULL";
        e.prec = kEq;
        e.boolean = true;
        return e;
    case Fn::Nz:
        e.sql = "coalesce(" + asValue(args[0]).sql + ", " + (n == 2 ? asValue(args[1]).sql : std::string("''")) + ")";
        // "Nz([Name], '')" sorts, groups and compares as the column's text does.
        e.columnValue = args[0].column || args[0].columnValue || (n == 2 && (args[1].column || args[1].columnValue));
        return e;
    case Fn::CountFn:
        e.sql = star ? "count(*)" : "count(" + asValue(args[0]).sql + ")";
        e.aggregate = true;
        return e;
    case Fn::NativeMinMax: {
        Ex a = asValue(args[0]);
        e.sql = std::string(def->target) + "(" + (a.column ? collated(a) : a.sql) + ")";
        e.aggregate = true;
        return e;
    }
    case Fn::Native:
    case Fn::JetAggregate: {
        Ex a = asValue(args[0]);
        e.sql = std::string(def->target) + "(" + a.sql + ")";
        e.aggregate = true;
        // First and Last give one of the column's values, its text as it is.
        const std::string_view target = def->target;
        e.columnValue = (target == "jet_first" || target == "jet_last") && mayBeText(a);
        return e;
    }
    case Fn::Scalar:
    case Fn::TextScalar:
        e.sql = std::string(def->target) + "(";
        for (int i = 0; i < n; ++i) {
            if (i) e.sql += ", ";
            e.sql += asValue(args[static_cast<std::size_t>(i)]).sql;
        }
        e.sql += ")";
        e.text = def->kind == Fn::TextScalar;
        e.date = std::string_view(def->target) == "jet_cvdate";
        return e;
    }
    return e;
}

// ---------------------------------------------------------------------------
// Statements
// ---------------------------------------------------------------------------

// IN '<path>' after a table reference: the path's alias for this statement.
std::string Parser::externalDatabase(std::size_t pos) {
    if (cur().type != Tk::String) error(kErrFrom, "Expected the database file name after IN");
    std::string path = m_tokens[m_pos++].text;
    // A connect text in brackets may follow: [;DATABASE=<path>;PWD=<password>].
    std::string password;
    bool hasPassword = false;
    if (cur().type == Tk::Bracket) {
        const std::string connect = m_tokens[m_pos++].text;
        std::size_t start = 0;
        while (start <= connect.size()) {
            std::size_t end = connect.find(';', start);
            if (end == std::string::npos) end = connect.size();
            const std::string part = connect.substr(start, end - start);
            const std::size_t eq = part.find('=');
            if (eq != std::string::npos) {
                const std::string key = lower(part.substr(0, eq));
                if (key == "pwd") {
                    password = part.substr(eq + 1);
                    hasPassword = true;
                } else if (key == "database" && path.empty()) {
                    path = part.substr(eq + 1);
                }
            }
            start = end + 1;
        }
    }
    if (path.empty()) fail(kErrUnsupported, "External databases other than database files are not supported", pos, "IN ''", m_sql);
    m_lastPath = path;
    for (const auto& a : m_attachments)
        if (a.path == path) return a.alias;
    TranslatedSql::Attachment a{m_options.aliasFor ? m_options.aliasFor(path)
                                                   : "ext" + std::to_string(m_attachments.size() + 1),
                                path, password, hasPassword};
    m_attachments.push_back(a);
    return a.alias;
}

// A stored query the file holds no view of, named in a FROM clause: its
// statement in parentheses, or empty when the name is no such query.
std::string Parser::storedQuery(const std::string& name, std::size_t namePos, std::shared_ptr<const Shape>& shape) {
    if (!m_options.storedQuery) return {};
    const std::string sql = m_options.storedQuery(name);
    if (sql.empty()) return {};
    // A query that reads itself, through others or not, is never done.
    if (m_queryDepth >= 16) fail(err::InputTableNotFound, "Circular reference caused by '" + name + "'", namePos, name, m_sql);
    JetSqlTranslator::Options nested = m_options;
    nested.keyset = false;
    nested.ties = JetSqlTranslator::Options::Ties::Unordered;
    Parser inner(sql, nested, m_queryDepth + 1);
    inner.m_probing = m_probing;
    JetTranslation t = inner.statement();
    if (t.kind != TranslatedSql::Kind::Select) return {};
    for (const auto& a : t.attachments) {
        bool known = false;
        for (const auto& have : m_attachments) known = known || have.path == a.path;
        if (!known) m_attachments.push_back(a);
    }
    for (auto& p : t.parameters) m_storedParameters.push_back(std::move(p));
    shape = inner.m_lastShape;
    return "(" + t.text + ")";
}

void Parser::tablePrimary(FromClause& from) {
    if (acceptOp("(")) {
        Nesting n(*this);
        if (atKw("Select")) {
            from.subquery = true;
            from.pieces.push_back({false, "(" + selectStatement(false, nullptr) + ")"});
            const std::shared_ptr<const Shape> shape = m_lastShape;
            if (!acceptOp(")")) error(kErrFrom, "Missing ) in FROM clause");
            acceptKw("As");
            if (atIdentifier()) {
                std::string alias = identifier(kErrFrom);
                m_scopes.back().push_back({alias, std::string(), shape, {}, {}});
                from.pieces.push_back({false, " AS " + JetSqlTranslator::QuoteIdentifier(alias)});
            } else {
                // Its columns are named without a table.
                m_scopes.back().push_back({std::string(), std::string(), shape, {}, {}});
            }
            ++from.tables;
            return;
        }
        from.pieces.push_back({false, "("});
        joinExpression(from);
        if (!acceptOp(")")) error(kErrFrom, "Missing ) in FROM clause");
        from.pieces.push_back({false, ")"});
        return;
    }
    if (!atIdentifier()) error(kErrFrom, "Syntax error in FROM clause");
    const std::size_t namePos = cur().pos;
    std::string name = identifier(kErrFrom);
    if (atOp(".") || atOp("!")) error(kErrUnsupported, "Qualified table names are not supported in FROM clause");
    // SQLite's own catalogue is not a table of the user's database.
    if (name.size() >= 7 && iequals(std::string_view(name).substr(0, 7), "sqlite_"))
        fail(err::InputTableNotFound, "Cannot find the input table or query '" + name + "'", namePos, name, m_sql);
    std::string reference = JetSqlTranslator::QuoteIdentifier(name);
    std::shared_ptr<const Shape> shape;
    const std::string stored = storedQuery(name, namePos, shape);
    from.pieces.push_back({true, stored.empty() ? reference : stored, stored.empty() ? std::string() : reference});
    if (!stored.empty() && !atKw("As") && !atIdentifier()) from.pieces.push_back({false, " AS " + reference});
    std::string referenceName = name;
    if (acceptKw("As") || atIdentifier()) {
        referenceName = identifier(kErrFrom);
        reference = JetSqlTranslator::QuoteIdentifier(referenceName);
        from.pieces.push_back({false, " AS " + reference});
    }
    m_scopes.back().push_back({referenceName, stored.empty() ? name : std::string(), shape, {}, {}});
    if (from.tables == 0 && !from.subquery) {
        from.firstTable = name;
        from.firstReference = reference;
    }
    ++from.tables;
}

void Parser::joinExpression(FromClause& from) {
    tablePrimary(from);
    while (true) {
        std::string kind;
        if (atKw("Inner") && peekKw(1, "Join")) {
            kind = " INNER JOIN ";
            m_pos += 2;
        } else if ((atKw("Left") || atKw("Right")) &&
                   (peekKw(1, "Join") || (peekKw(1, "Outer") && peekKw(2, "Join")))) {
            kind = atKw("Left") ? " LEFT JOIN " : " RIGHT JOIN ";
            m_pos += peekKw(1, "Outer") ? 3 : 2;
        } else if (atKw("Join")) {
            error(kErrFrom, "Syntax error in JOIN operation");
        } else {
            return;
        }
        from.join = true;
        from.pieces.push_back({false, kind});
        tablePrimary(from);
        if (!acceptKw("On")) error(kErrFrom, "Syntax error in JOIN operation: expected ON");
        from.pieces.push_back({false, " ON " + expr().sql});
    }
}

void Parser::fromClause(FromClause& from) {
    joinExpression(from);
    while (acceptOp(",")) {
        from.join = true;
        from.pieces.push_back({false, ", "});
        joinExpression(from);
    }
    if (atKw("In")) {
        std::size_t pos = cur().pos;
        ++m_pos;
        from.externalAlias = externalDatabase(pos);
        // Its tables are another file's: their columns are looked up there.
        external(m_scopes.back());
    }
}

SelectCore Parser::selectCore(bool values) {
    SelectCore core;
    m_scopes.emplace_back();
    m_yesNoScopes.push_back(sourcesAhead());
    expectKw("Select", kErrStatement);
    if (acceptKw("DistinctRow") || acceptKw("All")) {
    } else if (acceptKw("Distinct")) {
        core.distinct = core.distinctWritten = true;
    }
    if (atKw("Top")) {
        core.topPos = cur().pos;
        ++m_pos;
        if (cur().type != Tk::Number || cur().text.find_first_not_of("0123456789") != std::string::npos ||
            std::strtoll(cur().text.c_str(), nullptr, 10) <= 0)
            error(kErrExpression, "The TOP clause needs a positive whole number");
        core.top = m_tokens[m_pos++].text;
        if (atKw("Percent")) error(kErrUnsupported, "TOP n PERCENT is not supported");
    }
    do {
        SelectItem item;
        if (atOp("*")) {
            ++m_pos;
            item.sql = "*";
            item.star = true;
        } else if (atName() && (peek().type == Tk::Op && (peek().text == "." || peek().text == "!")) &&
                   peek(2).type == Tk::Op && peek(2).text == "*") {
            item.sql = JetSqlTranslator::QuoteIdentifier(cur().text) + ".*";
            item.star = true;
            item.qualifier = cur().text;
            m_pos += 3;
        } else {
            item.ex = asValue(expr());
            // A Yes/No column selected as it is stays the column (its field
            // reads it as True or False), unless its values are used.
            item.sql = item.ex.yesNo && !values ? item.ex.storedSql : item.ex.sql;
            core.aggregate = core.aggregate || item.ex.aggregate;
            if (acceptKw("As")) {
                item.name = identifier(kErrExpression);
                item.sql += " AS " + JetSqlTranslator::QuoteIdentifier(item.name);
            } else if (!item.ex.column) {
                // The engine names an unnamed computed column Expr1000, Expr1001, ...
                item.name = "Expr" + std::to_string(m_exprNumber++);
                item.sql += " AS " + JetSqlTranslator::QuoteIdentifier(item.name);
            } else {
                item.name = item.ex.name;
            }
        }
        core.items.push_back(std::move(item));
    } while (acceptOp(","));
    if (acceptKw("Into")) {
        core.hasInto = true;
        core.intoTarget = identifier(kErrStatement);
        if (atKw("In")) {
            std::size_t pos = cur().pos;
            ++m_pos;
            core.intoDatabase = externalDatabase(pos);
        }
    }
    if (acceptKw("From")) {
        core.hasFrom = true;
        fromClause(core.from);
        m_yesNoScopes.back() = m_scopes.back();
    }
    if (acceptKw("Where")) core.where = expr().sql;
    if (atKw("Group") && peekKw(1, "By")) {
        m_pos += 2;
        do {
            Ex term = asValue(expr());
            if (term.aggregate) error(kErrExpression, "Cannot have aggregate function in GROUP BY clause");
            core.groupBy.push_back(collated(term));
        } while (acceptOp(","));
    }
    if (acceptKw("Having")) {
        Ex h = expr();
        core.having = h.sql;
        core.aggregate = true;
    }
    // What the first result column is, read while its tables are known.
    if (!core.items.empty()) {
        if (core.items.front().star) {
            core.firstItem = Ex{};
            core.firstItem.column = true;
        } else {
            core.firstItem = core.items.front().ex;
            resolveNumber(core.firstItem);
        }
    }
    core.sources = std::move(m_yesNoScopes.back());
    m_yesNoScopes.pop_back();
    core.shown.sources = core.sources;
    // Every column of its tables used as values: a Yes/No column's as it is read.
    if (values && !m_probing)
        for (auto& item : core.items)
            if (item.star)
                if (std::string v = starValues(item, core.sources); !v.empty()) item.sql = std::move(v);
    for (const auto& item : core.items) {
        ShownColumn c;
        c.star = item.star;
        c.name = item.name;
        c.qualifier = item.star ? item.qualifier : item.ex.qualifier;
        // A column shown as it is (a Yes/No column's value used here is
        // no longer the column).
        c.plain = !item.star && item.ex.column && (!item.ex.yesNo || item.sql.rfind(item.ex.storedSql, 0) == 0);
        c.column = item.ex.name;
        core.shown.columns.push_back(std::move(c));
    }
    m_scopes.pop_back();
    return core;
}

std::string Parser::orderTerm() {
    Ex term = asValue(expr());
    std::string s = collated(term);
    if (acceptKw("Desc")) s += " DESC";
    else if (acceptKw("Asc")) s += " ASC";
    return s;
}

std::string joinList(const std::vector<std::string>& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i) out += ", ";
        out += v[i];
    }
    return out;
}

std::string coreSql(const SelectCore& c) {
    std::string s = "SELECT ";
    if (c.distinct) s += "DISTINCT ";
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        if (i) s += ", ";
        s += c.items[i].sql;
    }
    if (c.hasFrom) s += " FROM " + c.from.sql();
    if (!c.where.empty()) s += " WHERE " + c.where;
    if (!c.groupBy.empty()) s += " GROUP BY " + joinList(c.groupBy);
    if (!c.having.empty()) s += " HAVING " + c.having;
    return s;
}

// A SELECT, possibly a UNION of several, with its ORDER BY. At the top level
// `out` receives what the caller must know (make-table target, base table).
std::string Parser::selectStatement(bool topLevel, JetTranslation* out, bool values) {
    Nesting n(*this);
    std::vector<SelectCore> cores;
    std::vector<std::string> unions;
    cores.push_back(selectCore(values));
    while (atKw("Union")) {
        ++m_pos;
        unions.push_back(acceptKw("All") ? " UNION ALL " : " UNION ");
        cores.push_back(selectCore(values));
        if (cores.back().hasInto) error(kErrStatement, "INTO is allowed in the first SELECT of a UNION only");
    }
    std::vector<std::string> orderBy;
    if (atKw("Order") && peekKw(1, "By")) {
        m_pos += 2;
        // The terms of a single SELECT are its tables' columns; those of a
        // UNION name its result columns, as they are.
        m_yesNoScopes.push_back(cores.size() == 1 ? cores.front().sources : std::vector<Source>{});
        do {
            orderBy.push_back(orderTerm());
        } while (acceptOp(","));
        m_yesNoScopes.pop_back();
    }
    const bool compound = cores.size() > 1;
    if (compound) {
        for (const auto& c : cores)
            if (c.top) fail(kErrUnsupported, "TOP in a UNION query is not supported", c.topPos, "TOP", m_sql);
    }

    for (auto& c : cores) {
        // DISTINCT over plain values groups with the case-blind collation, so
        // that "a" and "A" are one row as in the desktop engine.
        if (c.distinct && c.groupBy.empty() && !c.aggregate && c.having.empty() && !compound) {
            std::vector<std::string> terms;
            bool star = false;
            for (const auto& item : c.items) {
                if (item.star) star = true;
                else if (!item.ex.constant) terms.push_back(collated(item.ex));
            }
            if (!star && !terms.empty()) {
                c.groupBy = terms;
                c.distinct = false;
            }
        }
    }

    SelectCore& first = cores.front();
    // The desktop engine delivers a grouped or DISTINCT query sorted by its
    // groups; callers rely on that order.
    if (topLevel && !compound && orderBy.empty()) {
        if (!first.groupBy.empty()) {
            orderBy = first.groupBy;
        } else if (first.distinct) {
            bool star = false;
            std::vector<std::string> terms;
            for (const auto& item : first.items) {
                if (item.star) star = true;
                else if (!item.ex.constant) terms.push_back(collated(item.ex));
            }
            if (!star) orderBy = terms;
        }
    }

    const bool simple = !compound && !first.distinctWritten && first.groupBy.empty() && !first.aggregate &&
                        first.hasFrom && first.from.tables == 1 && !first.from.join && !first.from.subquery &&
                        first.from.externalAlias.empty() && !first.hasInto;
    if (topLevel && simple && !orderBy.empty()) {
        using Ties = JetSqlTranslator::Options::Ties;
        bool star = false;
        for (const auto& item : first.items) star = star || item.star;
        if (m_options.ties == Ties::Rowid) {
            orderBy.push_back(first.from.firstReference + ".rowid");
        } else if (m_options.ties == Ties::RowNumber && !star) {
            // The one source read with each row's number in its own order,
            // under the name it is referred to by.
            auto& pieces = first.from.pieces;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                if (!pieces[i].table) continue;
                pieces[i].text = "(SELECT *, row_number() OVER () AS " +
                                 JetSqlTranslator::QuoteIdentifier(JetSqlTranslator::RowNumberColumn) + " FROM " +
                                 pieces[i].text + ")";
                const bool aliased = i + 1 < pieces.size() && !pieces[i + 1].table &&
                                     pieces[i + 1].text.rfind(" AS ", 0) == 0;
                if (!aliased) pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                            {false, " AS " + first.from.firstReference});
                break;
            }
            orderBy.push_back(first.from.firstReference + "." +
                              JetSqlTranslator::QuoteIdentifier(JetSqlTranslator::RowNumberColumn));
        }
    }
    if (topLevel && out) {
        out->compound = compound;
        // A result column that every SELECT computes as a date (CVDate, a
        // date literal) is a date, though SQLite declares no type for it.
        for (std::size_t i = 0; i < first.items.size(); ++i) {
            bool date = true;
            for (const auto& c : cores)
                date = date && i < c.items.size() && !c.items[i].star && c.items[i].ex.date;
            if (date) out->dateColumns.push_back(first.items[i].name);
        }
        if (simple) {
            out->baseTable = first.from.firstTable;
            if (m_options.keyset) {
                SelectItem rowid;
                rowid.sql = first.from.firstReference + ".rowid AS " + JetSqlTranslator::QuoteIdentifier(JetSqlTranslator::RowidColumn);
                first.items.insert(first.items.begin(), rowid);
                out->hasRowid = true;
            }
        }
        if (first.hasInto) {
            out->kind = TranslatedSql::Kind::MakeTable;
            out->makeTableTarget = first.intoTarget;
            out->makeTableDatabase = first.intoDatabase;
        }
    }

    m_lastFirstItem = first.firstItem;
    {
        auto shape = std::make_shared<Shape>();
        for (const auto& c : cores) shape->cores.push_back(c.shown);
        m_lastShape = std::move(shape);
    }
    std::string sql = coreSql(cores[0]);
    for (std::size_t i = 1; i < cores.size(); ++i) sql += unions[i - 1] + coreSql(cores[i]);
    if (!orderBy.empty()) sql += " ORDER BY " + joinList(orderBy);
    if (first.top) sql += " LIMIT " + *first.top;
    return sql;
}

void Parser::finish() {
    acceptOp(";");
    if (cur().type != Tk::End) error(kErrTrailing, "Characters found after end of SQL statement");
}

JetTranslation Parser::statement() {
    JetTranslation out;
    // PARAMETERS name type [, name type] ; declares values the caller must
    // supply; the names then stand in the statement like columns.
    if (acceptKw("Parameters")) {
        do {
            if (!atIdentifier()) error(kErrExpression, "Expected a parameter name in PARAMETERS declaration");
            out.parameters.push_back(m_tokens[m_pos++].text);
            if (cur().type != Tk::Name || isReserved(cur().text))
                error(kErrExpression, "Expected a data type in PARAMETERS declaration");
            if (numberType(cur().text)) m_numberParameters.push_back(out.parameters.back());
            ++m_pos;
            if (acceptOp("(")) {
                if (cur().type != Tk::Number) error(kErrExpression, "Expected a size in PARAMETERS declaration");
                ++m_pos;
                expectOp(")", kErrExpression);
            }
        } while (acceptOp(","));
        expectOp(";", kErrExpression);
    }
    std::string sql;
    if (atKw("Select")) {
        out.kind = TranslatedSql::Kind::Select;
        sql = selectStatement(true, &out);
    } else if (acceptKw("Insert")) {
        out.kind = TranslatedSql::Kind::Insert;
        expectKw("Into", 3134);
        std::string target = JetSqlTranslator::QuoteIdentifier(identifier(3134));
        if (atKw("In")) {
            std::size_t pos = cur().pos;
            ++m_pos;
            target = JetSqlTranslator::QuoteIdentifier(externalDatabase(pos)) + "." + target;
        }
        sql = "INSERT INTO " + target;
        if (atOp("(") && !peekKw(1, "Select")) {
            ++m_pos;
            std::vector<std::string> cols;
            do {
                std::string col = identifier(3134);
                // A qualified target column keeps its last part.
                while (acceptOp(".") || acceptOp("!")) col = identifier(3134);
                cols.push_back(JetSqlTranslator::QuoteIdentifier(col));
            } while (acceptOp(","));
            if (!acceptOp(")")) error(3134, "Missing ) in INSERT INTO statement");
            sql += " (" + joinList(cols) + ")";
        }
        if (acceptKw("Values")) {
            expectOp("(", 3134);
            std::vector<std::string> values;
            do {
                values.push_back(asValue(expr()).sql);
            } while (acceptOp(","));
            if (!acceptOp(")")) error(3134, "Missing ) in INSERT INTO statement");
            sql += " VALUES (" + joinList(values) + ")";
        } else if (atKw("Select")) {
            JetTranslation inner;
            sql += " " + selectStatement(true, &inner, true);
            if (inner.kind == TranslatedSql::Kind::MakeTable) error(3134, "INTO is not allowed in INSERT INTO ... SELECT");
        } else {
            error(3134, "Syntax error in INSERT INTO statement: expected VALUES or SELECT");
        }
    } else if (acceptKw("Update")) {
        out.kind = TranslatedSql::Kind::Update;
        FromClause from;
        joinExpression(from);
        if (from.join || from.subquery) error(kErrUnsupported, "UPDATE over a join is not supported");
        if (atKw("In")) {
            std::size_t pos = cur().pos;
            ++m_pos;
            from.externalAlias = externalDatabase(pos);
            external(m_scopes.back());
        }
        m_yesNoScopes.push_back(m_scopes.back());
        expectKw("Set", 3144);
        std::vector<std::string> sets;
        do {
            std::string col = identifier(3144);
            while (acceptOp(".") || acceptOp("!")) col = identifier(3144);
            expectOp("=", 3144);
            sets.push_back(JetSqlTranslator::QuoteIdentifier(col) + " = " + asValue(expr()).sql);
        } while (acceptOp(","));
        sql = "UPDATE " + from.sql() + " SET " + joinList(sets);
        if (acceptKw("Where")) sql += " WHERE " + expr().sql;
    } else if (acceptKw("Delete")) {
        out.kind = TranslatedSql::Kind::Delete;
        acceptKw("DistinctRow");
        std::string targetQualifier;
        if (acceptOp("*")) {
        } else if (atName() && peek().type == Tk::Op && (peek().text == "." || peek().text == "!") &&
                   peek(2).type == Tk::Op && peek(2).text == "*") {
            targetQualifier = cur().text;
            m_pos += 3;
        }
        expectKw("From", kErrFrom);
        FromClause from;
        fromClause(from);
        m_yesNoScopes.push_back(m_scopes.back());
        std::string where;
        if (acceptKw("Where")) where = expr().sql;
        if (from.subquery) error(kErrUnsupported, "DELETE from a subquery is not supported");
        if (!from.join) {
            sql = "DELETE FROM " + from.sql();
            if (!where.empty()) sql += " WHERE " + where;
        } else {
            // Rows of one table chosen through a join: delete them by rowid.
            std::string target = targetQualifier.empty() ? from.firstTable : targetQualifier;
            std::string ref = JetSqlTranslator::QuoteIdentifier(target);
            std::string table = ref;
            if (!from.externalAlias.empty()) table = JetSqlTranslator::QuoteIdentifier(from.externalAlias) + "." + ref;
            sql = "DELETE FROM " + table + " WHERE rowid IN (SELECT " + ref + ".rowid FROM " + from.sql();
            if (!where.empty()) sql += " WHERE " + where;
            sql += ")";
        }
    } else if (atKw("Transform") || atKw("Procedure")) {
        error(kErrUnsupported, "The statement " + cur().text + " is not supported");
    } else {
        error(kErrStatement, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'SELECT', or 'UPDATE'");
    }
    finish();
    out.text = std::move(sql);
    out.attachments = m_attachments;
    for (auto& p : m_storedParameters) out.parameters.push_back(std::move(p));
    return out;
}

JetTranslation Parser::expressionOnly() {
    JetTranslation out;
    out.kind = TranslatedSql::Kind::Expression;
    if (cur().type == Tk::End) error(kErrExpression, "Empty criteria expression");
    Ex e = expr();
    if (cur().type != Tk::End) error(kErrExpression, "Syntax error (missing operator) in query expression");
    out.text = e.sql;
    out.attachments = m_attachments;
    return out;
}

} // namespace

TranslatedSql JetSqlTranslator::Make(std::string_view original, JetTranslation&& t) {
    TranslatedSql out;
    out.m_text = std::move(t.text);
    out.m_kind = t.kind;
    out.m_attachments = std::move(t.attachments);
    out.m_makeTableTarget = std::move(t.makeTableTarget);
    out.m_makeTableDatabase = std::move(t.makeTableDatabase);
    out.m_baseTable = std::move(t.baseTable);
    out.m_hasRowid = t.hasRowid;
    out.m_compound = t.compound;
    out.m_parameters = std::move(t.parameters);
    out.m_dateColumns = std::move(t.dateColumns);
    out.m_original = std::string(original);
    return out;
}

TranslatedSql JetSqlTranslator::Translate(std::string_view jetSql, const Options& options) {
    JetTranslation t = Parser(jetSql, options).statement();
    return Make(jetSql, std::move(t));
}

TranslatedSql JetSqlTranslator::TranslateExpression(std::string_view criteria) {
    JetTranslation t = Parser(criteria, Options{}).expressionOnly();
    return Make(criteria, std::move(t));
}

std::string JetSqlTranslator::QuoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string JetSqlTranslator::BracketName(std::string_view name) {
    std::string out = "[";
    for (char c : name) {
        if (c == ']') out += ']';
        out += c;
    }
    out += ']';
    return out;
}

std::string JetSqlTranslator::QuoteString(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

} // namespace dao
