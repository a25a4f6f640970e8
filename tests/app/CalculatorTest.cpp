// The probability calculator: probabilities and critical values against
// published tables, the messages, the labels of each mode and the result
// format.
#include "AppTestSupport.h"
#include "support/UserLocale.h"

#include "app/MDIMain.h"
#include "app/frmQuorb_Calculator.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTest>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace apptest;

namespace {

// Chooses the type and the mode, types the values, presses Calculate; the
// result label's text.
QString Calculate(frmQuorb_Calculator* form, int type, bool inverse, const char* value, const char* df1 = "",
                  const char* df2 = "") {
    if (form->Inverse() != inverse)
        form->cmdInverse_Click();
    form->txtDF1()->setText(QString::fromLatin1(df1));
    form->txtDF2()->setText(QString::fromLatin1(df2));
    form->txtTestValue()->setText(QString::fromLatin1(value));
    form->optProbType(type)->setChecked(true);
    form->optProbType_Click(type);
    return form->lblProbability()->text();
}

class Calculator : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        form = new frmQuorb_Calculator;
        form->Form_Load();
    }
    void TearDown() override {
        delete form;
        AppFixture::TearDown();
    }
    // Calculate() from an empty test value.
    QString Calc(int type, bool inverse, const char* value, const char* df1 = "", const char* df2 = "") {
        form->txtTestValue()->clear();
        return Calculate(form, type, inverse, value, df1, df2);
    }
    frmQuorb_Calculator* form = nullptr;
};

