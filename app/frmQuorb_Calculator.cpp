#include "app/frmQuorb_Calculator.h"

#include "app/MDIMain.h"
#include "app/modApplication.h"
#include "app/modHelp.h"
#include "db/Variant.h"
#include "engine/Varnello.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "platform/ui/Twips.h"
#include "util/ui/modZURSTAT.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const kTypeNames[] = {"Z-Value", "t-Value", "Chi-Square", "F-Value"};

double NumberOf(const QString& text) {
    return dao::Variant(text.toStdString()).ToDouble();
}

bool Numeric(const QString& text) {
    return dao::IsNumeric(text.toStdString());
}

QPointer<frmQuorb_Calculator>& Instance() {
    static QPointer<frmQuorb_Calculator> form;
    return form;
}

} // namespace

frmQuorb_Calculator::frmQuorb_Calculator(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmQuorb_Calculator"));
    setWindowTitle(QStringLiteral("Probability Calculator"));
    setProperty("HelpContextID", HelpContextID);

    auto* fraProbabilityType = new QGroupBox(QStringLiteral("Probability Type"), this);
    fraProbabilityType->setObjectName(QStringLiteral("fraProbabilityType"));
    auto* typeLayout = new QVBoxLayout(fraProbabilityType);
    const char* captions[] = {"&Z-Value", "&t-Value", "Chi-&Square", "&F-Value"};
    for (int i = 0; i < 4; ++i) {
        auto* option = new QRadioButton(QString::fromLatin1(captions[i]), fraProbabilityType);
        option->setObjectName(QStringLiteral("optProbType_%1").arg(i));
        typeLayout->addWidget(option);
        m_optProbType[static_cast<std::size_t>(i)] = option;
        connect(option, &QRadioButton::clicked, this, [this, i] { optProbType_Click(i); });
    }
    m_optProbType[0]->setChecked(true);

    auto* fraTestValues = new QGroupBox(QStringLiteral("Test Values"), this);
    fraTestValues->setObjectName(QStringLiteral("fraTestValues"));
    auto* grid = new QGridLayout(fraTestValues);
    auto makeLabel = [this](const char* name, const char* text) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setObjectName(QString::fromLatin1(name));
        return label;
    };
    auto makeBox = [this](const char* name) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->installEventFilter(this);
        return box;
    };
    m_lblTestValue = makeLabel("lblTestValue", "Z-Value:");
    m_txtTestValue = makeBox("txtTestValue");
    m_lblDF1Fld = makeLabel("lblDF1Fld", "Degrees of Freedom:");
    m_txtDF1 = makeBox("txtDF1");
    m_lblDF2 = makeLabel("lblDF2", "Degrees of Freedom #2:");
    m_txtDF2 = makeBox("txtDF2");
    m_lblProbabilityCaption = makeLabel("lblProbabilityCaption", "Probability:");
    m_lblProbability = makeLabel("lblProbability", "");
    m_lblProbability->setFrameShape(QFrame::StyledPanel);
    m_lblProbability->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblProbRange = makeLabel("lblProbRange", "(0 to 1)");
    grid->addWidget(m_lblTestValue, 0, 0);
    grid->addWidget(m_txtTestValue, 0, 1);
    grid->addWidget(m_lblDF1Fld, 1, 0);
    grid->addWidget(m_txtDF1, 1, 1);
    grid->addWidget(m_lblDF2, 2, 0);
    grid->addWidget(m_txtDF2, 2, 1);
    grid->addWidget(m_lblProbabilityCaption, 3, 0);
    grid->addWidget(m_lblProbability, 3, 1);
    grid->addWidget(m_lblProbRange, 3, 2);
    // The window keeps its width whatever the type, the mode and the result:
    // the captions' column is as wide as its widest caption, the result as
    // wide as a result of twenty decimals, and "(0 to 1)" keeps its room
    // while it is hidden.
    int captionWidth = 0;
    for (const char* caption : {"Z-Value:", "t-Value:", "Chi-Square:", "F-Value:", "Probability (0 to 1):",
                                "Degrees of Freedom:", "Degrees of Freedom #1:", "Degrees of Freedom #2:",
                                "Probability:", "Probability", "Chi-Square"})
        captionWidth = std::max(captionWidth, m_lblTestValue->fontMetrics().horizontalAdvance(QString::fromLatin1(caption)));
    grid->setColumnMinimumWidth(0, captionWidth + 4);
    const QMargins frame = m_lblProbability->contentsMargins();
    m_lblProbability->setMinimumWidth(
        m_lblProbability->fontMetrics().horizontalAdvance(QStringLiteral("-0.00000000000000000000")) + frame.left() +
        frame.right() + 2 * m_lblProbability->frameWidth() + 8);
    // A longer result (a huge critical value) does not widen the window; its
    // whole text is in the tooltip.
    m_lblProbability->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    QSizePolicy range = m_lblProbRange->sizePolicy();
    range.setRetainSizeWhenHidden(true);
    m_lblProbRange->setSizePolicy(range);

    auto* cmdCalculate = new QPushButton(QStringLiteral("&Calculate"), this);
    cmdCalculate->setObjectName(QStringLiteral("cmdCalculate"));
    auto* cmdInverse = new QPushButton(QStringLiteral("&Inverse"), this);
    cmdInverse->setObjectName(QStringLiteral("cmdInverse"));
    auto* cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto* cmdHelp = new QPushButton(QStringLiteral("&Help"), this);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdCalculate, cmdInverse, cmdClose, cmdHelp}) {
        // No default button: Enter presses nothing.
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(fraProbabilityType);
    layout->addWidget(fraTestValues, 1);
    layout->addLayout(buttons);

    connect(cmdCalculate, &QPushButton::clicked, this, [this] { cmdCalculate_Click(); });
    connect(cmdInverse, &QPushButton::clicked, this, [this] { cmdInverse_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });

    // As laid out: no degrees of freedom while Z-Value is chosen.
    m_lblDF1Fld->setVisible(false);
    m_txtDF1->setVisible(false);
    m_lblDF2->setVisible(false);
    m_txtDF2->setVisible(false);
}

