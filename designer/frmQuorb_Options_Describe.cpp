#include "designer/frmQuorb_Options_Describe.h"

#include "designer/CMelvarsPropWiz.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;

frmQuorb_Options_Describe::frmQuorb_Options_Describe(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Describe", "ZUR Statistics Describe Options", 70, parent) {
    auto* top = new QHBoxLayout;
    Body()->addLayout(top, 1);

    // Left: the statistics, the intervals and the t-test.
    auto* fraStats = Frame("fraStatistics", "Statistics", false);
    top->addWidget(fraStats, 1);
    auto* g = new QGridLayout(fraStats);
    int r = 0;
    g->addWidget(Check(fraStats, "chkRange", "Minimum, Maximum, Range", &S_::Range, &S_::SetRange), r++, 0, 1, 4);
    auto* chkVarStd = Check(fraStats, "chkVarStd", "", &S_::VarStd, &S_::SetVarStd, [this] { SetMethodOptionEnabled(); });
    auto* varRow = new QHBoxLayout;
    varRow->addWidget(chkVarStd);
    auto* label2 = Label(fraStats, "Label2", "Var&iance, Coefficient of Variance, Standard Deviation, Standard Error", true);
    label2->setBuddy(chkVarStd);
    label2->setMinimumHeight(2 * label2->fontMetrics().lineSpacing() + 2); // two lines
    varRow->addWidget(label2, 1);
    g->addLayout(varRow, r++, 0, 1, 4);
    const int divisor = OptionGroup(&S_::VarNRadio, &S_::SetVarNRadio);
    g->addWidget(Label(fraStats, "Label3", "Method:"), r, 1);
    g->addWidget(Option(divisor, fraStats, "optMethodN", "N", "N"), r, 2);
    g->addWidget(Option(divisor, fraStats, "optMethodN1", "N-1", "N-1"), r++, 3);
    g->addWidget(Check(fraStats, "chkSum", "Sum, Sum Squared", &S_::Sum, &S_::SetSum), r++, 0, 1, 4);
    g->addWidget(Check(fraStats, "chkMean", "Means: Geometric, Harmonic, &RMS", &S_::Mean, &S_::SetMean), r++, 0, 1, 4);
    g->addWidget(Check(fraStats, "chkSkew", "Skewness, &Kurtosis", &S_::Skew, &S_::SetSkew), r++, 0, 1, 4);
    g->addWidget(Check(fraStats, "chkMode", "Mode, Mode Count", &S_::Mode, &S_::SetMode), r++, 0, 1, 4);
    g->addWidget(Check(fraStats, "chkCI", "Confidence Intervals", &S_::CI, &S_::SetCI), r, 0, 1, 2);
    g->addWidget(Label(fraStats, "Label11", "Intervals"), r++, 2, 1, 2);
    g->addWidget(Check(fraStats, "chkCI95", "95%", &S_::CI95, &S_::SetCI95), r, 1);
    g->addWidget(Label(fraStats, "lblCIUser", "Other %"), r, 2, Qt::AlignRight);
    g->addWidget(Box(fraStats, "txtCIUser", [this] { return TextOf(S().CIUser()); },
                     [this](const QString& t) { return CIUserRule(t); }),
                 r++, 3);
    const int ciType = OptionGroup(&S_::CITypeRadio, &S_::SetCITypeRadio);
    g->addWidget(Option(ciType, fraStats, "optConfidenceTTest", "t-Test", "t-Test", [this] { SetStdDevEnabled(); }),
                 r++, 1, 1, 3);
    g->addWidget(Option(ciType, fraStats, "optConfidenceNormal", "Normal (requires std. dev.)", "Normal",
                        [this] { SetStdDevEnabled(); }),
                 r, 1, 1, 2);
    auto* stdDevRow = new QHBoxLayout;
    stdDevRow->addWidget(Label(fraStats, "lblCIStdDev", "Std. Dev."));
    stdDevRow->addWidget(Box(fraStats, "txtCIStdDev", [this] { return TextOf(S().CIStdDev()); },
                             [this](const QString& t) { return CIStdDevRule(t); }));
    g->addLayout(stdDevRow, r++, 3);
    g->addWidget(Check(fraStats, "chkTTestMean", "t-test &vs. Mean", &S_::TTestMean, &S_::SetTTestMean), r, 0, 1, 2);
    g->addWidget(Label(fraStats, "lblTTestValue", "Mean to Test:"), r, 2, Qt::AlignRight);
    g->addWidget(Box(fraStats, "txtTTestValue", [this] { return QString::fromStdString(dao::FormatDouble(S().TTestValue())); },
                     [this](const QString& t) { return TTestValueRule(t); }),
                 r++, 3);
    g->setColumnMinimumWidth(0, 18);
    g->setRowStretch(r, 1);

    // Right: percentiles and the frequency distribution.
    auto* right = new QVBoxLayout;
    top->addLayout(right, 1);
    auto* fraPcnt = Frame("fraPercentiles", "Percentiles", false);
    right->addWidget(fraPcnt);
    auto* pg = new QGridLayout(fraPcnt);
    pg->addWidget(Check(fraPcnt, "chkPercentile", "Percentiles", &S_::Percentile, &S_::SetPercentile,
                        [this] { SetPercentileOptionEnabled(); }),
                  0, 0, 1, 4);
    const int pcnt = OptionGroup(&S_::PercentileRadio, &S_::SetPercentileRadio);
    pg->addWidget(Option(pcnt, fraPcnt, "optPcntRadioMedian", "Median", "Median"), 1, 0);
    pg->addWidget(Option(pcnt, fraPcnt, "optPcntRadioQuartiles", "Quartiles", "Quartiles"), 1, 1);
    pg->addWidget(Option(pcnt, fraPcnt, "optPcntRadioQuintiles", "Quintiles", "5"), 1, 2);
    pg->addWidget(Option(pcnt, fraPcnt, "optPcntRadioDeciles", "Deciles", "Deciles"), 1, 3);

    auto* fra2 = Frame("Frame2", "Frequency Distribution", false);
    right->addWidget(fra2, 1);
    auto* fg = new QGridLayout(fra2);
    fg->addWidget(Check(fra2, "chkFreqN", "Count of Occurrences", &S_::FreqN, &S_::SetFreqN), 0, 0, 1, 2);
    fg->addWidget(Check(fra2, "chkFreqP", "Percent of Occurrences", &S_::FreqP, &S_::SetFreqP), 0, 2, 1, 2);
    fg->addWidget(Label(fra2, "lblNumIntervals", "Number of Intervals:"), 1, 0, 1, 2);
    fg->addWidget(Box(fra2, "txtInterV", [this] { return QString::number(S().InterV()); },
                      [this](const QString& t) { return InterVRule(t); }),
                  1, 2);
    fg->addWidget(Label(fra2, "lbl2to50", "(2 to 50)"), 1, 3);
    fg->addWidget(Label(fra2, "lblIncEachInterval", "Include in each interval:"), 2, 0, 1, 2);
    const int inc = OptionGroup(&S_::FreqIncRadio, &S_::SetFreqIncRadio);
    fg->addWidget(Option(inc, fra2, "optFreqIncRadioLower", "Lower", "Lower"), 2, 2);
    fg->addWidget(Option(inc, fra2, "optFreqIncRadioUppper", "Upper Limit", "Upper"), 2, 3);
    fg->addWidget(Label(fra2, "lblDisplayType", "Display Type:"), 3, 0, 1, 2);
    const int disp = OptionGroup(&S_::FreqDispRadio, &S_::SetFreqDispRadio);
    fg->addWidget(Option(disp, fra2, "optFreqDispRadioCount", "Count", "Count"), 3, 2);
    fg->addWidget(Option(disp, fra2, "optFreqDispRadioCum", "Cumulative", "Cumulative"), 3, 3);
    fg->addWidget(Label(fra2, "lblGroupings", "Groupings:"), 4, 0, 1, 2);
    const int grp = OptionGroup(&S_::FreqGroupRadio, &S_::SetFreqGroupRadio);
    fg->addWidget(Option(grp, fra2, "optFreqGroupRadioDefault", "Default", "Default", [this] { SetFreqGroupSpecEnabled(); }),
                  4, 2);
    fg->addWidget(Option(grp, fra2, "optFreqGroupRadioSpec", "Specified", "Specified", [this] { SetFreqGroupSpecEnabled(); }),
                  4, 3);
    fg->addWidget(Label(fra2, "lblFreqInit", "Initial Value:"), 5, 2, Qt::AlignRight);
    fg->addWidget(Box(fra2, "txtFreqInit", [this] { return TextOf(S().FreqInit()); },
                      [this](const QString& t) {
                          return FreeNumber(Control<QLineEdit>("txtFreqInit"), t, &S_::FreqInit, &S_::SetFreqInit, false);
                      }),
                  5, 3);
    fg->addWidget(Label(fra2, "lblFreqWidth", "Width:"), 6, 2, Qt::AlignRight);
    fg->addWidget(Box(fra2, "txtFreqWidth", [this] { return TextOf(S().FreqWidth()); },
                      [this](const QString& t) {
                          return FreeNumber(Control<QLineEdit>("txtFreqWidth"), t, &S_::FreqWidth, &S_::SetFreqWidth, false);
                      }),
                  6, 3);
}

