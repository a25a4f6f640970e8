#include "app/frmGenerateCode.h"

#include "app/modHelp.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include <cstdio>
#include <stdexcept>

namespace {

QGroupBox* OptionFrame(QWidget* parent, const char* name, const QString& caption, std::array<QRadioButton*, 2>& options,
                       const char* optionName, const QString& first, const QString& second) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(frame);
    const QString captions[] = {first, second};
    for (int i = 0; i < 2; ++i) {
        options[static_cast<std::size_t>(i)] = new QRadioButton(captions[i], frame);
        options[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(optionName)).arg(i));
        layout->addWidget(options[static_cast<std::size_t>(i)]);
    }
    options[0]->setChecked(true);
    return frame;
}

} // namespace

frmGenerateCode::frmGenerateCode(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmGenerateCode"));
    setWindowTitle(QStringLiteral("Generate C++ Code"));
    InstallHelpKey(this, HelpContextID);

    auto* top = new QHBoxLayout;
    top->addWidget(OptionFrame(this, "fraCodeStyle", QStringLiteral("Code &Style"), m_optCodeStyle, "optCodeStyle",
                               QStringLiteral("Properties"), QStringLiteral("Arguments")));
    top->addWidget(OptionFrame(this, "fraDefaults", QStringLiteral("Code &Detail"), m_optDefaults, "optDefaults",
                               QStringLiteral("Take Defaults"), QStringLiteral("Specify all properties")));
    top->addWidget(OptionFrame(this, "fraAssignMode", QStringLiteral("Database Open Method"), m_optDBMethod,
                               "optDBMethod", QStringLiteral("Use Path"), QStringLiteral("Use Object Variable")));

    m_txtCode = new QPlainTextEdit(this);
    m_txtCode->setObjectName(QStringLiteral("txtCode"));
    m_txtCode->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on to the buttons, as in every box of the program; the code
    // is not indented with tab characters.
    m_txtCode->setTabChangesFocus(true);
    QFont font(QStringLiteral("Courier New"), 9);
    font.setStyleHint(QFont::Monospace);
    m_txtCode->setFont(font);
    m_txtCode->setMinimumSize(560, 300);

    auto* cmdToClipboard = new QPushButton(QStringLiteral("&Copy"), this);
    cmdToClipboard->setObjectName(QStringLiteral("cmdToClipboard"));
    auto* cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto* cmdHelp = new QPushButton(QStringLiteral("&Help"), this);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    for (QPushButton* b : {cmdToClipboard, cmdClose, cmdHelp})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdHelp);
    buttons->addStretch();
    buttons->addWidget(cmdToClipboard);
    buttons->addWidget(cmdClose);
    // Tab takes the row as it reads: Help at the left, then Copy and Close.
    setTabOrder(m_txtCode, cmdHelp);
    setTabOrder(cmdHelp, cmdToClipboard);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_txtCode, 1);
    layout->addLayout(buttons);

    for (int i = 0; i < 2; ++i) {
        connect(m_optCodeStyle[static_cast<std::size_t>(i)], &QRadioButton::clicked, this, [this, i] { optCodeStyle_Click(i); });
        connect(m_optDefaults[static_cast<std::size_t>(i)], &QRadioButton::clicked, this, [this, i] { optDefaults_Click(i); });
        connect(m_optDBMethod[static_cast<std::size_t>(i)], &QRadioButton::clicked, this, [this, i] { optDBMethod_Click(i); });
    }
    connect(cmdToClipboard, &QPushButton::clicked, this, [this] { cmdToClipboard_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
}

frmGenerateCode::~frmGenerateCode() = default;

void frmGenerateCode::Form_Load() {
    ProcGuard proc(gErr, "frmGenerateCode:Load");
    try {
        ReGenerate();
    } catch (...) {
        proc.HandleError();
    }
}

void frmGenerateCode::optCodeStyle_Click(int index) {
    ProcGuard proc(gErr, "frmGenerateCode:optCodeStyle_Click");
    try {
        m_optCodeStyle[static_cast<std::size_t>(index)]->setChecked(true);
        m_optDefaults[1]->setText(index == 0 ? QStringLiteral("Specify all Properties")
                                             : QStringLiteral("Specify all Arguments"));
        ReGenerate();
    } catch (...) {
        proc.HandleError();
    }
}

void frmGenerateCode::optDefaults_Click(int index) {
    m_optDefaults[static_cast<std::size_t>(index)]->setChecked(true);
    ReGenerate();
}

void frmGenerateCode::optDBMethod_Click(int index) {
    m_optDBMethod[static_cast<std::size_t>(index)]->setChecked(true);
    ReGenerate();
}

void frmGenerateCode::cmdToClipboard_Click() {
    ProcGuard proc(gErr, "frmGenerateCode:cmdToClipboard_Click");
    try {
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->clear();
        QString selected = m_txtCode->textCursor().selectedText();
        // The editor marks line ends inside a selection as paragraph separators.
        selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        clipboard->setText(selected.isEmpty() ? m_txtCode->toPlainText() : selected);
    } catch (...) {
        proc.HandleError();
    }
}

void frmGenerateCode::cmdClose_Click() {
    reject();
}

void frmGenerateCode::cmdHelp_Click() {
    ShowHelpTopic(HelpContextID);
}

std::string frmGenerateCode::CppString(const std::string& text) {
    // Only printable ASCII stands as itself: every other byte (controls, and
    // each byte of a character beyond ASCII, a no-break space or a line
    // separator among them) is written as three octal digits. The literal
    // then holds exactly the bytes of the name, survives any editor or
    // clipboard on the way, and compiles with any source character set.
    std::string out = "\"";
    char previous = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '?':
            // A second question mark is escaped: "??/", "??=" and the like
            // would be trigraphs, which a compiler either converts (the
            // literal then names another table) or warns about.
            out += previous == '?' ? "\\?" : "?";
            break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7f) {
                // Three octal digits: the escape cannot swallow a digit after it.
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\%03o", c);
                out += buf;
            } else {
                out += ch;
            }
        }
        previous = ch;
    }
    out += '"';
    return out;
}