void frmQuorb_Calculator::Form_Load() {
    ProcGuard proc(gErr, "frmQuorb_Calculator:Form_Load");
    try {
        m_ProbType = QStringLiteral("Z-Value");
        m_Inverse = false;
        resize(platform::ui::PixelsFromTwips(FormWidthTwips), platform::ui::PixelsFromTwips(FormHeightTwips));
        // The design width, or what the captions need where the font is larger.
        setFixedWidth(std::max(platform::ui::PixelsFromTwips(FormWidthTwips), minimumSizeHint().width()));
    } catch (...) {
        proc.HandleError();
    }
}

bool frmQuorb_Calculator::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        SelectAllText(static_cast<QWidget*>(watched));
    } else if (event->type() == QEvent::KeyPress && (watched == m_txtDF1 || watched == m_txtDF2)) {
        // Only digits, "-", "." and backspace reach a degrees-of-freedom box.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && text[0].unicode() >= 32 &&
            FilterKeyPressNumeric(static_cast<std::int16_t>(text[0].unicode() < 128 ? text[0].unicode() : 0), false) == 0)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmQuorb_Calculator::Message(const QString& text) {
    ShowAppMessage(text);
}

int frmQuorb_Calculator::GetProbTypeSelection() const {
    ProcGuard proc(gErr, "frmQuorb_Calculator:GetProbTypeSelection");
    for (int i = 0; i < 4; ++i)
        if (m_optProbType[static_cast<std::size_t>(i)]->isChecked())
            return i;
    return 0;
}

