#include "engine/VarnelloCore.h"

#include "db/NumberText.h"
#include "db/JetFunctions.h"
#include "db/LockWait.h"
#include "engine/AnalysisCatalogue.h"
#include "engine/ProbabilityFront.h"
#include "engine/WorkFolder.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "platform/MessageBox.h"
#include "scenario/CMelvarsScenario.h"
#include "scenario/ScenarioOptions.h"
#include "util/modStatCommon.h"
#include "util/modZURSTAT.h"

#include <filesystem>
#include <mutex>

#include <sys/stat.h>

using namespace dao;

namespace {

EngineErrorDialogFn& errorDialogHook() {
    static EngineErrorDialogFn fn;
    return fn;
}


const char* kCrLf = "\r\n";

} // namespace

EngineErrorDialogFn SetEngineErrorDialog(EngineErrorDialogFn fn) {
    EngineErrorDialogFn old = std::move(errorDialogHook());
    errorDialogHook() = std::move(fn);
    return old;
}

// --- construction ---------------------------------------------------------------------

VarnelloCore::VarnelloCore() {
    m_errHandler = std::make_shared<CErr_ZUR>();
    // The newest engine's handler, but not in the middle of another engine's
    // operation on this thread (made from one of its events).
    EngineErrScope::SetLastCreated(m_errHandler);
    m_errHandler->SetDisplayError(false);
    m_beforeSub = m_errHandler->OnBeforeHandlerCalled([this](bool& Cancel) {
        // A stop the user asked for is no error to report.
        if (!m_showErrors || m_run.StopRequested()) Cancel = true;
    });
    m_afterSub = m_errHandler->OnAfterHandlerCalled([this] {
        // The engine's error dialog, only shown with ShowErrors (the report is
        // cancelled before this event otherwise).
        EngineErrorDialogInfo info;
        info.AppName = "Varnello";
        info.Readmefile = GetAppPath() + "readme.txt";
        info.ErrHelpContextID = 1;
        info.ErrHelpFileName = GetAppPath() + "ZURSTAT.HLP";
        info.ErrorFile = m_errHandler->DestinationPath();
        info.ErrorString = m_errHandler->ErrDescription();
        info.ErrorMsgString = m_errHandler->ErrorText();
        if (errorDialogHook()) {
            // The exit choice cannot end the run from here: the handler is
            // still reporting the first error. The run fails with its text.
            (void)errorDialogHook()(info);
        }
    });
    // Work databases left behind by processes that died in a run.
    WorkFolder::RemoveDeadFiles();
    // Engines made on several threads at once set the shared key once.
    static std::once_flag keyOnce;
    std::call_once(keyOnce, [] {
        if (gstrRegProgramKey.empty()) gstrRegProgramKey = GetRegistryProgramKey();
    });
}

VarnelloCore::~VarnelloCore() {
    cleanUp();
    closeOwnedDatabases();
}

void VarnelloCore::closeOwnedDatabases() noexcept {
    for (auto& opened : m_opened) {
        try {
            if (opened.db) opened.db->Close();
        } catch (...) {
        }
    }
    m_opened.clear();
    m_scenarioDb.reset();
    m_sourceDb.reset();
    m_outputDb.reset();
}

// --- database properties -----------------------------------------------------------------

namespace {
// The device and inode of the file at a path; false when there is none.
bool fileIdentity(const std::string& path, std::uint64_t& device, std::uint64_t& inode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    device = static_cast<std::uint64_t>(st.st_dev);
    inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}
} // namespace

// A file this engine has open already is used again: a second connection to
// it would find the file in use once the first one writes. Only while it is
// the file at that path: a file another program put in its place (a fresh
// copy moved over it) is opened anew, instead of reading the old one's data
// and failing to write into it as "read-only".
DatabasePtr VarnelloCore::openPath(const std::string& path) {
    std::error_code ec;
    const auto wanted = std::filesystem::weakly_canonical(path, ec);
    std::uint64_t device = 0, inode = 0;
    const bool exists = fileIdentity(path, device, inode);
    for (const OpenedFile& open : m_opened) {
        if (!open.db || !open.db->IsOpen())
            continue;
        std::error_code ec2;
        if (!ec && std::filesystem::weakly_canonical(open.db->Name(), ec2) == wanted && !ec2 && exists &&
            open.device == device && open.inode == inode)
            return open.db;
    }
    DatabasePtr db = DBEngine().Workspaces(0)->OpenDatabase(path);
    OpenedFile opened{db};
    fileIdentity(db->Name(), opened.device, opened.inode);
    m_opened.push_back(std::move(opened));
    return db;
}

