#pragma once
// The contract between the designer's page loop (CMelvarsPropWiz::
// ShowStatWizard) and each of its pages. A page is a dialog that:
//
// - receives the wizard through SetWiz before every showing. What a repeated
//   SetWiz does is the page's own rule (the type and Finish pages refill
//   themselves; the table, field and options pages fill only at the first).
// - fills its controls with Loading raised; its control handlers do nothing
//   while Loading is raised, so filling stores nothing and leaves Changed
//   alone;
// - stores each user edit into the wizard at once and sets the wizard's
//   Changed;
// - ends its showing with LeaveWith(code): 1 back, 2 next (on the Finish page:
//   leave), 3 save and run, 4 cancel. The page is hidden, not destroyed, and
//   the loop reads NavResult.
//
// What the user meets alike on every page:
// - one window size (PageWidthTwips x PageHeightTwips); the loop shows each
//   page where the previous one stood;
// - one row of buttons (ButtonRow): the page's own buttons at the left and,
//   at the right, Help, Cancel, < Back and the forward button, all of one
//   size;
// - Escape and the window's close box do what the page's Cancel does
//   (EscapePressed); Enter presses no button.
//
// An options page (pages 4 to 18) is one class derived from CWizPage with
// its own controls, SetWiz and CheckValues; designer/OptionsPages.cpp maps
// the page number to the class.
#include <QDialog>

#include <initializer_list>

class CMelvarsPropWiz;
class QHBoxLayout;
class QPushButton;

class CWizPage : public QDialog {
    Q_OBJECT
public:
    explicit CWizPage(QWidget* parent = nullptr);
    ~CWizPage() override;

    // The size of every page of the wizard, twips.
    static constexpr int PageWidthTwips = 11700;
    static constexpr int PageHeightTwips = 8250;

    // "Wiz": hands the page the wizard (the loop calls it before every showing).
    virtual void SetWiz(CMelvarsPropWiz* wiz) = 0;
    CMelvarsPropWiz* Wiz() const { return m_Wiz; }

    // How the page was left; 0 until a navigation button set it.
    long NavResult() const { return m_NavResult; }
    virtual void SetNavResult(long code) { m_NavResult = code; }

    bool Loading() const { return m_Loading; }
    void SetLoading(bool loading) { m_Loading = loading; }

    // Stores the code and hides the page (which ends a modal showing).
    void LeaveWith(long code);

    // Makes a button of the page's row: object name "cmdNav_<index>" for a
    // navigation button (index >= 0), else the name given.
    QPushButton* NavButton(const char* caption, int index, const char* name = nullptr);

protected:
    // Lays out the row of buttons: `own` at the left edge, then at the right
    // edge in this order help, cancel, back and forward (a null one leaves
    // its place out). Every button of the row gets one size: at least 1110 x
    // 330 twips and wide enough for the longest caption with room on both
    // sides. Tab takes the row after the page's own controls, from left to
    // right, and the page opens on its own controls (see OrderButtonRow).
    QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> own, QPushButton* help, QPushButton* cancel,
                           QPushButton* back, QPushButton* forward);

    // Sends the focus away and back so that a text box's focus-out commit runs
    // before a button's action (a click by keyboard or by code does not move
    // the focus by itself).
    void CommitFocusedEdit();
    // Escape and the close box press the page's cancel action; subclasses say
    // which.
    void reject() override;
    virtual void EscapePressed() {}
    // Enter presses no button of a page (a page has no default button).
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

    CMelvarsPropWiz* m_Wiz = nullptr;

private:
    // Orders the row's buttons in the tab order as they stand in the row, and
    // gives a page shown for the first time the focus on the control that
    // Tab takes after the row. Run at every showing.
    void OrderButtonRow();

    long m_NavResult = 0;
    bool m_Loading = false;
    QHBoxLayout* m_buttonRow = nullptr;
};
