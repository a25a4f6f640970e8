#include "designer/COptionsPage.h"

#include "designer/CMelvarsPropWiz.h"
#include "designer/NumericLineEdit.h"
#include "designer/WizServices.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "platform/ui/Twips.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using platform::ui::PixelsFromTwips;

COptionsPage::COptionsPage(const char* formName, const char* caption, int helpTopic, QWidget* parent)
    : CWizPage(parent), m_formName(formName), m_helpTopic(helpTopic) {
    setObjectName(QString::fromLatin1(formName));
    setWindowTitle(QString::fromLatin1(caption));

    auto* layout = new QVBoxLayout(this);
    m_body = new QVBoxLayout;
    layout->addLayout(m_body, 1);
    // Help, Cancel, Back, Next from left to right; none is a default button.
    const std::pair<int, const char*> buttons[] = {{0, "Help"}, {4, "Cancel"}, {1, "< &Back"}, {2, "&Next >"}};
    for (const auto& [index, text] : buttons) {
        QPushButton* b = NavButton(text, index);
        m_cmdNav[static_cast<std::size_t>(index)] = b;
        connect(b, &QPushButton::clicked, this, [this, i = index] { cmdNav_Click(i); });
    }
    layout->addLayout(ButtonRow({}, m_cmdNav[0], m_cmdNav[4], m_cmdNav[1], m_cmdNav[2]));
}

QPushButton* COptionsPage::cmdNav(int index) const {
    return index >= 0 && index < 5 ? m_cmdNav[static_cast<std::size_t>(index)] : nullptr;
}

CMelvarsScenario& COptionsPage::S() const { return m_Wiz->Scenario(); }

void COptionsPage::MarkChanged() const { m_Wiz->SetChanged(true); }

QGroupBox* COptionsPage::Frame(const char* name, const char* caption, bool addToBody) {
    auto* frame = new QGroupBox(QString::fromLatin1(caption), this);
    frame->setObjectName(QString::fromLatin1(name));
    if (addToBody) m_body->addWidget(frame);
    return frame;
}

QLabel* COptionsPage::Label(QWidget* parent, const char* name, const char* caption, bool wrap) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(wrap);
    return label;
}

QCheckBox* COptionsPage::Check(QWidget* parent, const char* name, const char* caption, BoolGet get, BoolSet set,
                               Rule after) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    m_fillers.push_back([this, box, get] { box->setChecked((S().*get)()); });
    connect(box, &QCheckBox::clicked, this, [this, box, set, after, name = std::string(name)] {
        ProcGuard proc(gErr, Proc((name + "_Click").c_str()));
        try {
            if (Loading() || !m_Wiz) return;
            (S().*set)(box->checkState() == Qt::Checked);
            MarkChanged();
            if (after) after();
        } catch (...) {
            proc.HandleError();
        }
    });
    return box;
}

int COptionsPage::OptionGroup(TextGet get, TextSet set) {
    Group g{get, set, {}, new QButtonGroup(this), nullptr};
    m_groups.push_back(std::move(g));
    const int index = static_cast<int>(m_groups.size()) - 1;
    m_fillers.push_back([this, index] {
        Group& grp = m_groups[static_cast<std::size_t>(index)];
        const std::string value = (S().*grp.get)();
        QRadioButton* match = nullptr;
        for (const auto& [button, literal] : grp.buttons)
            if (!match && value == literal) match = button;
        if (!match) match = grp.fallback;
        // No selection at all needs the group's exclusivity lifted a moment.
        grp.qgroup->setExclusive(false);
        for (const auto& entry : grp.buttons) entry.first->setChecked(entry.first == match);
        grp.qgroup->setExclusive(true);
    });
    return index;
}

QRadioButton* COptionsPage::Option(int group, QWidget* parent, const char* name, const char* caption,
                                   const char* literal, Rule after) {
    auto* button = new QRadioButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    Group& g = m_groups[static_cast<std::size_t>(group)];
    g.buttons.emplace_back(button, literal);
    g.qgroup->addButton(button);
    connect(button, &QRadioButton::clicked, this,
            [this, group, after, value = std::string(literal), name = std::string(name)] {
                ProcGuard proc(gErr, Proc((name + "_Click").c_str()));
                try {
                    if (Loading() || !m_Wiz) return;
                    (S().*m_groups[static_cast<std::size_t>(group)].set)(value);
                    MarkChanged();
                    if (after) after();
                } catch (...) {
                    proc.HandleError();
                }
            });
    return button;
}

void COptionsPage::SetOptionFallback(int group, QRadioButton* button) {
    m_groups[static_cast<std::size_t>(group)].fallback = button;
}