void VarnelloCore::setDatabase(int slot, const DatabaseArg& value) {
    DatabasePtr db;
    if (const auto* path = std::get_if<std::string>(&value)) {
        db = openPath(*path);
    } else if (const auto* given = std::get_if<DatabasePtr>(&value)) {
        db = *given;
    } else {
        const auto& v = std::get<Variant>(value);
        if (v.IsString()) {
            db = openPath(v.RawString());
        } else {
            throw RunTimeError(rterr::vbObjectError + 1000, "Invalid object type: " + std::to_string(static_cast<int>(v.Type())));
        }
    }
    (slot == 0 ? m_scenarioDb : slot == 1 ? m_sourceDb : m_outputDb) = std::move(db);
}

void VarnelloCore::SetScenarioDatabase(const DatabaseArg& value) { setDatabase(0, value); }
void VarnelloCore::SetSourceDatabase(const DatabaseArg& value) { setDatabase(1, value); }
void VarnelloCore::SetOutputDatabase(const DatabaseArg& value) { setDatabase(2, value); }

void VarnelloCore::SaveDatabases(bool save) {
    if (save) {
        m_saved[0] = m_scenarioDb;
        m_saved[1] = m_sourceDb;
        m_saved[2] = m_outputDb;
    } else {
        m_scenarioDb = m_saved[0];
        m_sourceDb = m_saved[1];
        m_outputDb = m_saved[2];
        for (auto& s : m_saved) s.reset();
    }
}

void VarnelloCore::ShowError(const std::string& msg) {
    Beep();
    MsgBox(msg, vbCritical | vbOKOnly, "Pelloran");
}

std::string VarnelloCore::unexpectedErrorText() const {
    return "Unexpected error number: " + std::to_string(m_errHandler->ErrNumber()) + kCrLf + "Error: " +
           m_errHandler->ErrDescription() + kCrLf + "Operation: " + m_errHandler->CurrentOperation();
}

// --- probability front ------------------------------------------------------------------

namespace {
// The engine's message box for the probability front: the platform's box,
// titled as the front asks, with the engine's beep.
class EngineMessageSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& title) override {
        Beep();
        MsgBox(text, vbCritical | vbOKOnly, title);
    }
    void Beep() override { ::Beep(); }
};
} // namespace

double VarnelloCore::ProbInverse(const std::string& ProbType, double Probability, double DF1, double DF2) {
    EngineErrScope scope(m_errHandler);
    EngineMessageSink sink;
    return ProbabilityFront::ProbInverse(ProbType, Probability, DF1, DF2, &sink);
}

double VarnelloCore::Probability(const std::string& ProbType, double Value, double DF1, double DF2) {
    EngineErrScope scope(m_errHandler);
    EngineMessageSink sink;
    return ProbabilityFront::Probability(ProbType, Value, DF1, DF2, &sink);
}

// --- the run -------------------------------------------------------------------------------

bool VarnelloCore::RunScenario(long ScenarioID) { return RunScenario(ScenarioID, RunScenarioArgs{}); }

const char* const VarnelloCore::kNestedRunMessage =
    "A scenario is already running on this engine: a run cannot be started from inside another run "
    "(for example from its progress event). Start it after the running scenario has finished.";

