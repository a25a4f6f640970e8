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
// An options page (pages 4 to 18) is one class derived from CWizPage with
// its own controls, SetWiz and CheckValues; designer/OptionsPages.cpp maps
// the page number to the class.
#include <QDialog>

class CMelvarsPropWiz;

class CWizPage : public QDialog {
    Q_OBJECT
public:
    explicit CWizPage(QWidget* parent = nullptr);

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

protected:
    // Sends the focus away and back so that a text box's focus-out commit runs
    // before a button's action (a click by keyboard or by code does not move
    // the focus by itself).
    void CommitFocusedEdit();
    // Escape presses the page's cancel action; subclasses say which code.
    void reject() override;
    virtual void EscapePressed() {}

    CMelvarsPropWiz* m_Wiz = nullptr;

private:
    long m_NavResult = 0;
    bool m_Loading = false;
};
