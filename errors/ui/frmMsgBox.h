#pragma once
// The program's own message box: a picture on the left, a read-only message
// area on the right and up to four buttons centred along the bottom.
//
//     frmMsgBox box(parent);
//     box.setWindowTitle(appTitle);
//     box.SetMessage("Delete the scenario?");
//     box.SetStyle(4);            // Yes, No
//     box.SetDoBeep(true);
//     box.ShowMessage();          // modal; returns when a response button is pressed
//     if (box.Response() == 6) ...
//
// The picture carries the standard icon of the message's kind: a question
// for the Yes/No sets, a warning otherwise, unless SetIcon names another
// (the platform message box's icon flags). The form stands centred on its
// owner window (the parent's window), on the screen when it has none.
//
// Layout: the form keeps its design geometry in twips (15 twips per pixel).
// The button row and the message area are placed by twips arithmetic each
// time a message is shown.
#include <QDialog>
#include <QString>

#include <array>

class QLabel;
class QPushButton;
class QTextEdit;

class frmMsgBox : public QDialog {
    Q_OBJECT
public:
    // Response codes (the index of the button that was pressed).
    static constexpr int vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7;
    static constexpr int HelpButton = 8;

    // Design values, twips.
    static constexpr int FormClientWidth = 6165;
    static constexpr int FormClientHeight = 3900;
    static constexpr int ButtonWidth = 1095;
    static constexpr int ButtonHeight = 390;
    static constexpr int MessageLeft = 2340;
    static constexpr int MessageTop = 255;
    static constexpr int MessageWidth = 3630;
    static constexpr int MessageHeight = 2985;
    static constexpr int ImageLeft = 135;
    static constexpr int ImageTop = 45;
    static constexpr int ImageWidth = 1950;
    static constexpr int ImageHeight = 3195;
    // The icon of the message's kind on the picture, pixels.
    static constexpr int IconSize = 48;
    static constexpr int IconTop = 14;

    explicit frmMsgBox(QWidget* parent = nullptr);

    const QString& Message() const { return m_message; }
    void SetMessage(const QString& message) { m_message = message; }
    bool DoBeep() const { return m_doBeep; }
    void SetDoBeep(bool doBeep) { m_doBeep = doBeep; }
    bool DisplayHelpButton() const { return m_displayHelpButton; }
    void SetDisplayHelpButton(bool display) { m_displayHelpButton = display; }
    int HelpID() const { return m_helpID; }
    void SetHelpID(int helpID) { m_helpID = helpID; }
    int Style() const { return m_style; }
    void SetStyle(int style) { m_style = style; }
    // The icon: vbCritical, vbQuestion, vbExclamation or vbInformation of
    // the platform message box; 0 (the default) takes the icon of the kind.
    int Icon() const { return m_icon; }
    void SetIcon(int icon) { m_icon = icon; }
    // The icon shown for the current properties.
    int IconShown() const;
    // The response code of the button that has the focus when the form
    // opens (Enter presses it); 0 (the default) gives the shown button with
    // the lowest tab index. A button the set does not show is ignored.
    int DefaultButton() const { return m_defaultButton; }
    void SetDefaultButton(int response) { m_defaultButton = response; }
    // Code of the button pressed last; 0 until one is pressed.
    int Response() const { return m_response; }

    // Lays the form out for the current properties and shows it modally.
    // Returns when a response button has been pressed (or the window was
    // closed, which leaves Response as it was).
    void ShowMessage();

    // One message in one call: caption, text, button set, beep; returns
    // Response. `style` is the button set, to which the platform message
    // box's icon and default-button flags may be added (vbYesNo | vbQuestion
    // | vbDefaultButton2).
    static int Show(QWidget* parent, const QString& caption, const QString& message, int style = 0,
                    bool doBeep = true);

    // --- the layout arithmetic, in twips ---
    struct ButtonRow {
        int step;  // distance from one button's left edge to the next one's
        int left;  // left edge of the first button
        int top;   // top edge of the row
    };
    // The row for `count` shown buttons on a form of the given client size.
    static ButtonRow ComputeButtonRow(double clientWidth, double clientHeight, double buttonWidth,
                                      double buttonHeight, int count);
    static ButtonRow ComputeButtonRow(int count);

    struct TextPlacement {
        int top;
        int height;
    };
    // Top and height of the message area for a text of `lineCount` lines of
    // `lineHeight` twips each, centred in the band the area has by design.
    static TextPlacement ComputeMessagePlacement(int lineCount, int lineHeight);

    // The button sets: the indexes (1 to 7) a Style marks, in index order. A
    // Style outside 0 to 5 marks none.
    static std::array<bool, 9> ButtonsOfStyle(int style);

    // The response button with that index (1 to 8), for tests and callers that
    // want to look at the row.
    QPushButton* ResponseButton(int index) const;
    QTextEdit* MessageArea() const { return m_txtMessage; }
    QLabel* IconImage() const { return m_iconImage; }

    // Lines the message area lays the current text out in (at least 1).
    int GetTextBoxLineCount() const;
    // Height of one line of the message font, in whole twips.
    int LineHeightTwips() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void cmdResponse_Click(int index);
    void ArrangeButtons();
    void ShowIcon();
    void SizeMessageText();
    void PlaceTwips(QWidget* widget, double left, double top, double width, double height);

    QString m_message;
    bool m_displayHelpButton = false;
    int m_helpID = 0;
    int m_response = 0;
    int m_style = 0;
    bool m_doBeep = false;
    int m_icon = 0;
    int m_defaultButton = 0;

    bool m_loaded = false;
    QLabel* m_image = nullptr;
    QLabel* m_iconImage = nullptr;
    QTextEdit* m_txtMessage = nullptr;
    std::array<QPushButton*, 9> m_cmdResponse{}; // 1..8; slot 0 unused
    std::array<bool, 9> m_shown{};
    QPushButton* m_firstFocus = nullptr;
};