void frmQuorb_Options_Describe::EnableControls() {
    SetMethodOptionEnabled();
    SetPercentileOptionEnabled();
    SetStdDevEnabled();
    SetFreqGroupSpecEnabled();
}

void frmQuorb_Options_Describe::SetMethodOptionEnabled() {
    const bool on = Control<QCheckBox>("chkVarStd")->isChecked();
    for (const char* n : {"optMethodN1", "optMethodN"}) Control(n)->setEnabled(on);
}

void frmQuorb_Options_Describe::SetPercentileOptionEnabled() {
    const bool on = Control<QCheckBox>("chkPercentile")->isChecked();
    for (const char* n : {"optPcntRadioMedian", "optPcntRadioQuartiles", "optPcntRadioDeciles", "optPcntRadioQuintiles"})
        Control(n)->setEnabled(on);
}

void frmQuorb_Options_Describe::SetStdDevEnabled() {
    const bool on = Control<QRadioButton>("optConfidenceNormal")->isChecked();
    for (const char* n : {"txtCIStdDev", "lblCIStdDev"}) Control(n)->setEnabled(on);
}

void frmQuorb_Options_Describe::SetFreqGroupSpecEnabled() {
    const bool on = Control<QRadioButton>("optFreqGroupRadioSpec")->isChecked();
    for (const char* n : {"txtFreqInit", "lblFreqInit", "txtFreqWidth", "lblFreqWidth"}) Control(n)->setEnabled(on);
}

