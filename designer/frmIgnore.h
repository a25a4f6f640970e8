#pragma once
// "Specify Data Values to Ignore": the scenario's missing-value rule. Analyse
// all values (code "0"), ignore one value (code "1") or ignore a range (code
// "2"). OK checks the entries, empties the boxes the code does not use and
// stores the code and the values into the wizard; Cancel stores nothing.
// Every filled value box must hold a number.
#include <QDialog>
#include <QString>

#include <array>

class CMelvarsPropWiz;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QButtonGroup;

class frmIgnore : public QDialog {
    Q_OBJECT
public:
    explicit frmIgnore(QWidget* parent = nullptr);

    // The first time only: fills the dialog from the wizard.
    void SetWiz(CMelvarsPropWiz* wiz);
    const QString& CurrentCode() const { return m_code; }

    QRadioButton* optMissingtype(int index) const { return m_opt[static_cast<std::size_t>(index)]; }
    QLineEdit* txtMissingEqual() const { return m_txtEqual; }
    QLineEdit* txtMissingLow() const { return m_txtLow; }
    QLineEdit* txtMissingHigh() const { return m_txtHigh; }
    QLabel* lblMissingEqual() const { return m_lblEqual; }
    QLabel* lblMissingLow() const { return m_lblLow; }
    QLabel* lblMissingHigh() const { return m_lblHigh; }
    QPushButton* cmdOK() const { return m_cmdOK; }
    QPushButton* cmdCancel() const { return m_cmdCancel; }

    void optMissingtype_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    bool CheckValues();
    void FieldEnableReset();

    CMelvarsPropWiz* m_Wiz = nullptr;
    QString m_code;
    std::array<QRadioButton*, 3> m_opt{};
    QButtonGroup* m_group = nullptr;
    QLineEdit* m_txtEqual = nullptr;
    QLineEdit* m_txtLow = nullptr;
    QLineEdit* m_txtHigh = nullptr;
    QLabel* m_lblEqual = nullptr;
    QLabel* m_lblLow = nullptr;
    QLabel* m_lblHigh = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