void frmQuorb_Calculator::optProbType_Click(int /*index*/) {
    ProcGuard proc(gErr, "frmQuorb_Calculator:optProbType_Click");
    try {
        const int index = GetProbTypeSelection();
        m_ProbType = QString::fromLatin1(kTypeNames[index]);
        if (m_Inverse) {
            m_lblTestValue->setText(QStringLiteral("Probability (0 to 1):"));
            m_lblProbabilityCaption->setText(m_ProbType);
        } else {
            m_lblTestValue->setText(m_ProbType + QLatin1Char(':'));
            m_lblProbabilityCaption->setText(QStringLiteral("Probability"));
        }
        m_lblProbRange->setVisible(!m_Inverse);
        m_lblDF1Fld->setText(index == 3 ? QStringLiteral("Degrees of Freedom #1:") : QStringLiteral("Degrees of Freedom:"));
        m_lblDF1Fld->setVisible(index != 0);
        m_txtDF1->setVisible(index != 0);
        m_lblDF2->setVisible(index == 3);
        m_txtDF2->setVisible(index == 3);
        cmdCalculate_Click();
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Calculator::cmdCalculate_Click() {
    ProcGuard proc(gErr, "frmQuorb_Calculator:cmdCalculate_Click");
    try {
        const QString text = m_txtTestValue->text();
        if (text.isEmpty())
            return;
        if (!Numeric(text))
            Message(QStringLiteral("The test value must be numeric."));
        else
            (void)CalcProbInverse();
    } catch (...) {
        proc.HandleError();
    }
}

void frmQuorb_Calculator::cmdInverse_Click() {
    ProcGuard proc(gErr, "frmQuorb_Calculator:cmdInverse_Click");
    try {
        m_Inverse = !m_Inverse;
        const QString text = m_txtTestValue->text();
        if (m_Inverse && !text.isEmpty()) {
            if (Numeric(text)) {
                if (NumberOf(text) >= 1) {
                    m_txtTestValue->clear();
                    m_lblProbability->clear();
                }
            } else {
                Message(QStringLiteral("The test value must be numeric."));
            }
        }
        m_txtTestValue->setFocus();
        optProbType_Click(GetProbTypeSelection());
    } catch (...) {
        proc.HandleError();
    }
}

bool frmQuorb_Calculator::CalcProbInverse() {
    ProcGuard proc(gErr, "frmQuorb_Calculator:CalcProbInverse");
    try {
        const QString text = m_txtTestValue->text();
        if (text.isEmpty())
            return false;
        const int index = GetProbTypeSelection();
        bool calculate = true;
        double value = NumberOf(text);
        double df1 = 0, df2 = 0;
        if (m_Inverse) {
            if (!(value > 0 && value < 1)) {
                Message(QStringLiteral("Probability value must be greater than zero and less than one."));
                m_txtTestValue->setFocus();
                calculate = false;
            }
        } else if ((index == 0 || index == 2) && value <= 0) {
            Message(QStringLiteral("Test value must be greater than zero."));
            m_txtTestValue->setFocus();
            calculate = false;
        }
        // Degrees of freedom: an empty box means no result yet; a text that
        // is no number, or a number of none (0 or less, for which every
        // distribution gives 0), is said so plainly.
        auto readDF = [&](QLineEdit* box, double& df) {
            if (!calculate)
                return;
            const QString df_text = box->text();
            if (df_text.isEmpty()) {
                calculate = false;
            } else if (!Numeric(df_text)) {
                Message(QStringLiteral("The degrees of freedom must be numeric."));
                box->setFocus();
                calculate = false;
            } else if (!(NumberOf(df_text) > 0)) {
                Message(QStringLiteral("The degrees of freedom must be greater than zero."));
                box->setFocus();
                calculate = false;
            } else {
                df = NumberOf(df_text);
            }
        };
        if (index != 0)
            readDF(m_txtDF1, df1);
        if (index == 3)
            readDF(m_txtDF2, df2);
        if (!calculate) {
            m_lblProbability->clear();
            return false;
        }
        double result = 0;
        bool raised = false;
        try {
            Varnello engine;
            const std::string name = m_ProbType.toStdString();
            result = m_Inverse ? engine.ProbInverse(name, value, df1, df2) : engine.Probability(name, value, df1, df2);
        } catch (const RunTimeError& e) {
            raised = true;
            Message(QStringLiteral("Error running probability calculator: ") + QString::fromStdString(e.Description()));
        } catch (const std::exception& e) {
            raised = true;
            Message(QStringLiteral("Error running probability calculator: ") + QString::fromUtf8(e.what()));
        }
        // Every probability strictly between 0 and 1 has a value above 0:
        // an inverse of 0 is the search giving up (far out in a tail), not
        // the value.
        if (m_Inverse && !raised && result == 0) {
            Message(QStringLiteral("No value could be found for this probability."));
            m_txtTestValue->setFocus();
            m_lblProbability->clear();
            m_lblProbability->setToolTip(QString());
            return true;
        }
        m_lblProbability->setText(FormatResult(result));
        m_lblProbability->setToolTip(m_lblProbability->text());
        return true;
    } catch (...) {
        proc.HandleError();
        return false;
    }
}

void frmQuorb_Calculator::cmdClose_Click() {
    close();
}

void frmQuorb_Calculator::cmdHelp_Click() {
    ShowHelpTopic(HelpContextID);
}

QString frmQuorb_Calculator::FormatResult(double value) {
    if (!std::isfinite(value))
        return QString::number(value);
    // Fifteen significant digits first, as the number is shown elsewhere.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const bool negative = buf[0] == '-';
    const char* p = buf + (negative ? 1 : 0);
    std::string digits;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int exponent = std::atoi(p + 1);
    // value = 0.d1d2...d15 x 10^(exponent + 1): the point stands after
    // position `point` of the digits (negative: zeros in front).
    int point = exponent + 1;
    if (point <= 0) {
        digits.insert(0, static_cast<std::size_t>(-point), '0');
        point = 0;
    }
    while (static_cast<int>(digits.size()) < point)
        digits += '0';
    std::string whole = digits.substr(0, static_cast<std::size_t>(point));
    std::string fraction = digits.substr(static_cast<std::size_t>(point));
    if (fraction.size() > 20) {
        const bool up = fraction[20] >= '5';
        fraction.resize(20);
        if (up) {
            std::string all = whole + fraction;
            int i = static_cast<int>(all.size()) - 1;
            for (; i >= 0; --i) {
                if (all[static_cast<std::size_t>(i)] == '9') {
                    all[static_cast<std::size_t>(i)] = '0';
                } else {
                    ++all[static_cast<std::size_t>(i)];
                    break;
                }
            }
            if (i < 0)
                all.insert(0, "1");
            whole = all.substr(0, all.size() - 20);
            fraction = all.substr(all.size() - 20);
        }
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    while (whole.size() > 1 && whole.front() == '0')
        whole.erase(0, 1);
    if (whole.empty())
        whole = "0";
    const bool zero = whole == "0" && fraction.empty();
    return QString::fromStdString((negative && !zero ? "-" : "") + whole + "." + fraction);
}

frmQuorb_Calculator* ShowCalculator() {
    QPointer<frmQuorb_Calculator>& form = Instance();
    if (!form) {
        form = new frmQuorb_Calculator(TheMDIMain());
        form->setWindowFlag(Qt::Window);
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->Form_Load();
    }
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}