COptionsPage::BoxResult frmQuorb_Options_Describe::CIStdDevRule(const QString& text) {
    if (text == TextOf(S().CIStdDev())) return BoxResult::Unchanged;
    double v = 0;
    if (!text.isEmpty() && (!NumberOf(text, v) || v <= 0)) {
        ShowMessage(QStringLiteral("Please enter a number greater than zero."));
        return BoxResult::Refused;
    }
    S().SetCIStdDev(text.isEmpty() ? dao::Variant(std::string()) : dao::Variant(v));
    MarkChanged();
    return BoxResult::Stored;
}

COptionsPage::BoxResult frmQuorb_Options_Describe::CIUserRule(const QString& text) {
    if (text == TextOf(S().CIUser())) return BoxResult::Unchanged;
    double v = 0;
    if (!text.isEmpty() && (!NumberOf(text, v) || v < 1 || v > 99.999)) {
        ShowMessage(QStringLiteral("Please enter a value between 1 and 99.999"));
        return BoxResult::Refused;
    }
    S().SetCIUser(text.isEmpty() ? dao::Variant(std::string()) : dao::Variant(v));
    MarkChanged();
    return BoxResult::Stored;
}

COptionsPage::BoxResult frmQuorb_Options_Describe::InterVRule(const QString& text) {
    if (text == QString::number(S().InterV())) return BoxResult::Unchanged;
    // An empty count matters only while a frequency is asked for.
    if (text.isEmpty() && !Control<QCheckBox>("chkFreqN")->isChecked() && !Control<QCheckBox>("chkFreqP")->isChecked())
        return BoxResult::Unchanged;
    return BoundedWholeNumber(text, &S_::InterV, &S_::SetInterV, 2, 50, "Please enter a number between 2 and 50.");
}

COptionsPage::BoxResult frmQuorb_Options_Describe::TTestValueRule(const QString& text) {
    if (text == QString::fromStdString(dao::FormatDouble(S().TTestValue()))) return BoxResult::Unchanged;
    double v = 0;
    if (text.isEmpty()) {
        Control<QLineEdit>("txtTTestValue")->setText(QStringLiteral("0"));
    } else if (!NumberOf(text, v)) {
        ShowMessage(QStringLiteral("Please enter a number for the mean to test."));
        return BoxResult::Refused;
    }
    S().SetTTestValue(v);
    MarkChanged();
    return BoxResult::Stored;
}

std::string frmQuorb_Options_Describe::PageChecks() {
    std::string msg = m_Wiz->CheckDescribe(*this);
    if (msg.empty()) msg = m_Wiz->CheckFrequency(*this, S().FreqN(), S().FreqP());
    return msg;
}
