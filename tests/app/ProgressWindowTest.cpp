// The progress window: its geometry, the texts it prints and how often it
// repaints.
#include "app/frmStatus.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QString>

namespace {

TEST(ProgressWindow, EachTextReplacesThePreviousOne) {
    frmStatus status;
    status.show();
    status.PrintStatus(QStringLiteral("Retrieving and sorting data..."));
    EXPECT_EQ(status.StatusText(), QStringLiteral("Retrieving and sorting data..."));
    status.PrintStatus(QStringLiteral("Analyzing record: 5"));
    EXPECT_EQ(status.StatusText(), QStringLiteral("Analyzing record: 5"));
    EXPECT_EQ(status.MessageCount(), 2);
    EXPECT_EQ(status.RepaintCount(), 1); // the second came within the interval
}

// A text longer than the status area lost its end at the area's right edge:
// "Retrieving and sorting [" and a field name of 64 characters showed without
// the rest of the name and "] data". It is now shortened in its middle, so
// that its beginning and its end show; the area still holds the whole text.
TEST(ProgressWindow, ATextLongerThanTheAreaShowsItsBeginningAndItsEnd) {
    frmStatus status;
    status.show();
    const QString name = QStringLiteral("Average_monthly_revenue_of_the_northern_region_stores_in_year_19");
    ASSERT_EQ(name.size(), 64);
    const QString text = QStringLiteral("Retrieving and sorting [") + name + QStringLiteral("] data");
    status.PrintStatus(text);
    const QFontMetrics metrics(status.picStatus()->font());
    const int room = status.StatusTextRect().width();
    ASSERT_GT(metrics.horizontalAdvance(text), room);
    const QString shown = status.ShownStatusText();
    EXPECT_LE(metrics.horizontalAdvance(shown), room) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Retrieving and sorting [Average"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("year_19] data"))) << shown.toStdString();
    EXPECT_EQ(status.StatusText(), text);
    // A text that fits shows as it stands.
    status.PrintStatus(QStringLiteral("Analyzing record: 5"));
    EXPECT_EQ(status.ShownStatusText(), QStringLiteral("Analyzing record: 5"));
}

TEST(ProgressWindow, RepaintsAtMostEveryFiftyMilliseconds) {
    frmStatus status;
    status.show();
    QElapsedTimer clock;
    clock.start();
    int n = 0;
    // Texts as fast as a long run sends them, for a quarter of a second.
    while (clock.elapsed() < 250)
        status.PrintStatus(QStringLiteral("Analyzing record: %1").arg(++n));
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(status.MessageCount(), n);
    EXPECT_EQ(status.StatusText(), QStringLiteral("Analyzing record: %1").arg(n));
    EXPECT_GT(n, 100);
    EXPECT_GE(status.RepaintCount(), 1);
    EXPECT_LE(status.RepaintCount(), elapsed / frmStatus::RepaintIntervalMs + 1);
}

} // namespace
