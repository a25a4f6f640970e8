#include "designer/frmIgnore.h"

#include "db/Variant.h"
#include "designer/CMelvarsPropWiz.h"
#include "designer/NumericLineEdit.h"
#include "designer/WizServices.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "util/ui/modZURSTAT.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The text of a value as the box shows it: empty for Null and Empty.
QString BoxTextOf(const dao::Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return {};
    return QString::fromStdString(v.ToString());
}

// A filled box must hold a number (a lone "-" or "1.2.3" does not).
bool IsNumberText(const QString& text, double& value) {
    return dao::ParseDouble(text.trimmed().toStdString(), value);
}

} // namespace

frmIgnore::frmIgnore(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmIgnore"));
    setWindowTitle(QStringLiteral("Specify Data Values to Ignore"));
    setModal(true);
    auto* frame = new QGroupBox(QStringLiteral("Options"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    m_group = new QButtonGroup(this);
    const char* captions[] = {"Analyze &All values (do not ignore any values)", "Ignore a &Specific Value",
                              "Ignore a &Range of Values:"};
    for (int i = 0; i < 3; ++i) {
        m_opt[static_cast<std::size_t>(i)] = new QRadioButton(QString::fromLatin1(captions[i]), frame);
        m_opt[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("optMissingtype_%1").arg(i));
        m_group->addButton(m_opt[static_cast<std::size_t>(i)], i);
        connect(m_opt[static_cast<std::size_t>(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) optMissingtype_Click(i);
        });
    }
    auto makeBox = [&](const char* name) {
        auto* box = new NumericLineEdit(frame);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    m_txtEqual = makeBox("txtMissingEqual");
    m_txtLow = makeBox("txtMissingLow");
    m_txtHigh = makeBox("txtMissingHigh");
    m_lblEqual = new QLabel(QStringLiteral("(=):"), frame);
    m_lblEqual->setObjectName(QStringLiteral("lblMissingEqual"));
    m_lblLow = new QLabel(QStringLiteral("Less Than (<):"), frame);
    m_lblLow->setObjectName(QStringLiteral("lblMissingLow"));
    m_lblHigh = new QLabel(QStringLiteral("Greater Than (>):"), frame);
    m_lblHigh->setObjectName(QStringLiteral("lblMissingHigh"));

    auto* grid = new QGridLayout(frame);
    grid->addWidget(m_opt[0], 0, 0, 1, 3);
    grid->addWidget(m_opt[1], 1, 0, 1, 3);
    grid->addWidget(m_lblEqual, 2, 1, Qt::AlignRight);
    grid->addWidget(m_txtEqual, 2, 2);
    grid->addWidget(m_opt[2], 3, 0, 1, 3);
    grid->addWidget(m_lblLow, 4, 1, Qt::AlignRight);
    grid->addWidget(m_txtLow, 4, 2);
    grid->addWidget(m_lblHigh, 5, 1, Qt::AlignRight);
    grid->addWidget(m_txtHigh, 5, 2);
    grid->setColumnMinimumWidth(0, 24);

    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    help->setObjectName(QStringLiteral("cmdHelp"));
    for (QPushButton* b : {m_cmdOK, m_cmdCancel, help}) b->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    buttons->addWidget(help);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);

    connect(m_cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(help, &QPushButton::clicked, this, [this] { wizsvc::SendHelpKey(this); });
}

void frmIgnore::SetWiz(CMelvarsPropWiz* wiz) {
    ProcGuard proc(gErr, "frmIgnore:Set Wiz");
    try {
        if (m_Wiz || !wiz) return;
        m_Wiz = wiz;
        m_code = QString::fromStdString(wiz->MissingType());
        m_txtEqual->setText(BoxTextOf(wiz->MissingEqual()));
        m_txtLow->setText(BoxTextOf(wiz->MissingLow()));
        m_txtHigh->setText(BoxTextOf(wiz->MissingHigh()));
        bool ok = false;
        const int index = m_code.toInt(&ok);
        if (ok && index >= 0 && index <= 2) {
            m_opt[static_cast<std::size_t>(index)]->setChecked(true);
            optMissingtype_Click(index);
        } else {
            // An unknown code: no button is selected (an exclusive group
            // refuses to clear its last button otherwise).
            m_group->setExclusive(false);
            for (QRadioButton* b : m_opt) b->setChecked(false);
            m_group->setExclusive(true);
        }
        FieldEnableReset();
    } catch (...) {
        proc.HandleError();
    }
}

void frmIgnore::optMissingtype_Click(int index) {
    ProcGuard proc(gErr, "frmIgnore:optMissingType_Click");
    m_code = QString::number(index);
    FieldEnableReset();
}

void frmIgnore::FieldEnableReset() {
    ProcGuard proc(gErr, "frmIgnore:FieldEnableReset");
    for (QWidget* w : std::initializer_list<QWidget*>{m_txtEqual, m_txtLow, m_txtHigh, m_lblEqual, m_lblLow, m_lblHigh})
        w->setEnabled(false);
    if (m_code == QLatin1String("1")) {
        m_txtEqual->setEnabled(true);
        m_lblEqual->setEnabled(true);
    } else if (m_code == QLatin1String("2")) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_txtLow, m_lblLow, m_txtHigh, m_lblHigh}) w->setEnabled(true);
    }
}

