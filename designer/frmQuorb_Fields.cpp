#include "designer/frmQuorb_Fields.h"

#include "db/Dao.h"
#include "db/JetFunctions.h"
#include "designer/CMelvarsPropWiz.h"
#include "designer/NumericLineEdit.h"
#include "designer/TransferButton.h"
#include "designer/TransferInOut.h"
#include "designer/WizServices.h"
#include "designer/frmIgnore.h"
#include "designer/frmQuorb_SelectTable.h"
#include "engine/AnalysisCatalogue.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "platform/ui/Twips.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "util/modZURSTAT.h"
#include "util/ui/CListView.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>
#include <set>
#include <vector>

using platform::ui::PixelsFromTwips;

namespace {

constexpr const char* kSeparator = " - (";

// The field name of a list entry: the text before the last " - (" (the type
// text after it never holds one; a field's name may: "Net - (after tax)").
std::string NameOfEntry(const QString& entry) {
    const int at = entry.lastIndexOf(QLatin1String(kSeparator), -1, Qt::CaseInsensitive);
    return (at < 0 ? entry : entry.left(at)).toStdString();
}

QString EntryText(const CScenarioField& f) {
    return QString::fromStdString(f.FieldName() + kSeparator + frmQuorb_Fields::GetFieldTypeText(f.FieldType()) +
                                  ")");
}

bool RolesEqual(const std::string& a, const std::string& b) { return dao::NamesEqual(a, b); }

// An entry of an assignment list; its tooltip holds the whole text, which a
// narrow list cannot show.
void AddEntry(QListWidget* list, const QString& entry) {
    auto* item = new QListWidgetItem(entry, list);
    item->setToolTip(entry);
}

// An item of the available list: the field's name and its type text.
void AddAvailable(QTreeWidget* tree, const CScenarioField& f) {
    auto* item = new CListViewItem(tree);
    const QString name = QString::fromStdString(f.FieldName());
    item->setText(0, name);
    item->setToolTip(0, name);
    item->setText(1, QString::fromStdString(frmQuorb_Fields::GetFieldTypeText(f.FieldType())));
}

// The field of the collection with that name (letter case aside), or null.
CScenarioField* FindField(CScenarioFields& fields, const std::string& name) {
    for (CScenarioField& f : fields)
        if (dao::NamesEqual(f.FieldName(), name)) return &f;
    return nullptr;
}

struct TransferBinding {
    const char* control;
    int list;       // 1..6 independent, 12/14/15 comparison, 23 dependent, 30 weight, 31 group
    const char* choice;
    bool single;
    bool numeric;
};

const TransferBinding kBindings[] = {
    {"cmdTX", 1, "X", false, true},        {"cmdTCX", 2, "X", false, true},
    {"cmdTCXComp", 12, "C", true, false},  {"cmdTXYDep", 23, "Y", true, true},
    {"cmdTXY", 3, "X", false, true},       {"cmdTAnovaDep", 4, "X", false, true},
    {"cmdTAnovaComp", 14, "C", false, false}, {"cmdTXTab", 5, "X", false, false},
    {"cmdTXTabCol", 15, "C", true, false}, {"cmdTChi", 6, "C", false, false},
    {"cmdTWeight", 30, "W", true, true},   {"cmdTGroup", 31, "G", false, false},
};

} // namespace

