#include "designer/frmQuorb_Options_Frequency.h"

#include "designer/CMelvarsPropWiz.h"
#include "platform/ui/Twips.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpacerItem>
#include <QVBoxLayout>

using S_ = CMelvarsScenario;
using platform::ui::PixelsFromTwips;

frmQuorb_Options_Frequency::frmQuorb_Options_Frequency(QWidget* parent)
    : COptionsPage("frmQuorb_Options_Frequency", "ZUR Statistics Frequency Options", 80, parent) {
    auto* fra = Frame("fraFreqDist", "Frequency Distribution");
    auto* v = new QVBoxLayout(fra);
    auto* first = new QGridLayout;
    v->addLayout(first);
    first->addWidget(Label(fra, "lblNumIntervals", "Number of Intervals:"), 0, 0);
    first->addWidget(Box(fra, "txtInterV", [this] { return QString::number(S().InterV()); },
                         [this](const QString& t) {
                             return BoundedWholeNumber(t, &S_::InterV, &S_::SetInterV, 2, 50,
                                                       "Please enter a number between 2 and 50.");
                         }),
                     0, 1);
    // The bounds stand beside the box, on its line.
    first->addWidget(Label(fra, "lbl2to50", "(2 to 50)"), 0, 2);
    first->addItem(new QSpacerItem(PixelsFromTwips(600), 0), 0, 3);
    first->addWidget(Check(fra, "chkFreqSum", "Calculate sum of values", &S_::FreqSum, &S_::SetFreqSum), 0, 4);
    first->setColumnStretch(5, 1);

    auto* fraInc = Frame("fraIncInterval", "Include in each interval:", false);
    v->addWidget(fraInc);
    auto* incRow = new QHBoxLayout(fraInc);
    const int inc = OptionGroup(&S_::FreqIncRadio, &S_::SetFreqIncRadio);
    incRow->addWidget(Option(inc, fraInc, "optFreqIncRadioLower", "Lower", "Lower"));
    incRow->addWidget(Option(inc, fraInc, "optFreqIncRadioUppper", "Upper Limit", "Upper"));
    incRow->addStretch();

    auto* fraGroupings = Frame("fraGroupings", "Groupings:", false);
    v->addWidget(fraGroupings);
    auto* gg = new QGridLayout(fraGroupings);
    const int grp = OptionGroup(&S_::FreqGroupRadio, &S_::SetFreqGroupRadio);
    gg->addWidget(Option(grp, fraGroupings, "optFreqGroupRadioDefault", "Default", "Default",
                         [this] { SetFreqGroupSpecEnabled(); }),
                  0, 0);
    // Every stored value but "Default" shows as specified intervals.
    auto* spec = Option(grp, fraGroupings, "optFreqGroupRadioSpec", "Specified", "Specified:",
                        [this] { SetFreqGroupSpecEnabled(); });
    SetOptionFallback(grp, spec);
    gg->addWidget(spec, 0, 1);
    gg->addWidget(Label(fraGroupings, "lblFreqInit", "Initial Value:"), 0, 2, Qt::AlignRight);
    gg->addWidget(Box(fraGroupings, "txtFreqInit", [this] { return TextOf(S().FreqInit()); },
                      [this](const QString& t) {
                          return FreeNumber(Control<QLineEdit>("txtFreqInit"), t, &S_::FreqInit, &S_::SetFreqInit, false);
                      }),
                  0, 3);
    gg->addWidget(Label(fraGroupings, "lblFreqWidth", "Width:"), 1, 2, Qt::AlignRight);
    gg->addWidget(Box(fraGroupings, "txtFreqWidth", [this] { return TextOf(S().FreqWidth()); },
                      [this](const QString& t) {
                          return FreeNumber(Control<QLineEdit>("txtFreqWidth"), t, &S_::FreqWidth, &S_::SetFreqWidth, false);
                      }),
                  1, 3);
    gg->setColumnStretch(4, 1);
    v->addStretch();
}

void frmQuorb_Options_Frequency::SetFreqGroupSpecEnabled() {
    const bool on = Control<QRadioButton>("optFreqGroupRadioSpec")->isChecked();
    for (const char* n : {"txtFreqInit", "lblFreqInit", "txtFreqWidth", "lblFreqWidth"}) Control(n)->setEnabled(on);
}

std::string frmQuorb_Options_Frequency::PageChecks() {
    std::string msg = m_Wiz->CheckDescribe(*this);
    if (msg.empty()) msg = m_Wiz->CheckFrequency(*this, true, true);
    return msg;
}
