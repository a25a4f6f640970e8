#pragma once
// What every options page of the designer does alike. A page derives from
// COptionsPage, builds its frames in its constructor with the binding
// helpers below, and names its enabling rules and checks:
//
//     frmQuorb_Options_Compare::frmQuorb_Options_Compare(QWidget* parent)
//         : COptionsPage("frmQuorb_Options_Compare", "ZUR Statistics Compare Options", 0, parent) {
//         auto* fra = Frame("fraComparisonOptions", "Comparison Options");
//         auto* grid = new QGridLayout(fra);
//         grid->addWidget(Check(fra, "chkCountXY", "C&ount Difference",
//                               &CMelvarsScenario::CountXY, &CMelvarsScenario::SetCountXY), 0, 0);
//         ...
//     }
//
// The shared behaviour:
// - SetWiz keeps the first wizard given and fills the controls from it once,
//   under Loading, in the order they were bound; then the enabling rules run.
//   A later SetWiz does nothing: a page shown again keeps what the user left.
// - A check box stores True when ticked (False when clear or grayed), an
//   option button its literal; both set the wizard's Changed and then run
//   the rule given with them. Nothing is stored while Loading is raised.
// - A text box selects its text on focus, keeps only digits, "." and "-",
//   and applies its rule when it loses the focus (or when Next is pressed
//   while it has the focus). A refused entry shows its message, stores
//   nothing and puts the focus back into the box with the text as typed.
// - Help sends the page's help topic; Back leaves with 1; Next runs the
//   page's checks and leaves with 2 only when they pass (a failing check has
//   put the focus on the control to correct, and its message is shown);
//   Cancel and Escape leave with 4. Enter presses nothing.
#include "designer/CWizPage.h"
#include "scenario/CMelvarsScenario.h"

#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

class COptionsPage : public CWizPage {
    Q_OBJECT
public:
    // formName: the page's object name (and the prefix of its procedure
    // names); caption: its window title; helpTopic: its help context.
    COptionsPage(const char* formName, const char* caption, int helpTopic, QWidget* parent);

    void SetWiz(CMelvarsPropWiz* wiz) override;

    // Navigation buttons 0 help, 1 back, 2 next, 4 cancel (null for others).
    QPushButton* cmdNav(int index) const;
    void cmdNav_Click(int index);
    int HelpTopic() const { return m_helpTopic; }

    // A control of the page by its object name (null when it has none).
    template <class T = QWidget>
    T* Control(const char* name) const {
        return findChild<T*>(QString::fromLatin1(name));
    }

    // The outcome of a text box's rule.
    enum class BoxResult { Unchanged, Stored, Refused };
    // The box's rule on leaving it (what losing the focus runs).
    BoxResult BoxLostFocus(QLineEdit* box) { return RunBoxRule(box); }

protected:
    using BoolGet = bool (CMelvarsScenario::*)() const;
    using BoolSet = void (CMelvarsScenario::*)(bool);
    using TextGet = std::string (CMelvarsScenario::*)() const;
    using TextSet = void (CMelvarsScenario::*)(std::string);
    using Rule = std::function<void()>;
    // A text box's rule on leaving: given the box's text, stores or refuses.
    using BoxRule = std::function<BoxResult(const QString& text)>;

    // The page's body, above the navigation buttons.
    QVBoxLayout* Body() const { return m_body; }
    // A frame (group box) with the object name and caption, added to the body
    // when addToBody is true.
    QGroupBox* Frame(const char* name, const char* caption, bool addToBody = true);
    QLabel* Label(QWidget* parent, const char* name, const char* caption, bool wrap = false);

    // A check box bound to a Boolean property.
    QCheckBox* Check(QWidget* parent, const char* name, const char* caption, BoolGet get, BoolSet set,
                     Rule after = {});
    // An option group bound to a text property; returns its number. When the
    // property matches none of the literals, the fallback button (if any) is
    // selected at filling, without storing; otherwise none is selected.
    int OptionGroup(TextGet get, TextSet set);
    QRadioButton* Option(int group, QWidget* parent, const char* name, const char* caption, const char* literal,
                         Rule after = {});
    void SetOptionFallback(int group, QRadioButton* button);
    // A number box: filled with `fill()` and ruled by `rule` on leaving.
    QLineEdit* Box(QWidget* parent, const char* name, std::function<QString()> fill, BoxRule rule);

    // The shared box rules. Bounded whole number: an empty, non-numeric or
    // out-of-range text is refused with the message; otherwise the value
    // rounded (halves to even) is stored. Free number: the leading number of
    // the text (0 for none) is stored as a double; with rewrite the box then
    // shows the stored value.
    BoxResult BoundedWholeNumber(const QString& text, std::int16_t (CMelvarsScenario::*get)() const,
                                 void (CMelvarsScenario::*set)(std::int16_t), double lo, double hi,
                                 const char* message);
    BoxResult FreeNumber(QLineEdit* box, const QString& text, dao::Variant (CMelvarsScenario::*get)() const,
                         void (CMelvarsScenario::*set)(dao::Variant), bool rewrite);

    // The page's own checks in their order: the first fault's message
    // (empty when the page may be left).
    virtual std::string PageChecks() { return {}; }
    // The page's enabling rules, run after filling.
    virtual void EnableControls() {}

    // The scenario in edit.
    CMelvarsScenario& S() const;
    void MarkChanged() const;
    void ShowMessage(const QString& text);
    std::string Proc(const char* procedure) const { return m_formName + ":" + procedure; }
    void EscapePressed() override { cmdNav_Click(4); }
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Text of a property as a box shows it: empty for Empty and Null.
    static QString TextOf(const dao::Variant& v);
    // The value of a numeric text; false for an empty or non-numeric text.
    static bool NumberOf(const QString& text, double& value);

private:
    void SetControlValues();
    bool CheckValues();
    BoxResult RunBoxRule(QLineEdit* box);

    struct Group {
        TextGet get;
        TextSet set;
        std::vector<std::pair<QRadioButton*, std::string>> buttons;
        QButtonGroup* qgroup = nullptr;
        QRadioButton* fallback = nullptr;
    };
    struct BoxBinding {
        QLineEdit* box;
        BoxRule rule;
        bool refused = false;
    };

    std::string m_formName;
    int m_helpTopic = 0;
    QVBoxLayout* m_body = nullptr;
    std::array<QPushButton*, 5> m_cmdNav{};
    std::vector<Rule> m_fillers;
    std::vector<Group> m_groups;
    std::vector<BoxBinding> m_boxes;
    bool m_inBoxRule = false;
};