QLineEdit* COptionsPage::Box(QWidget* parent, const char* name, std::function<QString()> fill, BoxRule rule) {
    auto* box = new NumericLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMinimumWidth(PixelsFromTwips(900));
    box->setMaximumWidth(PixelsFromTwips(1200));
    box->installEventFilter(this);
    m_fillers.push_back([box, fill = std::move(fill)] { box->setText(fill()); });
    m_boxes.push_back({box, std::move(rule), false});
    // A refusal holds only for the text refused.
    connect(box, &QLineEdit::textEdited, this, [this, box] {
        for (BoxBinding& b : m_boxes)
            if (b.box == box) b.refused = false;
    });
    return box;
}

bool COptionsPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Leaving the box within the page counts; another window taking the
        // focus (a message, another program, the page being hidden) does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            if (auto* box = qobject_cast<QLineEdit*>(watched)) RunBoxRule(box);
    }
    return CWizPage::eventFilter(watched, event);
}

COptionsPage::BoxResult COptionsPage::RunBoxRule(QLineEdit* box) {
    // The message a rule shows takes the focus away from the box again.
    if (m_inBoxRule || Loading() || !m_Wiz) return BoxResult::Unchanged;
    for (BoxBinding& b : m_boxes) {
        if (b.box != box) continue;
        ProcGuard proc(gErr, Proc((box->objectName().toStdString() + "_LostFocus").c_str()));
        m_inBoxRule = true;
        BoxResult result = BoxResult::Unchanged;
        try {
            result = b.rule(box->text());
        } catch (...) {
            proc.HandleError();
        }
        b.refused = result == BoxResult::Refused;
        if (b.refused) box->setFocus();
        m_inBoxRule = false;
        return result;
    }
    return BoxResult::Unchanged;
}

QString COptionsPage::TextOf(const dao::Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return {};
    return QString::fromStdString(v.ToString());
}

bool COptionsPage::NumberOf(const QString& text, double& value) {
    const std::string t = text.toStdString();
    if (t.empty() || !dao::IsNumeric(t)) return false;
    value = dao::Val(t);
    return true;
}

COptionsPage::BoxResult COptionsPage::BoundedWholeNumber(const QString& text,
                                                         std::int16_t (CMelvarsScenario::*get)() const,
                                                         void (CMelvarsScenario::*set)(std::int16_t), double lo,
                                                         double hi, const char* message) {
    if (text == QString::number((S().*get)())) return BoxResult::Unchanged;
    double v = 0;
    if (!NumberOf(text, v) || v < lo || v > hi) {
        ShowMessage(QString::fromLatin1(message));
        return BoxResult::Refused;
    }
    (S().*set)(static_cast<std::int16_t>(dao::RoundHalfEven(v)));
    MarkChanged();
    return BoxResult::Stored;
}

COptionsPage::BoxResult COptionsPage::FreeNumber(QLineEdit* box, const QString& text,
                                                 dao::Variant (CMelvarsScenario::*get)() const,
                                                 void (CMelvarsScenario::*set)(dao::Variant), bool rewrite) {
    if (text == TextOf((S().*get)())) return BoxResult::Unchanged;
    (S().*set)(dao::Variant(dao::Val(text.toStdString())));
    MarkChanged();
    if (rewrite) box->setText(TextOf((S().*get)()));
    return BoxResult::Stored;
}

void COptionsPage::ShowMessage(const QString& text) { wizsvc::WizMessage(this, text, 0); }

void COptionsPage::SetWiz(CMelvarsPropWiz* wiz) {
    ProcGuard proc(gErr, Proc("Set Wiz"));
    try {
        if (m_Wiz || !wiz) return;
        m_Wiz = wiz;
        SetControlValues();
    } catch (...) {
        proc.HandleError();
    }
}

void COptionsPage::SetControlValues() {
    ProcGuard proc(gErr, Proc("SetControlValues"));
    try {
        SetLoading(true);
        for (const Rule& fill : m_fillers) fill();
        SetLoading(false);
        EnableControls();
    } catch (...) {
        SetLoading(false);
        proc.HandleError();
    }
}

bool COptionsPage::CheckValues() {
    ProcGuard proc(gErr, Proc("CheckValues"));
    std::string msg;
    try {
        msg = PageChecks();
    } catch (...) {
        proc.HandleError();
    }
    if (!msg.empty()) ShowMessage(QString::fromStdString(msg));
    return msg.empty();
}

void COptionsPage::cmdNav_Click(int index) {
    ProcGuard proc(gErr, Proc("cmdNav_Click"));
    try {
        switch (index) {
        case 0:
            wizsvc::SendHelpKey(this, m_helpTopic);
            break;
        case 1:
            LeaveWith(1);
            break;
        case 2: {
            // A box being edited takes its entry first (by keyboard the
            // focus never left it); a refused entry keeps the page.
            if (auto* box = qobject_cast<QLineEdit*>(focusWidget())) {
                for (const BoxBinding& b : m_boxes)
                    if (b.box == box && b.refused) return;
                if (RunBoxRule(box) == BoxResult::Refused) return;
            }
            if (!m_Wiz || !CheckValues()) return;
            LeaveWith(2);
            break;
        }
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