bool VarnelloCore::RunScenario(long ScenarioID, const RunScenarioArgs& args) {
    // One run at a time: a run started from inside another one's events
    // would commit, clear or close what the running one holds. It is refused without touching anything of the running one, and
    // raises no events of its own.
    if (m_running.exchange(true)) {
        m_errorInfo = kNestedRunMessage;
        return false;
    }
    struct RunningFlag {
        std::atomic<bool>& flag;
        ~RunningFlag() { flag = false; }
    } running{m_running};
    // The run's numbers are read and written as "1.96" whatever locale the
    // client program set for the C library (a Qt program takes the user's: a
    // German one's decimal comma turned an interval from 0.25 into "0.2,5");
    // the client's own code called from the run's events meets the same.
    const dao::PointNumbersScope pointNumbers;
    // Everything this run calls reports to this engine's own handler.
    EngineErrScope scope(m_errHandler);
    ProcGuard proc(m_errHandler, "Melvar_RunScenario");
    std::string msg;
    bool success = false;
    bool begun = false;
    // While a statement of the run waits for another program's lock, the
    // progress text says so; a stop asked for meanwhile ends the wait.
    LockWaitScope waiting([this](const std::string& path, std::chrono::milliseconds waited,
                                 std::chrono::milliseconds limit) { m_run.ReportLockWait(path, waited, limit); },
                          [this] { return m_run.StopRequested(); });
    try {
        // Every run starts from a clean slate: an error of an earlier run must
        // not fail this one.
        m_errHandler->ClearError();
        m_errHandler->SetScenarioNumber(ScenarioID);
        // The step an unexpected error report names; each analysis step sets its own.
        m_errHandler->SetCurrentOperation("Loading scenario");
        m_run.Begin({});
        SaveDatabases(true);
        begun = true;
        if (m_events) m_events->RunScenarioBegin();

        if (args.ScenarioDatabase) SetScenarioDatabase(*args.ScenarioDatabase);
        if (args.SourceDatabase) SetSourceDatabase(*args.SourceDatabase);
        if (args.OutputDatabase) SetOutputDatabase(*args.OutputDatabase);

        auto pick = [](std::string& prop, const std::string& arg, const char* def) {
            if (!arg.empty()) prop = arg;
            else if (prop.empty() && def) prop = def;
        };
        pick(m_scenarioTbl, args.ScenarioTbl, "USysQuorbScenarios");
        pick(m_optionsTbl, args.OptionsTbl, "USysQuorbOptions");
        pick(m_fieldTbl, args.FieldTbl, "USysQuorbFields");
        pick(m_sourceTableName, args.SourceTableName, nullptr);
        pick(m_outputTableName, args.OutputTableName, nullptr);
        pick(m_outputTableName2, args.OutputTableName2, nullptr);
        if (args.ShowErrors) m_showErrors = true;

        if (!m_scenarioDb) {
            msg = "Scenario database property not assigned or opened";
        } else {
            if (!m_sourceDb) m_sourceDb = m_scenarioDb;
            if (!m_outputDb) m_outputDb = m_sourceDb;
            RunContext::Frame frame;
            frame.source = m_sourceDb;
            frame.output = m_outputDb;
            frame.scenarioTables = {m_scenarioTbl, m_optionsTbl, m_fieldTbl};
            frame.events = m_events;
            frame.handler = m_errHandler;
            frame.showStatus = args.ShowProgress || m_showProgress;
            m_run.Begin(std::move(frame));
            // Damage a statement of the run meets in one of its files
            // (a page overwritten, a file cut short) is counted by the file,
            // whoever catches the error.
            const DatabasePtr files[] = {m_scenarioDb, m_sourceDb, m_outputDb};
            std::uint64_t damageBefore[3];
            for (int i = 0; i < 3; ++i) damageBefore[i] = files[i]->DamageMet().count;

            if (LoadScenario(ScenarioID, msg)) {
                if (m_errHandler->ErrNumber() == 0) msg = RunOneScenario();
                else msg = unexpectedErrorText();
            }
            if (msg.empty() && m_errHandler->ErrNumber() != 0) msg = unexpectedErrorText();
            // The work database that could not be made is the cause, whatever
            // the analysis made of it.
            if (!msg.empty() && !m_run.TempDbError().empty()) msg = m_run.TempDbError();
            // So is a damaged file: the run fails with it, even where an
            // analysis took the error for no records ("Problem with input
            // table") or went on without the records it could not read.
            for (int i = 0; i < 3; ++i) {
                const Database::Damage damage = files[i]->DamageMet();
                if (damage.count != damageBefore[i]) {
                    msg = damage.text;
                    break;
                }
            }
            // A stop asked for before the output is kept discards it, whatever
            // the analysis made of the interruption; while the caller still
            // asks whether to stop, the output waits for the answer.
            if (msg.empty()) m_run.WaitWhileOutputHeld();
            if (m_run.StopRequested()) msg = Varnello::StoppedMessage;
            finishOutput(msg);
            // Names a legacy program gave in Latin-1 bytes ("Donn\xE9es") are
            // told by the words they spell, as the designer shows them.
            msg = ValidUtf8(std::move(msg));
            if (!msg.empty()) {
                Beep();
                if (m_showErrors) ShowError(std::string("Scenario Failed") + kCrLf + kCrLf + msg);
            }
        }
    } catch (...) {
        // An unexpected error in the run itself (a database argument that
        // cannot be opened, an invalid object type): report it, and still
        // clean up and complete the run below.
        proc.HandleError();
        msg = m_run.StopRequested() ? std::string(Varnello::StoppedMessage) : unexpectedErrorText();
        if (m_showErrors) {
            try {
                ShowError(std::string("Scenario Failed") + kCrLf + kCrLf + msg);
            } catch (...) {
            }
        }
    }
    cleanUp();
    if (begun) SaveDatabases(false);
    // The request was for this run; the next one starts afresh.
    m_run.ClearStopRequest();
    msg = ValidUtf8(std::move(msg));
    m_errorInfo = msg;
    success = msg.empty();
    if (m_events) {
        std::string m = msg;
        bool s = success;
        try {
            m_events->RunScenarioComplete(s, m);
        } catch (...) {
        }
        // A run the listener started from the event was refused and said so
        // in ErrorInfo: this run has ended now, and ErrorInfo is its message.
        m_errorInfo = msg;
    }
    return success;
}

