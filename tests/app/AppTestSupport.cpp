#include "AppTestSupport.h"

#include "app/MDIMain.h"
#include "app/frmDataGrid.h"
#include "app/frmOpenDatabase.h"
#include "app/modApplication.h"
#include "db/Dao.h"
#include "errors/ErrorGlobals.h"
#include "errors/ui/frmErrorHandler.h"
#include "errors/ui/frmMsgBox.h"
#include "platform/App.h"
#include "platform/RegistryStore.h"
#include "scenario/AppDatabase.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace apptest {

// ---- ModalScript ------------------------------------------------------------

ModalScript::ModalScript() : m_timer(new QTimer) {
    m_timer->setInterval(5);
    QObject::connect(m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer->start();
}

ModalScript::~ModalScript() {
    m_timer->stop();
    delete m_timer;
}

ModalScript& ModalScript::Then(QString kind, Match match, Act act) {
    m_steps.push_back(Step{std::move(kind), std::move(match), std::move(act)});
    return *this;
}

ModalScript& ModalScript::Message(int response) {
    return Then(
        QStringLiteral("message"), [](QWidget* w) { return qobject_cast<frmMsgBox*>(w) != nullptr; },
        [response](QWidget* w) {
            auto* box = qobject_cast<frmMsgBox*>(w);
            if (QPushButton* button = box->ResponseButton(response); button && button->isVisible())
                button->click();
            else
                box->reject();
        });
}

ModalScript& ModalScript::OpenDatabase(std::function<void(frmOpenDatabase&)> fill) {
    return Then(
        QStringLiteral("open"), [](QWidget* w) { return qobject_cast<frmOpenDatabase*>(w) != nullptr; },
        [fill = std::move(fill)](QWidget* w) {
            auto* dialog = qobject_cast<frmOpenDatabase*>(w);
            fill(*dialog);
            dialog->cmdOK()->click();
        });
}

ModalScript& ModalScript::OpenDatabase(const std::string& path) {
    const QString p = QString::fromStdString(path);
    return OpenDatabase([p](frmOpenDatabase& d) { d.cboDatabase()->setEditText(p); });
}

ModalScript& ModalScript::CancelOpenDatabase() {
    return Then(
        QStringLiteral("open"), [](QWidget* w) { return qobject_cast<frmOpenDatabase*>(w) != nullptr; },
        [](QWidget* w) { qobject_cast<frmOpenDatabase*>(w)->cmdCancel()->click(); });
}

ModalScript& ModalScript::QtMessage() {
    return Then(
        QStringLiteral("qtmessage"), [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
        [](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            const QList<QAbstractButton*> buttons = box->buttons();
            if (!buttons.isEmpty())
                buttons.first()->click();
            else
                box->reject();
        });
}

ModalScript& ModalScript::ErrorDialog(bool exit) {
    return Then(
        QStringLiteral("error"), [](QWidget* w) { return qobject_cast<frmErrorHandler*>(w) != nullptr; },
        [exit](QWidget* w) { qobject_cast<frmErrorHandler*>(w)->ActionButton(exit ? 1 : 0)->click(); });
}

ModalScript& ModalScript::FileDialog(const QString& path) {
    return Then(
        QStringLiteral("file"), [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
        [path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (path.isEmpty()) {
                dialog->reject();
                return;
            }
            // Typed into the file name box, as a user would.
            if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                edit->setText(path);
            else
                dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        });
}

QStringList ModalScript::Messages() const {
    QStringList texts;
    for (const SeenModal& s : m_seen)
        if (s.kind == QLatin1String("message") || s.kind == QLatin1String("qtmessage"))
            texts << s.text;
    return texts;
}

void ModalScript::Poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible() || w->property("apptestAnswered").toBool()) {
        m_waiting.invalidate();
        return;
    }
    SeenModal seen;
    seen.title = w->windowTitle();
    if (auto* box = qobject_cast<frmMsgBox*>(w))
        seen.text = box->Message();
    else if (auto* qbox = qobject_cast<QMessageBox*>(w))
        seen.text = qbox->text();

    if (!m_steps.empty() && m_steps.front().match(w)) {
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        seen.kind = step.kind;
        m_seen.push_back(seen);
        w->setProperty("apptestAnswered", true);
        m_waiting.invalidate();
        // Answered from a fresh timer, so that a window the answer opens in
        // turn is answered by this one.
        QPointer<QWidget> target(w);
        QTimer::singleShot(0, [target, act = std::move(step.act)] {
            if (!target)
                return;
            act(target);
            // Still shown (a check failed): it may be answered again.
            if (target && target->isVisible())
                target->setProperty("apptestAnswered", false);
        });
        return;
    }
    if (!m_waiting.isValid()) {
        m_waiting.start();
        return;
    }
    if (m_waiting.elapsed() > 3000) {
        m_unexpected << QStringLiteral("%1 \"%2\" %3")
                            .arg(QString::fromLatin1(w->metaObject()->className()), seen.title, seen.text);
        w->setProperty("apptestAnswered", true);
        m_waiting.invalidate();
        QPointer<QWidget> target(w);
        QTimer::singleShot(0, [target] {
            if (!target)
                return;
            if (auto* dialog = qobject_cast<QDialog*>(target.data()))
                dialog->reject();
            else
                target->close();
        });
    }
}

// ---- helpers ------------------------------------------------------------------

void Pump(int milliseconds) {
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (t.elapsed() < milliseconds);
}

QStringList ButtonsInTabOrder(QWidget& window) {
    QStringList names;
    for (QWidget* w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain())
        if (qobject_cast<QPushButton*>(w) && w->isVisibleTo(&window) && window.isAncestorOf(w))
            names << w->objectName();
    return names;
}

QStringList ButtonsLeftToRight(QWidget& window) {
    QList<QPushButton*> buttons;
    for (QPushButton* b : window.findChildren<QPushButton*>())
        if (b->isVisibleTo(&window)) buttons << b;
    std::sort(buttons.begin(), buttons.end(), [&window](QPushButton* a, QPushButton* b) {
        return a->mapTo(&window, QPoint(0, 0)).x() < b->mapTo(&window, QPoint(0, 0)).x();
    });
    QStringList names;
    for (QPushButton* b : buttons) names << b->objectName();
    return names;
}

QList<frmDataGrid*> ShownGrids(MDIMain* frame) {
    QList<frmDataGrid*> grids;
    for (QMdiSubWindow* sub : frame->MdiArea()->subWindowList())
        if (auto* g = qobject_cast<frmDataGrid*>(sub->widget()); g && sub->isVisible())
            grids << g;
    return grids;
}

frmDataGrid* ShownGridOf(MDIMain* frame, const QString& table) {
    for (frmDataGrid* g : ShownGrids(frame))
        if (g->TableName() == table)
            return g;
    return nullptr;
}

void OnPopup(int milliseconds, std::function<void(QWidget*)> seen) {
    QTimer::singleShot(milliseconds, [seen = std::move(seen)] {
        QWidget* popup = QApplication::activePopupWidget();
        seen(popup);
        if (popup)
            popup->close();
    });
}

// ---- AppFixture -----------------------------------------------------------------

void AppFixture::SetUp() {
    static int counter = 0;
    m_appDir = m_tmp.file("app");
    m_dataDir = m_tmp.file("data");
    std::filesystem::create_directories(m_appDir);
    platform::RegistryStore::SetPath(m_tmp.file("registry.ini"));
    platform::App::SetPathOverride(m_appDir);
    qputenv("VARNELLO_DATA_DIR", QByteArray::fromStdString(m_dataDir));
    qputenv("VARNELLO_INSTANCE_KEY", QByteArray::fromStdString("apptest-" + std::to_string(::getpid()) + "-" +
                                                                std::to_string(++counter)));
}

void AppFixture::TearDown() {
    if (MDIMain* frame = TheMDIMain()) {
        ModalScript script; // anything still asking is closed
        ExitApplication(frame);
        Pump(20);
    }
    Pump();
    CloseCurrentDatabase();
    dao::DBEngine().Reset();
    platform::RegistryStore::SetPath({});
    platform::App::SetPathOverride({});
    qunsetenv("VARNELLO_DATA_DIR");
    qunsetenv("VARNELLO_INSTANCE_KEY");
}

MDIMain* AppFixture::Start(bool createSample) {
    MainOptions options;
    options.createSampleDatabase = createSample;
    return Main(options);
}

std::string AppFixture::RegistryValue(const std::string& section, const std::string& name) const {
    using namespace platform;
    RegistryKey key = RegistryKey::Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUR\\Varnello Demo\\5.0\\" + section, KEY_READ);
    if (!key)
        return "~missing";
    const std::optional<RegValue> v = key.QueryValue(name);
    if (!v)
        return "~missing";
    std::string data = v->data;
    if (const auto nul = data.find('\0'); nul != std::string::npos)
        data.resize(nul);
    return data;
}

std::string AppFixture::RegistryFileText() const {
    std::ifstream in(platform::RegistryStore::Path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---- databases ----------------------------------------------------------------------

void CreateScoresDatabase(const std::string& path, bool withScenarioTables,
                          const std::vector<vtest::ScenarioSpec>& scenarios) {
    auto ws = std::make_shared<dao::Workspace>("tests", "admin");
    dao::DatabasePtr db = ws->CreateDatabase(path, dao::dbLangGeneral);
    dao::TableDefPtr td = db->CreateTableDef("Scores");
    td->Fields().Append(td->CreateField("Class", dao::dbText, 10));
    td->Fields().Append(td->CreateField("Score", dao::dbDouble));
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("Scores", dao::dbOpenDynaset);
    const std::pair<const char*, double> rows[] = {{"A", 2}, {"A", 4}, {"A", 4}, {"A", 5}, {"A", 7},
                                                   {"B", 10}, {"B", 20}, {"B", 30}};
    for (const auto& [cls, score] : rows) {
        rs->AddNew();
        rs->Fields("Class")->SetValue(cls);
        rs->Fields("Score")->SetValue(score);
        rs->Update();
    }
    rs->AddNew();
    rs->Fields("Class")->SetValue("A");
    rs->Fields("Score")->SetValue(dao::Variant::Null());
    rs->Update();
    rs->Close();
    if (withScenarioTables) {
        if (!vtest::CreateScenarioTablesIn(db))
            throw std::runtime_error("scenario tables not created");
        for (const auto& s : scenarios)
            vtest::StoreScenario(*db, s);
    }
    db->Close();
    ws->Close();
}

vtest::ScenarioSpec DescribeScores(const std::string& out1, const std::string& out2) {
    vtest::ScenarioSpec s;
    s.description = "Scores by class";
    s.analysisType = "P";
    s.subType = "Describe";
    s.sortOrder = 100;
    s.inputTable = "Scores";
    s.outputTable1 = out1;
    s.outputTable2 = out2;
    s.options = {{"Range", true},     {"Sum", true},         {"VarStd", true},        {"VarNRadio", "N-1"},
                 {"Mean", false},     {"Skew", false},       {"Mode", false},         {"CI", false},
                 {"Percentile", false}, {"FreqN", false},    {"FreqP", false},        {"TTestMean", false},
                 {"CI95", false},     {"CITypeRadio", "t-Test"}, {"PercentileRadio", "Median"}};
    s.fields = {{"Class", "G"}, {"Score", "X"}};
    return s;
}

void CreateTableIn(const std::string& path, const std::string& table) {
    auto ws = std::make_shared<dao::Workspace>("tests", "admin");
    dao::DatabasePtr db = ws->OpenDatabase(path);
    dao::TableDefPtr td = db->CreateTableDef(table);
    td->Fields().Append(td->CreateField("Value", dao::dbDouble));
    db->TableDefs().Append(td);
    db->Close();
    ws->Close();
}

void ExecuteIn(const std::string& path, const std::string& sql) {
    auto ws = std::make_shared<dao::Workspace>("tests", "admin");
    dao::DatabasePtr db = ws->OpenDatabase(path);
    db->Execute(sql);
    db->Close();
    ws->Close();
}

void SetDatabasePassword(const std::string& path, const std::string& password) {
    auto ws = std::make_shared<dao::Workspace>("t", "admin");
    ws->OpenDatabase(path)->NewPassword("", password);
    ws->Close();
}

std::vector<std::string> FirstColumn(const std::string& path, const std::string& sql) {
    auto ws = std::make_shared<dao::Workspace>("tests", "admin");
    dao::DatabasePtr db = ws->OpenDatabase(path);
    std::vector<std::string> values;
    {
        auto rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
        for (; !rs->EOF_(); rs->MoveNext())
            values.push_back(rs->Fields(0)->Value().ToString());
        rs->Close();
    }
    db->Close();
    ws->Close();
    return values;
}

std::string AppFixture::OpenScores(ModalScript& script) const {
    const std::string path = File("scores.db");
    CreateScoresDatabase(path, true, {DescribeScores("outDescribe")});
    script.OpenDatabase(path);
    return path;
}

} // namespace apptest