frmQuorb_Fields::frmQuorb_Fields(QWidget* parent) : CWizPage(parent), m_lvw(std::make_unique<CListView>()) {
    ProcGuard proc(gErr, "frmQuorb_Fields:Form_Load");
    setObjectName(QStringLiteral("frmQuorb_Fields"));
    setWindowTitle(QStringLiteral("ZUR Statistics Field Selection"));

    // ---- left: source, type, description, available fields --------------------
    m_lblTable = new QLabel(this);
    m_lblTable->setObjectName(QStringLiteral("lblTable"));
    m_lblCalcType = new QLabel(this);
    m_lblCalcType->setObjectName(QStringLiteral("lblCalcType"));
    // Stored names are shown as they stand, never read as HTML.
    for (QLabel* label : {m_lblTable, m_lblCalcType}) label->setTextFormat(Qt::PlainText);
    m_txtDescription = new SelectAllLineEdit(this);
    m_txtDescription->setObjectName(QStringLiteral("txtScenario_Description"));
    m_txtDescription->setMaxLength(255);
    m_lvwAvailableFields = new QTreeWidget(this);
    m_lvwAvailableFields->setObjectName(QStringLiteral("lvwAvailableFields"));
    m_lvwAvailableFields->setRootIsDecorated(false);
    m_lvwAvailableFields->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Type")});
    m_lvwAvailableFields->header()->setSectionsClickable(true);
    // The name column is as wide as the longest name; the list scrolls sideways.
    m_lvwAvailableFields->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_lvw->SetResetSortKeyOnColumnClick(false);
    m_lvw->SetListView(m_lvwAvailableFields);
    m_lvw->SetFullRowSelect();
    // Alt+H: Alt+C is the page's Cancel.
    m_cmdChange = NavButton("C&hange", -1, "cmdChange");
    m_cmdIgnore = NavButton("Specify Values to &Ignore", -1, "cmdIgnore");

    auto* head = new QGridLayout;
    head->addWidget(new QLabel(QStringLiteral("Source:"), this), 0, 0);
    head->addWidget(m_lblTable, 0, 1);
    head->addWidget(m_cmdChange, 0, 2);
    head->addWidget(new QLabel(QStringLiteral("Type:"), this), 1, 0);
    head->addWidget(m_lblCalcType, 1, 1, 1, 2);
    head->addWidget(new QLabel(QStringLiteral("Description:"), this), 2, 0);
    head->addWidget(m_txtDescription, 2, 1, 1, 2);
    head->setColumnStretch(1, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Available Fields"), this));
    left->addWidget(m_lvwAvailableFields, 1);
    left->addWidget(m_cmdIgnore);

    // ---- right: the six field frames in one place, weight and group ------------
    auto makeList = [this](QWidget* owner, const QString& name) {
        auto* list = new QListWidget(owner);
        list->setObjectName(name);
        // A long field name is shown whole: the list scrolls sideways, and
        // each entry's tooltip holds its whole text.
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        list->setTextElideMode(Qt::ElideNone);
        return list;
    };
    auto* frames = new QWidget(this);
    auto* stack = new QGridLayout(frames);
    stack->setContentsMargins(0, 0, 0, 0);
    std::map<std::string, QWidget*> transfer;
    auto listWithControl = [&](QWidget* owner, QListWidget* list, const char* control, bool single) {
        auto* row = new QHBoxLayout;
        QWidget* t = single ? static_cast<QWidget*>(new TransferInOut(owner)) : new TransferButton(owner);
        t->setObjectName(QString::fromLatin1(control));
        transfer[control] = t;
        auto* col = new QVBoxLayout;
        col->addWidget(t);
        col->addStretch();
        row->addLayout(col);
        row->addWidget(list, 1);
        return row;
    };
    auto innerFrame = [&](QWidget* owner, const QString& caption, QListWidget* list, const char* control, bool single) {
        auto* box = new QGroupBox(caption, owner);
        box->setLayout(listWithControl(box, list, control, single));
        return box;
    };
    for (int i = 1; i <= 6; ++i) {
        auto* frame = new QGroupBox(frames);
        frame->setObjectName(QStringLiteral("fraFieldFrame_%1").arg(i));
        m_fraFieldFrame[static_cast<std::size_t>(i)] = frame;
        m_lisIndependent[static_cast<std::size_t>(i)] = makeList(frame, QStringLiteral("lisIndependentFields_%1").arg(i));
        if (i == 2 || i == 4 || i == 5)
            m_lisComparison[static_cast<std::size_t>(i)] = makeList(frame, QStringLiteral("lisComparisonField_%1").arg(i));
        stack->addWidget(frame, 0, 0);
    }
    m_lisDependent = makeList(m_fraFieldFrame[3], QStringLiteral("lisDependentField_3"));
    {
        auto* f = m_fraFieldFrame[1];
        f->setTitle(QStringLiteral("Independent Fields (X)"));
        f->setLayout(listWithControl(f, m_lisIndependent[1], "cmdTX", false));
    }
    auto twoInner = [&](int i, const QString& c1, QListWidget* l1, const char* t1, bool s1, const QString& c2,
                        QListWidget* l2, const char* t2, bool s2) {
        auto* f = m_fraFieldFrame[static_cast<std::size_t>(i)];
        f->setFlat(true);
        auto* lay = new QHBoxLayout(f);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(innerFrame(f, c1, l1, t1, s1));
        lay->addWidget(innerFrame(f, c2, l2, t2, s2));
        // Tab takes the frames from left to right, each list and then its
        // arrows, as the one-list frames do (the lists were made first).
        QWidget* previous = l1;
        const auto after = [&previous](QWidget* next) {
            setTabOrder(previous, next);
            previous = next;
        };
        const auto arrows = [&](const char* control) {
            for (QToolButton* arrow : transfer[control]->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
                after(arrow);
        };
        arrows(t1);
        after(l2);
        arrows(t2);
    };
    twoInner(2, QStringLiteral("Dependent Fields"), m_lisIndependent[2], "cmdTCX", false,
             QStringLiteral("Comparison Field (Factor)"), m_lisComparison[2], "cmdTCXComp", true);
    twoInner(3, QStringLiteral("Dependent Field (Y)"), m_lisDependent, "cmdTXYDep", true,
             QStringLiteral("Independent Fields (X)"), m_lisIndependent[3], "cmdTXY", false);
    twoInner(4, QStringLiteral("Dependent Fields"), m_lisIndependent[4], "cmdTAnovaDep", false,
             QStringLiteral("Comparison Fields (Factors)"), m_lisComparison[4], "cmdTAnovaComp", false);
    twoInner(5, QStringLiteral("Value Fields"), m_lisIndependent[5], "cmdTXTab", false, QStringLiteral("Column Field"),
             m_lisComparison[5], "cmdTXTabCol", true);
    {
        auto* f = m_fraFieldFrame[6];
        f->setTitle(QStringLiteral("Compare Fields"));
        f->setLayout(listWithControl(f, m_lisIndependent[6], "cmdTChi", false));
    }
    auto* fraWeight = new QGroupBox(QStringLiteral("Weight Field (Optional)"), this);
    fraWeight->setObjectName(QStringLiteral("fraWeight"));
    m_lisWeight = makeList(fraWeight, QStringLiteral("lisWeightField"));
    fraWeight->setLayout(listWithControl(fraWeight, m_lisWeight, "cmdTWeight", true));
    m_fraGroup = new QGroupBox(QStringLiteral("Group Fields"), this);
    m_fraGroup->setObjectName(QStringLiteral("fraGroup"));
    m_lisGroup = makeList(m_fraGroup, QStringLiteral("lisGroupFields"));
    m_fraGroup->setLayout(listWithControl(m_fraGroup, m_lisGroup, "cmdTGroup", false));
    auto* lower = new QHBoxLayout;
    lower->addWidget(fraWeight, 1, Qt::AlignTop);
    lower->addWidget(m_fraGroup, 1);
    // One entry, and room for the bar that scrolls a long one sideways.
    m_lisWeight->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_lisWeight->setFixedHeight(m_lisWeight->fontMetrics().height() + 10 +
                                m_lisWeight->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    auto* right = new QVBoxLayout;
    right->addWidget(frames, 3);
    right->addLayout(lower, 2);

    auto* body = new QHBoxLayout;
    body->addLayout(left, 4);
    body->addLayout(right, 7);

    // Help, Cancel, Back, Next: the row of every page.
    const std::pair<int, const char*> navs[] = {{0, "Help"}, {4, "&Cancel"}, {1, "< &Back"}, {2, "&Next >"}};
    for (const auto& [i, caption] : navs) {
        QPushButton* b = NavButton(caption, i);
        m_cmdNav[static_cast<std::size_t>(i)] = b;
        connect(b, &QPushButton::clicked, this, [this, i = i] { cmdNav_Click(i); });
    }
    QHBoxLayout* buttons = ButtonRow({}, m_cmdNav[0], m_cmdNav[4], m_cmdNav[1], m_cmdNav[2]);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);

    // ---- events ---------------------------------------------------------------
    auto listOf = [this](int code) -> QListWidget* {
        if (code >= 1 && code <= 6) return m_lisIndependent[static_cast<std::size_t>(code)];
        if (code >= 12 && code <= 15) return m_lisComparison[static_cast<std::size_t>(code - 10)];
        if (code == 23) return m_lisDependent;
        if (code == 30) return m_lisWeight;
        return m_lisGroup;
    };
    for (const TransferBinding& b : kBindings) {
        QWidget* control = transfer[b.control];
        QListWidget* list = listOf(b.list);
        const std::string choice = b.choice;
        const bool single = b.single, numeric = b.numeric;
        auto handler = [this, list, choice, single, numeric](long index) {
            HandleTransfer(index, list, choice, single, numeric);
        };
        if (auto* tb = qobject_cast<TransferButton*>(control)) connect(tb, &TransferButton::Transfer, this, handler);
        else if (auto* io = qobject_cast<TransferInOut*>(control)) connect(io, &TransferInOut::Transfer, this, handler);
        // A double-click on an assigned entry returns it.
        connect(list, &QListWidget::itemDoubleClicked, this,
                [this, list, choice, single, numeric] { HandleTransfer(0, list, choice, single, numeric); });
    }
    connect(m_lvwAvailableFields, &QTreeWidget::itemClicked, this, [this] { m_lvw->OnClick(); });
    connect(m_lvwAvailableFields, &QTreeWidget::itemDoubleClicked, this, [this] { lvwAvailableFields_DblClick(); });
    connect(m_lvwAvailableFields->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { m_lvw->OnColumnClick(section + 1); });
    connect(m_txtDescription, &QLineEdit::editingFinished, this, [this] { txtScenario_Description_LostFocus(); });
    connect(m_cmdChange, &QPushButton::clicked, this, [this] { cmdChange_Click(); });
    connect(m_cmdIgnore, &QPushButton::clicked, this, [this] { cmdIgnore_Click(); });
}

frmQuorb_Fields::~frmQuorb_Fields() = default;

QWidget* frmQuorb_Fields::TransferControl(const QString& name) const { return findChild<QWidget*>(name); }

int frmQuorb_Fields::GetFieldFrame(const std::string& calcType) {
    const AnalysisType* t = FindAnalysisType(calcType);
    return t ? t->fieldFrame : 0;
}

frmQuorb_Fields::Minimum frmQuorb_Fields::FieldMinimum(const std::string& calcType) {
    const AnalysisType* t = FindAnalysisType(calcType);
    if (!t) return {};
    return {t->minimum.group, t->minimum.compare, t->minimum.x, t->minimum.y};
}

std::string frmQuorb_Fields::GetFieldTypeText(int fieldType) {
    switch (fieldType) {
    case 1: return "Yes/No";
    case 2: return "#, Byte";
    case 3: return "#, Integer";
    case 4: return "#, Long";
    case 5: return "#, Currency";
    case 6: return "#, Single";
    case 7: return "#, Double";
    case 8: return "Date/Time";
    case 10: return "Text";
    case 16: return "#, Big Integer";
    case 18: return "Char";
    case 19: return "#, Numeric";
    case 20: return "#, Decimal";
    case 21: return "#, Float";
    case 22: return "Time";
    default: return "";
    }
}

void frmQuorb_Fields::SetWiz(CMelvarsPropWiz* wiz) {
    ProcGuard proc(gErr, "frmQuorb_Fields:Property Set Wiz");
    try {
        if (!wiz) return;
        if (m_Wiz) {
            // Shown again (Back from the options page): the description as
            // the Finish page may have changed it, not as this page first
            // showed it, which leaving the box would write back.
            if (wiz == m_Wiz) {
                SetLoading(true);
                m_txtDescription->setText(QString::fromStdString(wiz->Scenario_Description()));
                SetLoading(false);
            }
            return;
        }
        SetLoading(true);
        m_Wiz = wiz;
        m_txtDescription->setText(QString::fromStdString(wiz->Scenario_Description()));
        m_lblCalcType->setText(QString::fromStdString(wiz->CalcType()));
        m_lblTable->setText(QString::fromStdString(wiz->Table()));
        GetScenarioFields(true);
        LoadFieldLists();
        m_fraGroup->setTitle(dao::NamesEqual(wiz->CalcType(), "Crosstab") ? QStringLiteral("Row Fields")
                                                                         : QStringLiteral("Group Fields"));
        SetLoading(false);
    } catch (...) {
        SetLoading(false);
        proc.HandleError();
    }
}

void frmQuorb_Fields::ShowMessage(const QString& text) { wizsvc::WizMessage(this, text, 0); }

std::string frmQuorb_Fields::MissingSourceMessage(const std::string& table) {
    return "The table or query [" + table + "] that this scenario reads does not exist in the database." +
           "\r\n\r\nNo field can be assigned until another source is chosen with \"Change\".";
}

void frmQuorb_Fields::GetScenarioFields(bool readStored) {
    ProcGuard proc(gErr, "frmQuorb_Fields:GetScenarioFields");
    try {
        if (!m_Wiz || !gdbCurrent) return;
        CScenarioFields& fields = m_Wiz->ScenarioFields();
        // The stored rows are read at once and the read closed: a read left
        // open while a message below waits for the user would keep every
        // other program from writing the file.
        struct StoredRow {
            dao::Variant name, choice, ordinal;
        };
        std::vector<StoredRow> storedRows;
        {
            dao::RecordsetPtr stored =
                gdbCurrent->OpenRecordset(GetFieldListSQL(readStored ? m_Wiz->Scenario_ID() : 0), dao::dbOpenSnapshot);
            for (; !stored->EOF_(); stored->MoveNext())
                storedRows.push_back({stored->Fields("FieldDef_Name")->Value(), stored->Fields("FieldDef_Choice")->Value(),
                                      stored->Fields("FieldDef_Ordinal_Position")->Value()});
            stored->Close();
        }
        // The source as the file names it: the page holds a legacy
        // program's Latin-1 names by the words they spell.
        const std::string table = StoredTableName(gdbCurrent, m_Wiz->Table());
        // A source whose fields cannot be read (it is gone, or it is a query
        // that cannot be opened) leaves the stored assignments as they stand,
        // so that a save (of a new description or output name) does not wipe
        // them; another source chosen with Change drops them.
        auto keepStored = [&] {
            for (const StoredRow& row : storedRows) {
                const dao::Variant& name = row.name;
                const dao::Variant& choice = row.choice;
                const dao::Variant& ordinal = row.ordinal;
                if (name.IsNull() || choice.IsNull()) continue;
                try {
                    fields.Add(name.ToString(), choice.ToString(), "0", ordinal.IsNull() ? 0 : ordinal.ToLong(),
                               name.ToString());
                } catch (const RunTimeError&) {
                }
            }
        };
        const std::int32_t kind = TableOrQueryKind(gdbCurrent, table);
        if (kind != 0 && kind != 1) {
            // The source was dropped or renamed since the scenario was stored
            // (or a name was typed that is not there): the user is told so
            // before anything else.
            ShowMessage(QString::fromStdString(MissingSourceMessage(table)));
            keepStored();
            return;
        }
        dao::Fields* source = nullptr;
        try {
            if (kind == 0) source = &gdbCurrent->TableDefs()(table)->Fields();
            else source = &gdbCurrent->QueryDefs()(table)->Fields();
        } catch (...) {
            const ErrInfo e = ErrFromCurrentException();
            ShowMessage(QString::fromStdString((kind == 0 ? "Unable to open the specified table: '"
                                                          : "Unable to open the specified querydef: '") +
                                               table + "'\r\n\r\n" + std::to_string(e.Number) + ": " + e.Description));
            keepStored();
            return;
        }
        // Stored rows first, in stored order; rows whose field left the source
        // are dropped.
        std::set<std::string> storedNames; // folded to lower case
        for (const StoredRow& row : storedRows) {
            const dao::Variant& nameValue = row.name;
            if (nameValue.IsNull()) continue;
            const std::string name = nameValue.ToString();
            dao::FieldPtr f = source->Find(StoredFieldName(gdbCurrent, table, name));
            if (!f) continue;
            storedNames.insert(dao::ToLowerAscii(dao::ValidUtf8(f->Name())));
            const dao::Variant& choice = row.choice;
            const dao::Variant& ordinal = row.ordinal;
            try {
                fields.Add(dao::ValidUtf8(f->Name()), choice.IsNull() ? std::string() : choice.ToString(),
                           std::to_string(f->Type()), ordinal.IsNull() ? 0 : ordinal.ToLong(), dao::ValidUtf8(f->Name()));
            } catch (const RunTimeError&) {
                // a field stored twice keeps its first row
            }
        }
        // Then the source's other fields, unassigned. The stored names are
        // matched in memory, never through criteria built from the names.
        static const std::set<int> tableTypes = {1, 3, 4, 5, 7, 8, 10};
        for (int i = 0; i < source->Count(); ++i) {
            dao::FieldPtr f = (*source)(i);
            const std::string name = dao::ValidUtf8(f->Name());
            if (storedNames.count(dao::ToLowerAscii(name))) continue;
            if (kind == 0 && !tableTypes.count(f->Type())) continue;
            try {
                fields.Add(name, "", std::to_string(f->Type()), 0, name);
            } catch (const RunTimeError&) {
            }
        }
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Fields::LoadFieldLists() {
    ProcGuard proc(gErr, "frmQuorb_Fields:LoadFieldLists");
    try {
        if (!m_Wiz) return;
        m_fieldFrame = GetFieldFrame(m_Wiz->CalcType());
        for (int i = 1; i <= 6; ++i) m_fraFieldFrame[static_cast<std::size_t>(i)]->setVisible(i == m_fieldFrame);
        for (auto* l : m_lisIndependent)
            if (l) l->clear();
        for (auto* l : m_lisComparison)
            if (l) l->clear();
        m_lisDependent->clear();
        m_lisWeight->clear();
        m_lisGroup->clear();
        m_lvwAvailableFields->clear();
        for (const CScenarioField& f : m_Wiz->ScenarioFields()) {
            const std::string role = f.Choice();
            const QString entry = EntryText(f);
            if (role.empty()) {
                AddAvailable(m_lvwAvailableFields, f);
            } else if (RolesEqual(role, "C")) {
                for (QListWidget* l : {m_lisIndependent[6], m_lisComparison[5], m_lisComparison[2], m_lisComparison[4]})
                    AddEntry(l, entry);
            } else if (RolesEqual(role, "X")) {
                for (int i = 1; i <= 5; ++i) AddEntry(m_lisIndependent[static_cast<std::size_t>(i)], entry);
            } else if (RolesEqual(role, "Y")) {
                AddEntry(m_lisDependent, entry);
            } else if (RolesEqual(role, "G")) {
                AddEntry(m_lisGroup, entry);
            } else if (RolesEqual(role, "W")) {
                AddEntry(m_lisWeight, entry);
            }
        }
        if (m_lvwAvailableFields->topLevelItemCount() > 0) {
            m_lvwAvailableFields->setCurrentItem(m_lvwAvailableFields->topLevelItem(0));
            m_lvwAvailableFields->topLevelItem(0)->setSelected(true);
        }
    } catch (...) {
        proc.HandleError();
    }
}

bool frmQuorb_Fields::SelectAvailable(const QString& name) {
    for (int i = 0; i < m_lvwAvailableFields->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_lvwAvailableFields->topLevelItem(i);
        if (item->text(0).compare(name, Qt::CaseInsensitive) == 0) {
            m_lvwAvailableFields->clearSelection();
            m_lvwAvailableFields->setCurrentItem(item);
            item->setSelected(true);
            return true;
        }
    }
    return false;
}

void frmQuorb_Fields::HandleTransfer(long index, QListWidget* list, const std::string& choice, bool singleOnly,
                                     bool numericOnly) {
    ProcGuard proc(gErr, "frmQuorb_Fields:HandleTransfer:Index: " + std::to_string(index));
    try {
        if (!m_Wiz || !list) return;
        m_Wiz->SetChanged(true);
        const int selected = list->currentItem() && list->currentItem()->isSelected() ? list->currentRow() : -1;
        switch (index) {
        case 0: {
            int row = selected;
            if (singleOnly && row < 0 && list->count() > 0) {
                list->setCurrentRow(0);
                row = 0;
            }
            if (row >= 0) Quorb_UnSelectField(list);
            else ShowMessage(QStringLiteral("Please highlight a field."));
            break;
        }
        case 1: {
            QTreeWidgetItem* item = m_lvwAvailableFields->currentItem();
            if (!item || !item->isSelected()) {
                ShowMessage(QStringLiteral("Please highlight a field."));
                break;
            }
            // A field row keeps a name of at most kFieldNameSize characters;
            // other programs make longer ones, which no scenario can store.
            const std::string name = item->text(0).toStdString();
            if (const std::size_t chars = dao::CharLength(name); chars > static_cast<std::size_t>(kFieldNameSize)) {
                ShowMessage(QString::fromStdString("The field '" + name + "' has a name of " + std::to_string(chars) +
                                                   " characters; a scenario keeps field names of at most " +
                                                   std::to_string(kFieldNameSize) + " characters."));
                break;
            }
            if (numericOnly && !item->text(1).startsWith(QLatin1Char('#'))) {
                ShowMessage(QStringLiteral("Field must be numeric."));
                break;
            }
            if (singleOnly && list->count() == 1) {
                list->setCurrentRow(0);
                Quorb_UnSelectField(list);
                // Taking the old field back may move the selection of the
                // available list; the chosen item is selected again.
                m_lvwAvailableFields->setCurrentItem(item);
                item->setSelected(true);
            }
            Quorb_SelectField(list, choice);
            break;
        }
        case 2:
            if (selected < 0) ShowMessage(QStringLiteral("Please highlight a field."));
            else if (selected < list->count() - 1) Quorb_MoveField(list, false);
            break;
        case 3:
            if (selected < 0) ShowMessage(QStringLiteral("Please highlight a field."));
            else if (selected > 0) Quorb_MoveField(list, true);
            break;
        case 4:
            while (list->count() > 0) {
                list->setCurrentRow(0);
                Quorb_UnSelectField(list);
            }
            break;
        default:
            break;
        }
        ReSequenceFields(list, choice);
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Fields::Quorb_SelectField(QListWidget* list, const std::string& choice) {
    ProcGuard proc(gErr, "frmQuorb_Fields:Quorb_SelectField");
    QTreeWidgetItem* item = m_lvwAvailableFields->currentItem();
    if (!item) return;
    if (CScenarioField* f = FindField(m_Wiz->ScenarioFields(), item->text(0).toStdString())) {
        f->SetChoice(choice);
        AddEntry(list, EntryText(*f));
    }
    delete m_lvwAvailableFields->takeTopLevelItem(m_lvwAvailableFields->indexOfTopLevelItem(item));
}

void frmQuorb_Fields::Quorb_UnSelectField(QListWidget* list) {
    ProcGuard proc(gErr, "frmQuorb_Fields:Quorb_UnSelectField");
    QListWidgetItem* entry = list->currentItem();
    if (!entry) return;
    CScenarioField* f = FindField(m_Wiz->ScenarioFields(), NameOfEntry(entry->text()));
    if (!f) return;
    f->SetChoice("");
    delete list->takeItem(list->row(entry));
    AddAvailable(m_lvwAvailableFields, *f);
}

void frmQuorb_Fields::Quorb_MoveField(QListWidget* list, bool up) {
    ProcGuard proc(gErr, "frmQuorb_Fields:Quorb_MoveField");
    const int row = list->currentRow();
    QListWidgetItem* entry = list->takeItem(row);
    const int target = up ? row - 1 : row + 1;
    list->insertItem(target, entry);
    list->setCurrentRow(target);
}

void frmQuorb_Fields::ReSequenceFields(QListWidget* list, const std::string& choice) {
    ProcGuard proc(gErr, "frmQuorb_Fields:ReSequenceFields");
    std::int32_t counter = 0;
    for (int i = 0; i < list->count(); ++i) {
        CScenarioField* f = FindField(m_Wiz->ScenarioFields(), NameOfEntry(list->item(i)->text()));
        if (f && RolesEqual(f->Choice(), choice)) f->SetOrdinalPosition(++counter);
    }
}

void frmQuorb_Fields::lvwAvailableFields_DblClick() {
    ProcGuard proc(gErr, "frmQuorb_Fields:lvwAvailableFields_DblClick");
    try {
        QTreeWidgetItem* item = m_lvwAvailableFields->currentItem();
        if (!item || !m_Wiz) return;
        if (item->text(1).startsWith(QLatin1Char('#'))) {
            // Without a field frame there is no list for the field.
            const int frame = GetFieldFrame(m_Wiz->CalcType());
            if (frame < 1 || frame > 6) return;
            HandleTransfer(1, m_lisIndependent[static_cast<std::size_t>(frame)],
                           m_Wiz->CalcType() == "Chi-Square" ? "C" : "X", false, false);
        } else {
            HandleTransfer(1, m_lisGroup, "G", false, false);
        }
    } catch (...) {
        proc.HandleError();
    }
}

bool frmQuorb_Fields::CheckFields(const std::string& calcType) {
    ProcGuard proc(gErr, "frmQuorb_Fields:CheckFields");
    const int frame = GetFieldFrame(calcType);
    const Minimum m = FieldMinimum(calcType);
    std::string msg;
    bool suffix = true;
    if (m.group > 0) {
        if (m_lisGroup->count() < m.group) {
            msg = "At least one Row field";
        } else if (m_lisIndependent[5]->count() == 0 && m_lisWeight->count() == 1) {
            msg = "Weight field requires a value field. Or, you can make the Weight field a Value field and use the "
                  "Sum Crosstab option.";
            suffix = false;
        }
    }
    if (msg.empty() && m.comparison > 0 && m_lisComparison[static_cast<std::size_t>(frame)]->count() < m.comparison) {
        if (calcType == "Crosstab") msg = "Column field";
        else if (m.comparison == 1) msg = "Compare field";
        else msg = "Two Comparison fields";
    }
    if (msg.empty() && m.x > 0 && m_lisIndependent[static_cast<std::size_t>(frame)]->count() < m.x) {
        if (calcType == "Chi-Square") msg = "At least one Comparison field";
        else if (m.comparison > 0) msg = "At least one Dependent field";
        else if (m.x == 1) msg = "Independent (X) field";
        else msg = "At least " + std::to_string(m.x) + " Independent (X) fields";
    }
    if (msg.empty() && m.y > 0 && m_lisDependent->count() < m.y) msg = "Dependent (Y) field";
    if (msg.empty()) return true;
    if (suffix) msg += " must be assigned.";
    ShowMessage(QString::fromStdString(msg));
    return false;
}

void frmQuorb_Fields::cmdNav_Click(int index) {
    ProcGuard proc(gErr, "frmQuorb_Fields:cmdNav_Click:Index " + std::to_string(index));
    try {
        CommitFocusedEdit();
        switch (index) {
        case 0:
            wizsvc::SendHelpKey(this, HelpTopic);
            break;
        case 1:
            if (m_Wiz && m_Wiz->Changed()) {
                const int answer = wizsvc::WizMessage(
                    this, QStringLiteral("You have made changes to this scenario. Are you sure you want to exit?"), 4);
                if (answer != 6) break;
            }
            LeaveWith(1);
            break;
        case 2:
            if (m_Wiz && CheckFields(m_Wiz->CalcType())) LeaveWith(2);
            break;
        case 4:
            LeaveWith(4);
            break;
        default:
            break;
        }
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Fields::cmdChange_Click() {
    ProcGuard proc(gErr, "frmQuorb_Fields:cmdChange_Click");
    try {
        if (!m_Wiz) return;
        frmQuorb_SelectTable dialog(this);
        dialog.SetWiz(m_Wiz);
        dialog.MakeChangeSourceDialog();
        wizsvc::ShowModal(dialog);
        if (dialog.NavResult() == 2) {
            SetLoading(true);
            m_lblTable->setText(QString::fromStdString(m_Wiz->Table()));
            CScenarioFields& fields = m_Wiz->ScenarioFields();
            for (long i = fields.Count(); i >= 1; --i) fields.Remove(i);
            GetScenarioFields(false);
            LoadFieldLists();
            SetLoading(false);
            m_Wiz->SetChanged(true);
        }
    } catch (...) {
        SetLoading(false);
        proc.HandleError();
    }
}

void frmQuorb_Fields::cmdIgnore_Click() {
    ProcGuard proc(gErr, "frmQuorb_Fields:cmdIgnore_Click");
    try {
        frmIgnore dialog(this);
        dialog.SetWiz(m_Wiz);
        wizsvc::ShowModal(dialog);
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Fields::txtScenario_Description_LostFocus() {
    ProcGuard proc(gErr, "frmQuorb_Fields:txtScenario_Description_LostFocus");
    if (Loading() || !m_Wiz) return;
    const std::string text = m_txtDescription->text().toStdString();
    if (!dao::NamesEqual(text, m_Wiz->Scenario_Description())) {
        m_Wiz->SetScenario_Description(text);
        m_Wiz->SetChanged(true);
    }
}