void VarnelloCore::finishOutput(std::string& msg) {
    // Recordsets first: the output cannot be committed while they read it.
    m_run.CloseRecordsets();
    // Transactions the analysis began on the workspace and did not end.
    if (m_runTxLevel >= 0) {
        try {
            WorkspacePtr ws = DBEngine().Workspaces(0);
            while (ws->TransactionLevel() > m_runTxLevel) {
                if (msg.empty()) ws->CommitTrans();
                else ws->Rollback();
            }
        } catch (const DaoError& e) {
            if (msg.empty()) msg = e.Description();
        }
        m_runTxLevel = -1;
    }
    // The source is read: another program may change it again (and the
    // output's commit may need a file the source shares).
    m_sourceTx.End();
    if (!m_outputTx.Active()) return;
    if (!msg.empty()) {
        m_outputTx.Rollback();
        return;
    }
    try {
        m_outputTx.Commit();
    } catch (const DaoError& e) {
        msg = "The results could not be saved in " + (m_outputDb ? m_outputDb->Name() : std::string()) + ": " +
              e.Description();
    }
}

void VarnelloCore::cleanUp() noexcept {
    m_runTxLevel = -1;
    m_outputTx.Rollback();
    m_run.End();
    m_sourceTx.End();
}

std::string VarnelloCore::RunOneScenario() {
    ProcGuard proc(gEngineErr, "RunOneScenario");
    std::string msg;
    try {
        CMelvarsScenario& s = *m_scenario;
        // The source and its fields as the file names them (a legacy
        // program's Latin-1 bytes), where the scenario names them by the
        // words they spell.
        s.SetTable(StoredTableName(m_sourceDb, s.Table()));
        std::string table = s.Table();
        std::int16_t kind = Quorb_UTIL_TableOrQuery(m_sourceDb, table);

        std::string mt = s.MissingType();
        if (NamesEqual(mt, "0")) {
            m_run.SetMissingRule("");
        } else if (NamesEqual(mt, "1")) {
            m_run.SetMissingRule("Equal");
            m_run.SetMissingEqualValue(s.MissingEqual().ToDouble());
        } else if (NamesEqual(mt, "2")) {
            Variant low = s.MissingLow(), high = s.MissingHigh();
            bool lowNull = low.IsNull() || low.IsEmpty();
            bool highNull = high.IsNull() || high.IsEmpty();
            if (lowNull && highNull) {
                m_run.SetMissingRule("");
            } else if (lowNull) {
                m_run.SetMissingRule("High");
                m_run.SetMissingHighValue(high.ToDouble());
            } else if (highNull) {
                m_run.SetMissingRule("Low");
                m_run.SetMissingLowValue(low.ToDouble());
            } else {
                m_run.SetMissingRule("Both");
                m_run.SetMissingLowValue(low.ToDouble());
                m_run.SetMissingHighValue(high.ToDouble());
            }
        }

        // A type this engine does not know has its fields checked as most
        // types do, and then fails: it is no silent success.
        static const AnalysisType unknown{};
        const AnalysisType* known = AnalysisTypeOfScenario(s.Scenario_Type(), s.CalcType());
        const AnalysisType& type = known ? *known : unknown;
        AnalysisSettings base;
        if (kind == -99) msg = "Data Table [" + table + "] not found.";
        else msg = SetGlobals(s, type, base);
        if (msg.empty()) msg = CheckFieldRoles(table, type, base);
        // Names that would destroy something are refused before anything is
        // touched, whichever analysis runs.
        for (const std::string& out : {s.OutputTable1(), s.OutputTable2()})
            if (msg.empty() && !out.empty()) msg = m_run.OutputNameRefusal(out, table);
        if (msg.empty()) {
            try {
                m_outputTx.Begin(m_outputDb);
            } catch (const DaoError& e) {
                // Another program kept the file longer than the run waits.
                std::string tables;
                for (const std::string& out : {s.OutputTable1(), s.OutputTable2()})
                    if (!out.empty()) tables += (tables.empty() ? "" : " and ") + out;
                msg = "The output " + std::string(tables.find(" and ") == std::string::npos ? "table " : "tables ") +
                      tables + " could not be written: " + e.Description();
            }
            // Every query of the analysis reads the source as it stands now.
            if (msg.empty()) {
                try {
                    m_sourceTx.Begin(m_sourceDb, m_outputDb);
                } catch (const DaoError& e) {
                    msg = "The data of " + table + " could not be read: " + e.Description();
                }
            }
            m_runTxLevel = DBEngine().Workspaces(0)->TransactionLevel();
        }

        if (msg.empty()) {
            m_run.SetBinaryCompare(false);
            m_errHandler->SetCurrentOperation("Running " + s.CalcType() + " analysis");
            if (!known) msg = "Unknown analysis type: " + s.CalcType();
            else msg = runAnalysis(type, s, base);
        }
    } catch (...) {
        proc.HandleError();
    }
    return msg;
}