bool frmIgnore::CheckValues() {
    ProcGuard proc(gErr, "frmIgnore:CheckValues");
    bool result = true;
    QString message = QStringLiteral("Missing required value");
    QLineEdit* focus = nullptr;
    // Each box the code uses must be blank or a number.
    auto numberOrBlank = [&](QLineEdit* box, double& value, bool& filled) {
        filled = !box->text().isEmpty();
        if (filled && result && !IsNumberText(box->text(), value)) {
            result = false;
            message = QStringLiteral("'") + box->text() + QStringLiteral("' is not a number.");
            focus = box;
        }
    };
    double equal = 0, low = 0, high = 0;
    bool hasEqual = false, hasLow = false, hasHigh = false;
    if (m_code == QLatin1String("1")) {
        numberOrBlank(m_txtEqual, equal, hasEqual);
        if (result && !hasEqual) {
            result = false;
            focus = m_txtEqual;
        }
    } else if (m_code == QLatin1String("2")) {
        numberOrBlank(m_txtLow, low, hasLow);
        numberOrBlank(m_txtHigh, high, hasHigh);
        if (result && !hasLow && !hasHigh) {
            result = false;
            focus = m_txtHigh;
        } else if (result && hasLow && hasHigh && low > high) {
            result = false;
            message = QStringLiteral("Greater Than Value must be Larger than Less Than Value");
        }
    }
    if (!result) {
        if (focus) focus->setFocus();
        wizsvc::WizMessage(this, message, 0);
    }
    return result;
}

void frmIgnore::cmdOK_Click() {
    ProcGuard proc(gErr, "frmIgnore:cmdOK_Click");
    try {
        if (!CheckValues()) return;
        if (m_code != QLatin1String("1")) m_txtEqual->clear();
        if (m_code != QLatin1String("2")) {
            m_txtLow->clear();
            m_txtHigh->clear();
        }
        if (m_Wiz) {
            m_Wiz->SetChanged(true);
            m_Wiz->SetMissingType(m_code.toStdString());
            // Checked numbers are stored as numbers. A box left as it was
            // shown keeps the value held: the box shows fifteen digits, and a
            // value of more would come back as another.
            auto value = [](QLineEdit* box, const dao::Variant& held) {
                if (!box->text().isEmpty() && box->text() == BoxTextOf(held)) return held;
                double v = 0;
                if (box->text().isEmpty() || !IsNumberText(box->text(), v)) return dao::Variant::Null();
                return dao::Variant(v);
            };
            m_Wiz->SetMissingEqual(value(m_txtEqual, m_Wiz->MissingEqual()));
            m_Wiz->SetMissingLow(value(m_txtLow, m_Wiz->MissingLow()));
            m_Wiz->SetMissingHigh(value(m_txtHigh, m_Wiz->MissingHigh()));
        }
        hide();
        setResult(QDialog::Accepted);
    } catch (...) {
        proc.HandleError();
    }
}

void frmIgnore::cmdCancel_Click() { hide(); }
