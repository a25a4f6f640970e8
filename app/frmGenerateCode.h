#pragma once
// "Generate C++ Code": the text of a client function that creates the engine,
// points it at the current database and runs one stored scenario. The text
// is rebuilt from scratch whenever an option changes (code style: properties
// or arguments; detail: take the defaults or name every property; database:
// by path or through an open database object) and can be copied to the
// clipboard. Clients compile it against the installed engine library
// (find_package(Varnello), target Varnello::engine).
//
// Every text taken from the scenario or the database path is written as a
// C++ string literal in printable ASCII (every other byte escaped), and
// comments get no line break from it, so the text always compiles and names
// exactly the tables and file it was made for. Where the client's own
// statements open the database (the properties style, and every opening
// through an object variable) they stand in a try block: a database that is
// missing or locked makes the function return false, as the call by path
// does.
#include "scenario/CScenarioInfo.h"

#include <QDialog>
#include <QString>

#include <array>
#include <string>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class frmGenerateCode : public QDialog {
    Q_OBJECT
public:
    static constexpr int HelpContextID = 310;
    static constexpr const char* ProductVersion = "5.0";

    explicit frmGenerateCode(QWidget* parent = nullptr);
    ~frmGenerateCode() override;

    // The scenario to generate for; set it before Form_Load.
    const CScenarioInfo& ScenarioInfo() const { return m_scenarioInfo; }
    void SetScenarioInfo(const CScenarioInfo& info) { m_scenarioInfo = info; }
    // The database path written into the code; by default the name of the
    // current database.
    void SetDatabasePath(const std::string& path) { m_databasePath = path; m_pathSet = true; }

    // Generates the text for the options as they stand.
    void Form_Load();

    void optCodeStyle_Click(int index);
    void optDefaults_Click(int index);
    void optDBMethod_Click(int index);
    void cmdToClipboard_Click();
    void cmdClose_Click();
    void cmdHelp_Click();

    QRadioButton* optCodeStyle(int index) const { return m_optCodeStyle.at(static_cast<std::size_t>(index)); }
    QRadioButton* optDefaults(int index) const { return m_optDefaults.at(static_cast<std::size_t>(index)); }
    QRadioButton* optDBMethod(int index) const { return m_optDBMethod.at(static_cast<std::size_t>(index)); }
    QPlainTextEdit* txtCode() const { return m_txtCode; }

    // A C++ string literal holding the text's bytes (UTF-8), quotes
    // included: printable ASCII as it is (a question mark after another one
    // escaped, so that no trigraph forms), every other byte escaped.
    static std::string CppString(const std::string& text);
    // The text as it may stand in a one-line comment: control characters,
    // line and paragraph separators, direction overrides and invisible marks
    // become blanks (other characters stay as they are), and a trailing
    // backslash, which would carry the comment into the next line, is
    // followed by a blank.
    static std::string CommentText(const std::string& text);

private:
    void ReGenerate();
    void GenerateWithProperties(bool objectVariable);
    void GenerateWithArgs(bool objectVariable);
    void CreateHeader(bool objectVariable);
    void CreateFooter();
    // True when the variant's own statements may throw (and need a try block).
    bool MayThrow(bool objectVariable) const;
    // One line of the body at the current indent.
    void Line(const std::string& text);
    std::string DatabaseExpression(bool objectVariable) const;
    std::string ScenarioNumber() const;
    std::string DatabasePath() const;

    CScenarioInfo m_scenarioInfo;
    std::string m_databasePath;
    bool m_pathSet = false;
    std::string m_code;
    std::string m_indent = "  ";

    std::array<QRadioButton*, 2> m_optCodeStyle{};
    std::array<QRadioButton*, 2> m_optDefaults{};
    std::array<QRadioButton*, 2> m_optDBMethod{};
    QPlainTextEdit* m_txtCode = nullptr;
};

// Opens the code generator for the scenario, modally, and closes it again.
void ShowGenerateCode(const CScenarioInfo& info, QWidget* owner = nullptr);