// The runner of every type: the analysis's settings made from the scenario,
// then the analysis. An unexpected error is reported to the engine's handler
// and the runner returns the message it held.
std::string VarnelloCore::runAnalysis(const AnalysisType& type, const CMelvarsScenario& s, const AnalysisSettings& base) {
    // A type without a runner of its own is run from the scenario run itself.
    ProcGuard proc(type.runner.empty() ? nullptr : gEngineErr, std::string(type.runner));
    std::string msg;
    try {
        AnalysisType::Settings settings;
        msg = type.settings(s, base, m_run, settings);
        if (msg.empty() && settings) msg = Analysis(std::string(type.name))(*settings, m_run);
    } catch (...) {
        proc.HandleError();
    }
    return msg;
}

void VarnelloCore::ReplaceAnalysis(const std::string& type, AnalysisFn analysis) {
    if (const AnalysisType* t = FindAnalysisType(type)) m_analyses[std::string(t->name)] = std::move(analysis);
}

VarnelloCore::AnalysisFn VarnelloCore::Analysis(const std::string& type) const {
    const AnalysisType* t = FindAnalysisType(type);
    if (!t) return {};
    auto it = m_analyses.find(std::string(t->name));
    if (it != m_analyses.end() && it->second) return it->second;
    return t->run;
}

