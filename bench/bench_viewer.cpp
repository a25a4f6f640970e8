// What opening the designer's table viewer (frmDataGridDialog: the View
// button of the table page) costs, measured in the same run on tables of
// 1/10 and all of the given number of rows (three columns: text, double,
// long):
//
//   count:   the rows counted through the data layer (SELECT Count(*)): the
//            least any grid that shows a record count must do (the baseline);
//   read:    every row read through a recordset: the least a viewer that
//            copies the table must do;
//   viewer:  ShowTableData until the window is shown and painted, and closed
//            again (goal: under a second for 1,000,000 rows);
//   memory:  the growth of the heap in use (malloc's count, which freed
//            memory kept for reuse does not blur) while the viewer is shown
//            (goal: flat in the table's data: the rows are not held; what
//            grows with the row count is the grid's row header, which keeps
//            8 bytes a row, as every grid of the application does).
//
// Usage: bench_viewer [rows [repetitions]]   (default 1000000 rows, 3 runs).
// Every run is printed and the range over all runs; without a display the
// windows are drawn offscreen.
#include "bench/BenchSupport.h"

#include "designer/WizServices.h"
#include "designer/frmDataGridDialog.h"
#include "scenario/AppDatabase.h"

#include <QApplication>
#include <QElapsedTimer>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace dao;
using namespace bench;

namespace {

// Bytes of the heap in use, mapped blocks included.
double HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Range {
    double low = 1e300, high = -1e300;
    void Add(double v) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
};

struct Measured {
    Range count, read, viewer, memoryMb, ratio;
};

// One opening of the viewer: seconds until it was shown and painted, and the
// heap's growth (MB) while it was shown.
std::pair<double, double> OpenViewer(const std::string& table) {
    const double before = HeapInUse();
    double shown = before;
    double seconds = 0;
    const auto t0 = Clock::now();
    wizsvc::SetModalShower([&](QDialog& d) {
        d.show();
        QApplication::processEvents();
        d.repaint();
        seconds = Seconds(t0, Clock::now());
        Pump(50);
        shown = HeapInUse();
        d.hide();
    });
    {
        frmDataGridDialog viewer;
        if (!viewer.ShowTableData(QString::fromStdString(table), QStringLiteral("Input table or query - "))) {
            std::fprintf(stderr, "the viewer did not open %s\n", table.c_str());
            std::exit(1);
        }
    }
    wizsvc::SetModalShower({});
    return {seconds, (shown - before) / (1024.0 * 1024.0)};
}

} // namespace

int main(int argc, char** argv) {
    Args args;
    if (argc > 1) args.Records = std::max(10L, std::atol(argv[1]));
    if (argc > 2) args.Repetitions = std::max(1, std::atoi(argv[2]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    ScratchDir dir("viewer");
    const std::vector<long> sizes{args.Records / 10, args.Records};
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        DatabasePtr db = CreateScenarioDatabase(dir.File("bench" + std::to_string(i) + ".db"));
        WriteDataTable(*db, {{"Label", dbText, 20}, {"X", dbDouble, 0}, {"N", dbLong, 0}}, sizes[i],
                       [](long r, const std::vector<FieldPtr>& f) {
                           f[0]->SetValue("row " + std::to_string(r % 1000));
                           f[1]->SetValue(static_cast<double>(r) * 0.25);
                           f[2]->SetValue(static_cast<std::int32_t>(r));
                       });
        db->Close();
    }

    std::vector<Measured> results(sizes.size());
    for (int rep = 0; rep < args.Repetitions; ++rep) {
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            DatabasePtr db = DBEngine().OpenDatabase(dir.File("bench" + std::to_string(i) + ".db"));
            gdbCurrent = db;
            Measured& m = results[i];
            auto t0 = Clock::now();
            {
                RecordsetPtr rs = db->OpenRecordset("SELECT Count(*) FROM [Data]", dbOpenSnapshot);
                if (rs->GetValue(0).ToDouble() != static_cast<double>(sizes[i])) {
                    std::fprintf(stderr, "wrong row count\n");
                    return 1;
                }
                rs->Close();
            }
            const double count = Seconds(t0, Clock::now());
            double checksum = 0;
            const double read = ReadQuery(db, "SELECT * FROM [Data]", checksum);
            const auto [viewer, memoryMb] = OpenViewer("Data");
            m.count.Add(count);
            m.read.Add(read);
            m.viewer.Add(viewer);
            m.memoryMb.Add(memoryMb);
            m.ratio.Add(viewer / count);
            std::printf("run %d, %8ld rows: count %.3f s, read %.3f s, viewer %.3f s (%.1f x count, %.2f x read), "
                        "+%.1f MB while shown\n",
                        rep + 1, sizes[i], count, read, viewer, viewer / count, viewer / read, memoryMb);
            gdbCurrent.reset();
            db->Close();
        }
    }
    std::printf("\nranges over %d runs:\n", args.Repetitions);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const Measured& m = results[i];
        std::printf("%8ld rows: viewer %.3f-%.3f s (goal < 1 s for 1,000,000), %.1f-%.1f x count; read %.3f-%.3f s; "
                    "+%.1f-%.1f MB while shown\n",
                    sizes[i], m.viewer.low, m.viewer.high, m.ratio.low, m.ratio.high, m.read.low, m.read.high,
                    m.memoryMb.low, m.memoryMb.high);
    }
    const double perRow = (results[1].memoryMb.high - results[0].memoryMb.low) * 1024.0 * 1024.0 /
                          static_cast<double>(sizes[1] - sizes[0]);
    std::printf("memory: %.1f-%.1f MB for %ld rows against %.1f-%.1f MB for %ld rows: at most %.1f bytes a row "
                "more (the row header's 8; the table's data are not held)\n",
                results[1].memoryMb.low, results[1].memoryMb.high, sizes[1], results[0].memoryMb.low,
                results[0].memoryMb.high, sizes[0], perRow);
    return 0;
}
