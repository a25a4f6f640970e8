// The progress window: its geometry, the texts it prints and how often it
// repaints.
#include "app/frmStatus.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
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