std::string VarnelloCore::SetGlobals(CMelvarsScenario& scenario, const AnalysisType& type, AnalysisSettings& a) {
    ProcGuard proc(gEngineErr, "SetGlobals");
    std::string msg;
    try {
        a.OutputTable1 = scenario.OutputTable1();
        a.OutputTable2 = scenario.OutputTable2();
        a.Table = scenario.Table();
        long n = scenario.FieldCount();
        if (n < 1) return "No fields assigned";
        FieldList& fields = a.fields;
        fields.assign(static_cast<std::size_t>(n + 1), std::string());
        a.nG = a.nC = a.nX = 0;
        a.bY = a.bW = false;
        std::size_t pos = 0;
        int nY = 0;
        // A type without compare fields reads its X fields right after the
        // group fields, one without X fields (the chi-square) or without a Y
        // field its weight right after the fields it has: a compare, X or Y
        // field left from another type (the field page shows no list of them
        // for this one) would be read and named in their place. It is not
        // analysed.
        const bool takesCompare = type.fields == AnalysisType::Fields::Compare || type.minimum.compare > 0;
        const bool takesX = type.fields != AnalysisType::Fields::Compare;
        const bool takesY = type.fields == AnalysisType::Fields::YAndX || type.minimum.y > 0;
        std::size_t unused = 0;
        for (const char* role : {"G", "C", "X", "Y", "W"}) {
            for (const auto& f : scenario) {
                if (!NamesEqual(f.Choice(), role)) continue;
                if ((role[0] == 'C' && !takesCompare) || (role[0] == 'X' && !takesX) || (role[0] == 'Y' && !takesY)) {
                    ++unused;
                    continue;
                }
                switch (role[0]) {
                case 'G': ++a.nG; break;
                case 'C': ++a.nC; break;
                case 'X': ++a.nX; break;
                case 'W': a.bW = true; break;
                case 'Y': a.bY = true; ++nY; break;
                }
                ++pos;
                fields[pos] = StoredFieldName(m_sourceDb, a.Table, f.Field_Name());
            }
            if (role[0] == 'X' && type.fields == AnalysisType::Fields::RowsAnyX && a.nX == 0) {
                fields.resize(fields.size() + 1);
                ++pos;
                fields[pos] = "*";
                a.nX = 1;
            }
        }
        fields.resize(fields.size() - unused);
        switch (type.fields) {
        case AnalysisType::Fields::Compare:
            if (a.nC == 0) msg = "At least one Compare field required";
            break;
        case AnalysisType::Fields::YAndX:
            if (!a.bY) msg = "Y Field must be assigned";
            else if (a.nX == 0) msg = "At least one X field must be assigned";
            break;
        case AnalysisType::Fields::RowsAnyX: break;
        case AnalysisType::Fields::X:
            if (a.nX == 0) msg = "At least one X field must be assigned";
            break;
        }
        // Every analysis reads one Y field, and finds the weight right after
        // it: a second Y field would be read as the weights.
        if (msg.empty() && nY > 1) msg = "Only one Y field may be assigned";
    } catch (...) {
        proc.HandleError();
    }
    return msg;
}

std::int16_t VarnelloCore::Quorb_UTIL_TableOrQuery(const DatabasePtr& db, const std::string& name) {
    return static_cast<std::int16_t>(TableOrQueryKind(db, name));
}

// --- loading -------------------------------------------------------------------------------

std::shared_ptr<CMelvarsScenario> VarnelloCore::NewScenario(const std::string& description, const std::string& type,
                                                        const std::string& calcType, const std::string& table,
                                                        const std::string& out1, const std::string& out2,
                                                        const std::string& missingType, const Variant& missingEqual,
                                                        const Variant& missingHigh, const Variant& missingLow,
                                                        const std::string& version) {
    auto s = std::make_shared<CMelvarsScenario>();
    s->SetScenario_Description(description);
    s->SetScenario_Type(type);
    s->SetCalcType(calcType);
    s->SetTable(table);
    s->SetOutputTable1(out1);
    s->SetOutputTable2(out2);
    s->SetMissingType(missingType);
    s->SetMissingEqual(missingEqual);
    s->SetMissingHigh(missingHigh);
    s->SetMissingLow(missingLow);
    s->SetScenario_Version(version);
    return s;
}