TEST_F(Calculator, ProbabilitiesAndCriticalValuesMatchPublishedTables) {
    // Two-tailed normal and t, upper-tail chi-square and F, at the 5 % and
    // 1 % points of the standard tables (e.g. Abramowitz & Stegun 26.1,
    // 26.7, 26.4, 26.6): each tabled value has the tabled probability, and
    // the inverse gives the tabled value back, both to the tables' digits.
    struct Case {
        int type;
        const char* df1;
        const char* df2;
        const char* value;
        double probability;
        const char* reason;
    };
    const Case cases[] = {
        {0, "", "", "1.959964", 0.05, "z 5 % two-tailed"},
        {0, "", "", "2.575829", 0.01, "z 1 % two-tailed"},
        {1, "10", "", "2.228139", 0.05, "t(10) 5 % two-tailed"},
        {1, "5", "", "4.032143", 0.01, "t(5) 1 % two-tailed"},
        {2, "1", "", "3.841459", 0.05, "chi-square(1) 5 %"},
        {2, "10", "", "18.307038", 0.05, "chi-square(10) 5 %"},
        {3, "1", "10", "4.964603", 0.05, "F(1, 10) 5 %"},
        {3, "5", "20", "4.102685", 0.01, "F(5, 20) 1 %"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const QString p = Calc(c.type, false, c.value, c.df1, c.df2);
        EXPECT_NEAR(p.toDouble(), c.probability, 2e-6) << p.toStdString();
        const QString x = Calc(c.type, true, c.probability == 0.05 ? "0.05" : "0.01", c.df1, c.df2);
        EXPECT_NEAR(x.toDouble(), std::atof(c.value), 2e-5 * std::atof(c.value)) << x.toStdString();
    }
}

TEST_F(Calculator, LabelsFollowTheTypeAndTheMode) {
    // As laid out: Z-Value, no degrees of freedom, "Probability:".
    EXPECT_TRUE(form->optProbType(0)->isChecked());
    EXPECT_TRUE(form->lblDF1Fld()->isHidden());
    EXPECT_TRUE(form->lblDF2()->isHidden());
    EXPECT_EQ(form->lblProbabilityCaption()->text(), QStringLiteral("Probability:"));
    struct Case {
        int type;
        bool inverse;
        const char* testLabel;
        const char* resultLabel;
        const char* df1Label;
        bool df1Shown, df2Shown, rangeShown;
    };
    const Case cases[] = {
        {1, false, "t-Value:", "Probability", "Degrees of Freedom:", true, false, true},
        {3, false, "F-Value:", "Probability", "Degrees of Freedom #1:", true, true, true},
        {2, true, "Probability (0 to 1):", "Chi-Square", "Degrees of Freedom:", true, false, false},
        {0, true, "Probability (0 to 1):", "Z-Value", "Degrees of Freedom:", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.testLabel);
        Calc(c.type, c.inverse, "");
        EXPECT_EQ(form->lblTestValue()->text(), QString::fromLatin1(c.testLabel));
        EXPECT_EQ(form->lblProbabilityCaption()->text(), QString::fromLatin1(c.resultLabel));
        EXPECT_EQ(form->lblDF1Fld()->text(), QString::fromLatin1(c.df1Label));
        EXPECT_EQ(!form->txtDF1()->isHidden(), c.df1Shown);
        EXPECT_EQ(!form->txtDF2()->isHidden(), c.df2Shown);
        EXPECT_EQ(!form->lblProbRange()->isHidden(), c.rangeShown);
    }
}

// Each wrong input gets its message and no result. Two of them showed "0."
// as if it were the result:
// - degrees of freedom of 0 or less, for which every distribution gives 0;
// - a probability so far out in a tail that the engine's search gives up
//   and returns 0, where every probability strictly between 0 and 1 has a
//   value above 0.
TEST_F(Calculator, WrongInputsGetTheirMessagesAndNoResult) {
    struct Case {
        int type;
        bool inverse;
        const char* value;
        const char* df1;
        const char* df2;
        const char* message; // "" for none
        const char* reason;
    };
    const char* const noDF = "The degrees of freedom must be greater than zero.";
    const char* const notFound = "No value could be found for this probability.";
    const Case cases[] = {
        {0, false, "0", "", "", "Test value must be greater than zero.", "z of 0"},
        {0, false, "-1.96", "", "", "Test value must be greater than zero.", "negative z"},
        {2, false, "3", "", "", "", "chi-square without degrees of freedom: silently nothing"},
        {0, false, "abc", "", "", "The test value must be numeric.", "letters"},
        {0, true, "0", "", "", "Probability value must be greater than zero and less than one.", "p of 0"},
        {1, false, "2", "-", "", "The degrees of freedom must be numeric.", "a lone minus sign as degrees of freedom"},
        {1, false, "2", "3-", "", "The degrees of freedom must be numeric.", "a minus sign after digits"},
        {1, false, "2", "0", "", noDF, "t with no degrees of freedom"},
        {2, false, "3", "-4", "", noDF, "chi-square with negative degrees of freedom"},
        {1, true, "0.05", "0", "", noDF, "the inverse of t"},
        {3, false, "2", "3", "0", noDF, "F with a second of 0"},
        {3, true, "0.05", "-1", "10", noDF, "the inverse of F with a first of -1"},
        // with the value the tables give
        {0, true, "1e-30", "", "", notFound, "z: 11.52, beyond the reach of the central area"},
        // The area is taken as 1 beyond 6.3 (a two-tailed 2.98e-10): below
        // that the search settled on the jump.
        {0, true, "1e-12", "", "", notFound, "z: 7.13 (showed 6.3)"},
        {0, true, "1e-16", "", "", notFound, "z: 8.30, 1 - p is 1 in fifteen digits (showed 7)"},
        {2, true, "4.9e-324", "1", "", notFound, "chi-square(1) at a probability of one bit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ModalScript script;
        if (*c.message)
            script.Message();
        const QString result = Calc(c.type, c.inverse, c.value, c.df1, c.df2);
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(script.Messages(), *c.message ? QStringList(QString::fromLatin1(c.message)) : QStringList());
        EXPECT_TRUE(result.isEmpty()) << result.toStdString();
        EXPECT_TRUE(script.Unexpected().isEmpty());
    }
    // Far out in a tail the values are found (the search's differences
    // from p were once lost to the 28 places of the decimal type):
    // chi-square(1) at 1e-300 is 1373.8726 (erfc(sqrt(x / 2)) = p), F(5, 5)
    // at 1e-100 is 1.967884e40 (the regularised incomplete beta), both
    // evaluated to 40 digits.
    EXPECT_NEAR(Calc(2, true, "1e-300", "1").toDouble(), 1373.87263122239, 1e-6 * 1373.87);
    EXPECT_NEAR(Calc(3, true, "1e-100", "5", "5").toDouble(), 1.96788417555054e40, 1e-6 * 1.97e40);
    // t takes a negative value: t(10) at -2.228139 is the same 5 %.
    EXPECT_NEAR(Calc(1, false, "-2.228139", "10").toDouble(), 0.05, 2e-6);
    // A fraction of one degree of freedom is no refusal: chi-square with half
    // a degree of freedom above 3 is Q(1/4, 3/2) = 0.03341644 (regularised
    // upper incomplete gamma, evaluated to 40 digits).
    EXPECT_NEAR(Calc(2, false, "3", "0.5").toDouble(), 0.0334164442, 1e-7);
}

TEST_F(Calculator, InverseClearsAValueOfOneOrMoreAndKeepsAProbability) {
    struct Case {
        const char* value;
        const char* kept;
    };
    const Case cases[] = {{"1", ""}, {"1.5", ""}, {"0.3", "0.3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        if (form->Inverse())
            form->cmdInverse_Click();
        form->txtTestValue()->setText(QString::fromLatin1(c.value));
        form->cmdInverse_Click();
        EXPECT_EQ(form->txtTestValue()->text(), QString::fromLatin1(c.kept));
    }
}

TEST_F(Calculator, DegreesOfFreedomBoxesTakeDigitsMinusAndPointOnly) {
    form->optProbType(1)->setChecked(true);
    form->optProbType_Click(1);
    form->show();
    for (const QChar ch : QStringLiteral("1a2-.x")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(form->txtDF1(), &press);
    }
    EXPECT_EQ(form->txtDF1()->text(), QStringLiteral("12-."));
}

TEST(CalculatorFormat, ResultsShowUpToTwentyDecimalsAndAlwaysThePoint) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {2.0, "2."},                                    // a whole number ends in the point
        {0.0, "0."},
        {0.05, "0.05"},                                 // 15 significant digits: no binary tail
        {1.959963984540054, "1.95996398454005"},
        {1.5e-7, "0.00000015"},
        {1.234e-19, "0.00000000000000000012"},          // rounded at the 20th decimal
        {4e-21, "0."},                                  // below the 20th decimal
        {-0.25, "-0.25"},
        {123456.5, "123456.5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(frmQuorb_Calculator::FormatResult(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST_F(AppFixture, CalculatorFromTheToolbarAndTheToolsMenuIsOneWindowThatKeepsItsValues) {
    ModalScript script;
    script.CancelOpenDatabase();
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    frame->tlbMain_ButtonClick(QStringLiteral("btnCalc"));
    frmQuorb_Calculator* first = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = qobject_cast<frmQuorb_Calculator*>(w); c && c->isVisible())
            first = c;
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    first->txtTestValue()->setText(QStringLiteral("1.96"));
    frame->mnuToolsItems_Click(0);
    EXPECT_EQ(ShowCalculator(), first);
    EXPECT_EQ(first->txtTestValue()->text(), QStringLiteral("1.96"));
    // Close unloads it; the next opening starts afresh.
    first->cmdClose_Click();
    Pump();
    frmQuorb_Calculator* second = ShowCalculator();
    EXPECT_TRUE(second->txtTestValue()->text().isEmpty());
    second->close();
    Pump();
}

// The application object takes the user's locale for the C library's
// numbers: where that writes a decimal comma, "2.228139" was read as 2 and
// t(10) showed 0.0734 instead of its tabled 0.05. The test makes a German
// locale as the system's locale tool does, and sets it as the application
// object would from the user's settings.
TEST_F(AppFixture, CalculatorReadNumbersInTheUsersDecimalCommaLocale) {
    VTEST_USER_LOCALE(german, "de_DE");

    ModalScript script;
    script.CancelOpenDatabase();
    ASSERT_NE(Start(), nullptr);
    QPointer<frmQuorb_Calculator> calc = ShowCalculator();
    ASSERT_FALSE(calc.isNull());
    EXPECT_NEAR(Calculate(calc, 1, false, "2.228139", "10").toDouble(), 0.05, 2e-6);
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(QLatin1Char('\n')).toStdString();
    calc->close();
    Pump();
}

TEST_F(AppFixture, CalculatorKeepsItsWidthWhateverTheTypeModeAndResultAndEscClosesIt) {
    ModalScript script;
    script.CancelOpenDatabase();
    MDIMain* frame = Start();
    ASSERT_NE(frame, nullptr);
    QPointer<frmQuorb_Calculator> calc = ShowCalculator();
    ASSERT_FALSE(calc.isNull());
    Pump();
    const int width = calc->width();
    struct Step {
        int type;
        bool inverse;
        const char* value;
        const char* df1;
        const char* df2;
        const char* reason;
    } steps[] = {
        {0, false, "1.96", "", "", "Z: no degrees of freedom, a short result"},
        {1, false, "2.5", "7", "", "t: the degrees-of-freedom row appears"},
        {3, false, "0.001", "1", "1", "F: two rows, \"Degrees of Freedom #1:\", a long result"},
        {2, true, "0.0001", "12", "", "inverse chi-square: \"Probability (0 to 1):\", no range"},
        {3, true, "0.5", "3", "9", "inverse F"},
        {0, false, "0.000001", "", "", "back to Z"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.reason);
        const QString result = Calculate(calc, s.type, s.inverse, s.value, s.df1, s.df2);
        Pump();
        EXPECT_FALSE(calc->lblProbability()->text().isEmpty()) << result.toStdString();
        EXPECT_EQ(calc->width(), width);
    }
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(QLatin1Char('\n')).toStdString();
    // Esc closes it, as Close does, wherever the focus is.
    calc->txtTestValue()->setFocus();
    QTest::keyClick(calc->txtTestValue(), Qt::Key_Escape);
    Pump();
    EXPECT_TRUE(calc.isNull());
}

} // namespace