namespace {

// The next character of UTF-8 text, advancing `i`; 0xFFFD for a byte that
// starts no valid sequence (the byte is skipped).
char32_t NextCodePoint(const std::string& text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    const std::size_t extra = (b0 & 0xE0) == 0xC0 ? 1 : (b0 & 0xF0) == 0xE0 ? 2 : (b0 & 0xF8) == 0xF0 ? 3 : 0;
    if (extra == 0 || i + extra >= text.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = b0 & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += extra + 1;
    return cp;
}

// Characters that would end a comment's line in some editor or on the way
// through the text box (line and paragraph separators, next line), or make
// the comment read otherwise than it compiles (direction overrides,
// invisible marks).
bool BreaksOrHidesText(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) ||
           c == 0xFEFF || c == 0xFFFD;
}

} // namespace

std::string frmGenerateCode::CommentText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const char32_t c = NextCodePoint(text, i);
        if (BreaksOrHidesText(c))
            out += ' ';
        else
            out.append(text, start, i - start);
    }
    // A backslash at the end would carry the comment into the next line.
    if (!out.empty() && out.back() == '\\')
        out += ' ';
    return out;
}

std::string frmGenerateCode::ScenarioNumber() const {
    // The number as digits, whatever the list row held.
    try {
        std::size_t used = 0;
        const long n = std::stol(m_scenarioInfo.ScenarioID(), &used);
        return std::to_string(n);
    } catch (const std::exception&) {
        return "0";
    }
}

std::string frmGenerateCode::DatabasePath() const {
    if (m_pathSet)
        return m_databasePath;
    return gdbCurrent ? gdbCurrent->Name() : std::string();
}

std::string frmGenerateCode::DatabaseExpression(bool objectVariable) const {
    return objectVariable ? std::string("db") : "std::string(" + CppString(DatabasePath()) + ")";
}

void frmGenerateCode::ReGenerate() {
    ProcGuard proc(gErr, "frmGenerateCode:ReGenerate");
    try {
        const bool objectVariable = m_optDBMethod[1]->isChecked();
        if (m_optCodeStyle[0]->isChecked())
            GenerateWithProperties(objectVariable);
        else
            GenerateWithArgs(objectVariable);
    } catch (...) {
        proc.HandleError();
    }
}

bool frmGenerateCode::MayThrow(bool objectVariable) const {
    // A database opened from its path by the client's own statement throws
    // when the file is missing or locked: the properties style, and every
    // opening through an object variable. RunScenario never throws.
    return objectVariable || m_optCodeStyle[0]->isChecked();
}

void frmGenerateCode::Line(const std::string& text) {
    m_code += text.empty() ? std::string() : m_indent + text;
    m_code += "\n";
}

