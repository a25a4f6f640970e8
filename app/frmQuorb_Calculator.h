#pragma once
// "Probability Calculator": the probability of a test statistic under the
// normal, t, chi-square or F distribution, or in inverse mode the value of
// the statistic for a probability. Each calculation asks a new engine
// (Varnello::Probability and ProbInverse). The window is modeless and there
// is one of it: ShowCalculator brings back the open one with its values.
#include <QDialog>
#include <QString>

#include <array>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmQuorb_Calculator : public QDialog {
    Q_OBJECT
public:
    static constexpr int HelpContextID = 320;
    static constexpr int FormWidthTwips = 7320;
    static constexpr int FormHeightTwips = 2910;

    explicit frmQuorb_Calculator(QWidget* parent = nullptr);

    void Form_Load();
    void optProbType_Click(int index);
    void cmdCalculate_Click();
    void cmdInverse_Click();
    void cmdClose_Click();
    void cmdHelp_Click();
    int GetProbTypeSelection() const;

    const QString& ProbType() const { return m_ProbType; }
    bool Inverse() const { return m_Inverse; }

    QRadioButton* optProbType(int index) const { return m_optProbType.at(static_cast<std::size_t>(index)); }
    QLineEdit* txtTestValue() const { return m_txtTestValue; }
    QLineEdit* txtDF1() const { return m_txtDF1; }
    QLineEdit* txtDF2() const { return m_txtDF2; }
    QLabel* lblTestValue() const { return m_lblTestValue; }
    QLabel* lblDF1Fld() const { return m_lblDF1Fld; }
    QLabel* lblDF2() const { return m_lblDF2; }
    QLabel* lblProbabilityCaption() const { return m_lblProbabilityCaption; }
    QLabel* lblProbability() const { return m_lblProbability; }
    QLabel* lblProbRange() const { return m_lblProbRange; }

    // A result as the pattern "0.####################" writes it: at least
    // one digit before the point, at most twenty after it (the number taken
    // to fifteen significant digits), no trailing zeros, the point always.
    static QString FormatResult(double value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CalcProbInverse();
    void Message(const QString& text);

    QString m_ProbType = QStringLiteral("Z-Value");
    bool m_Inverse = false;

    std::array<QRadioButton*, 4> m_optProbType{};
    QLineEdit* m_txtTestValue = nullptr;
    QLineEdit* m_txtDF1 = nullptr;
    QLineEdit* m_txtDF2 = nullptr;
    QLabel* m_lblTestValue = nullptr;
    QLabel* m_lblDF1Fld = nullptr;
    QLabel* m_lblDF2 = nullptr;
    QLabel* m_lblProbabilityCaption = nullptr;
    QLabel* m_lblProbability = nullptr;
    QLabel* m_lblProbRange = nullptr;
};

// Shows the calculator (modeless), creating it when it is not open.
frmQuorb_Calculator* ShowCalculator();
