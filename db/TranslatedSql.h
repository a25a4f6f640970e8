#pragma once
// SQL in SQLite's dialect, produced from the desktop engine's dialect by
// JetSqlTranslator. Only the translator can make one, so text that has not
// been through it cannot be handed to SQLite by mistake.
#include <string>
#include <vector>

namespace dao {

class JetSqlTranslator;

class TranslatedSql {
public:
    enum class Kind {
        Select,      // SELECT (also UNION)
        Insert,      // INSERT INTO ... VALUES / SELECT
        Update,      // UPDATE ... SET
        Delete,      // DELETE ... FROM
        MakeTable,   // SELECT ... INTO target FROM ...: text() is the SELECT alone
        Expression,  // a bare criteria expression (TranslateExpression)
        Other
    };

    // An external database named by "IN '<path>'": attach `path` as `alias`
    // before preparing text().
    struct Attachment {
        std::string alias;
        std::string path;
        // The database password given with the path ("IN '<path>' [;PWD=<password>]").
        std::string password;
        bool hasPassword = false;
    };

    // SQLite SQL, ready for sqlite3_prepare (for Kind::Expression: an
    // expression usable after WHERE).
    const std::string& text() const noexcept { return m_text; }
    Kind kind() const noexcept { return m_kind; }
    const std::vector<Attachment>& attachments() const noexcept { return m_attachments; }

    // Kind::MakeTable only: the table to create and fill from text(), and the
    // alias of the attached database it goes to (empty: the main database).
    const std::string& makeTableTarget() const noexcept { return m_makeTableTarget; }
    const std::string& makeTableDatabase() const noexcept { return m_makeTableDatabase; }

    // For a simple single-table SELECT on the main database (one table, no
    // join, GROUP BY, DISTINCT, aggregate, UNION or subquery in FROM): the
    // table's name as written; else empty.
    const std::string& baseTable() const noexcept { return m_baseTable; }

    // True when a keyset was asked for and the statement got the column
    // "__rowid" (the base table's rowid) as its first result column.
    bool hasRowid() const noexcept { return m_hasRowid; }

    // True for a SELECT of several joined by UNION (a union query).
    bool compound() const noexcept { return m_compound; }

    // Names declared by a leading PARAMETERS clause, in order. A statement
    // with parameters cannot run without their values (error 3061).
    const std::vector<std::string>& parameters() const noexcept { return m_parameters; }

    // Names of the result columns a SELECT computes as dates (CVDate, a date
    // literal): SQLite declares no type for them.
    const std::vector<std::string>& dateColumns() const noexcept { return m_dateColumns; }

    // The text as the caller wrote it, for error messages.
    const std::string& original() const noexcept { return m_original; }

private:
    friend class JetSqlTranslator;
    TranslatedSql() = default;

    std::string m_text;
    Kind m_kind = Kind::Other;
    std::vector<Attachment> m_attachments;
    std::string m_makeTableTarget;
    std::string m_makeTableDatabase;
    std::string m_baseTable;
    bool m_hasRowid = false;
    bool m_compound = false;
    std::vector<std::string> m_parameters;
    std::vector<std::string> m_dateColumns;
    std::string m_original;
};

} // namespace dao