void frmGenerateCode::CreateHeader(bool objectVariable) {
    ProcGuard proc(gErr, "frmGenerateCode:CreateHeader");
    m_code = "#include <engine/Varnello.h>\n"
             "\n"
             "#include <memory>\n"
             "#include <string>\n"
             "\n"
             "bool SampleRunScenarioRoutine()\n"
             "{\n"
             "  // Comments  : Runs the Varnello analysis \n"
             "  //             Scenario Named : [" + CommentText(m_scenarioInfo.Desc()) + "]\n"
             "  //             Scenario Number: " + ScenarioNumber() + "\n"
             "  // Parameters: None\n"
             "  // Returns   : true if successful, else false (also when the database\n"
             "  //             cannot be opened)\n"
             "  // Source    : Generated by Varnello " + ProductVersion + "\n"
             "\n"
             "  std::unique_ptr<Varnello> stats;\n"
             "  bool fOK = false;\n";
    if (objectVariable)
        m_code += "  dao::DatabasePtr db;\n";
    m_code += "\n";
    m_indent = "  ";
    if (MayThrow(objectVariable)) {
        Line("try {");
        m_indent = "    ";
    }
    if (objectVariable) {
        Line("db = dao::DBEngine().OpenDatabase(" + CppString(DatabasePath()) + ");");
        Line("");
    }
    Line("stats = std::make_unique<Varnello>();");
    Line("");
}

void frmGenerateCode::CreateFooter() {
    ProcGuard proc(gErr, "frmGenerateCode:CreateFooter");
    if (m_indent.size() > 2) {
        m_code += "  } catch (const dao::DaoError&) {\n"
                  "    // The database is missing, locked or no database of this system.\n"
                  "    fOK = false;\n"
                  "  }\n";
    }
    m_indent = "  ";
    m_code += "\n"
              "  return fOK;\n"
              "}";
}

void frmGenerateCode::GenerateWithProperties(bool objectVariable) {
    ProcGuard proc(gErr, "frmGenerateCode:GenerateWithProperties");
    const bool full = m_optDefaults[1]->isChecked();
    const std::string db = DatabaseExpression(objectVariable);
    CreateHeader(objectVariable);
    Line("stats->SetScenarioDatabase(" + db + ");");
    if (full) {
        Line("stats->SetSourceDatabase(" + db + ");");
        Line("stats->SetOutputDatabase(" + db + ");");
        Line("stats->SetScenarioTbl(" + CppString(kScenarioTableName) + ");");
        Line("stats->SetOptionsTbl(" + CppString(kOptionsTableName) + ");");
        Line("stats->SetFieldTbl(" + CppString(kFieldsTableName) + ");");
        Line("stats->SetSourceTableName(" + CppString(m_scenarioInfo.Table()) + ");");
        Line("stats->SetOutputTableName(" + CppString(m_scenarioInfo.OutputTable1()) + ");");
        Line("stats->SetOutputTableName2(" + CppString(m_scenarioInfo.OutputTable2()) + ");");
        Line("stats->SetShowErrors(false);");
        Line("stats->SetShowProgress(false);");
    }
    Line("fOK = stats->RunScenario(" + ScenarioNumber() + ");");
    CreateFooter();
    m_txtCode->setPlainText(QString::fromStdString(m_code));
}

void frmGenerateCode::GenerateWithArgs(bool objectVariable) {
    ProcGuard proc(gErr, "frmGenerateCode:GenerateWithArgs");
    const bool full = m_optDefaults[1]->isChecked();
    const std::string db = DatabaseExpression(objectVariable);
    CreateHeader(objectVariable);
    if (!full) {
        const std::string call =
            "fOK = stats->RunScenario(" + ScenarioNumber() + ", Varnello::RunScenarioArgs{.ScenarioDatabase = " + db + "});";
        if (objectVariable) {
            Line(call);
        } else {
            // The call by path ends without a line break, as it always has.
            m_code += m_indent + call;
        }
    } else {
        Line("fOK = stats->RunScenario(");
        Line("  " + ScenarioNumber() + ",");
        Line("  Varnello::RunScenarioArgs{");
        Line("    .ScenarioDatabase = " + db + ",");
        Line("    .SourceDatabase = " + db + ",");
        Line("    .OutputDatabase = " + db + ",");
        Line("    .ScenarioTbl = " + CppString(kScenarioTableName) + ",");
        Line("    .OptionsTbl = " + CppString(kOptionsTableName) + ",");
        Line("    .FieldTbl = " + CppString(kFieldsTableName) + ",");
        Line("    .SourceTableName = " + CppString(m_scenarioInfo.Table()) + ",");
        Line("    .OutputTableName = " + CppString(m_scenarioInfo.OutputTable1()) + ",");
        Line("    .OutputTableName2 = " + CppString(m_scenarioInfo.OutputTable2()) + ",");
        Line("    .ShowProgress = false,");
        Line("    .ShowErrors = false});");
    }
    CreateFooter();
    m_txtCode->setPlainText(QString::fromStdString(m_code));
}

void ShowGenerateCode(const CScenarioInfo& info, QWidget* owner) {
    frmGenerateCode form(owner);
    form.SetScenarioInfo(info);
    form.Form_Load();
    form.exec();
}