namespace {

std::string asText(const Variant& v) { return v.IsNull() ? std::string() : v.ToString(); }
std::string asString(const Variant& v) { return v.ToString(); } // Null raises "Invalid use of Null"

} // namespace

bool VarnelloCore::LoadScenario(long number, std::string& msg) {
    if (!msg.empty()) return false;
    try {
        std::string st = m_scenarioTbl, ot = m_optionsTbl, ft = m_fieldTbl;
        auto br = [](const std::string& name) { return BracketName(name); };
        std::string sql = "SELECT * FROM " + br(st) + " INNER JOIN " + br(ot) + " ON " + br(st) + ".Scenario_ID = " +
                          br(ot) + ".Scenario_ID where " + br(st) + ".Scenario_ID = " + std::to_string(number);
        RecordsetPtr rs;
        try {
            rs = m_scenarioDb->OpenRecordset(sql);
        } catch (const DaoError& e) {
            msg = std::to_string(e.Number()) + ": " + e.Description();
            return false;
        }
        if (rs->RecordCount() == 0) {
            msg = "Scenario not found";
            return false;
        }
        std::string fsql = "select * from " + br(ft) + " where Scenario_ID = " + std::to_string(number) +
                           " order by Fielddef_ordinal_position";
        RecordsetPtr frs;
        try {
            frs = m_scenarioDb->OpenRecordset(fsql);
        } catch (const DaoError& e) {
            msg = std::to_string(e.Number()) + ": " + e.Description();
            return false;
        }
        if (frs->RecordCount() == 0) {
            msg = "No fields found for this scenario";
            return false;
        }
        m_scenario = NewScenario("Scenario", "P", "", "", "", "", "", Variant(), Variant(), Variant(), "");
        CMelvarsScenario& s = *m_scenario;
        auto col = [&](const char* name) { return rs->Fields(name)->Value(); };
        s.SetScenario_Description(asText(col("Scenario_Description")));
        s.SetScenario_Type(asString(col("Scenario_Analysis_Type")));
        s.SetCalcType(asString(col("Scenario_Analysis_SubType")));
        // A scenario row without a source table name fails with that, not with
        // "Invalid use of Null".
        if (m_sourceTableName.empty() && col("Scenario_Input_Table_Name").IsNull()) {
            msg = "Scenario " + std::to_string(number) + " names no source table.";
            return false;
        }
        s.SetTable(m_sourceTableName.empty() ? asString(col("Scenario_Input_Table_Name")) : m_sourceTableName);
        s.SetOutputTable1(m_outputTableName.empty() ? asText(col("Scenario_Output_Table1_Name")) : m_outputTableName);
        s.SetOutputTable2(m_outputTableName2.empty() ? asText(col("Scenario_Output_Table2_Name")) : m_outputTableName2);
        s.SetMissingType(asText(col("MissingType")));
        s.SetMissingEqual(col("MissingEqual"));
        s.SetMissingHigh(col("MissingHigh"));
        s.SetMissingLow(col("MissingLow"));
        s.SetScenario_Version(asText(col("Scenario_Version")));
        // The options through the same table-driven reading the designer
        // uses; a stored value that does not fit its option fails the run.
        msg = ReadScenarioOptions(*rs, s, static_cast<std::int32_t>(number), OptionReader::Run);
        if (!msg.empty()) return false;

        for (; !frs->EOF_(); frs->MoveNext())
            s.AddField(asString(frs->Fields("FieldDef_Name")->Value()), asString(frs->Fields("FieldDef_Choice")->Value()), "");
    } catch (...) {
        // Loading keeps no entry of its own on the handler's stack.
        if (gEngineErr) gEngineErr->HandleError();
        return false;
    }
    return msg.empty();
}
