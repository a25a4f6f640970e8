// Data-access layer against SQLite's C API, measured in the same run.
//
//   read:  1,000,000 rows x 3 columns of an ORDER BY query, read through a
//          read-only recordset, against the same query stepped with the C API
//          (goal: ratio <= 1.5; memory must not grow with the row count);
//   write: 1,000,000 rows through AddNew/Update in one transaction, against
//          prepared INSERTs through the C API (goal: ratio <= 2).
//
// Usage: bench_db [rows]   (default 1000000)
#include "bench/BenchSupport.h"
#include "db/Dao.h"
#include "db/JetFunctions.h"
#include "db/JetSqlTranslator.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace dao;
using namespace bench;

namespace {

long rssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

void makeTable(Database& db, const std::string& name) {
    auto td = db.CreateTableDef(name);
    td->Fields().Append(td->CreateField("Grp", dbText, 20));
    td->Fields().Append(td->CreateField("X", dbDouble));
    td->Fields().Append(td->CreateField("N", dbLong));
    db.TableDefs().Append(td);
}

} // namespace

int main(int argc, char** argv) {
    long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    ScratchDir dir("");
    const std::string path = dir.File("bench.db");

    auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
    makeTable(*db, "Raw");
    makeTable(*db, "Layer");
    db->Close();

    // --- write: C API baseline ---------------------------------------------------------
    double tRawWrite;
    {
        sqlite3* raw = nullptr;
        sqlite3_open(path.c_str(), &raw);
        RegisterJetFunctions(raw); // the tables' text columns use its collation
        auto t0 = Clock::now();
        sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw, "INSERT INTO Raw (Grp, X, N) VALUES (?1, ?2, ?3)", -1, &st, nullptr);
        char grp[16];
        for (long i = 0; i < rows; ++i) {
            std::snprintf(grp, sizeof grp, "g%ld", i % 10);
            sqlite3_bind_text(st, 1, grp, -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(st, 2, static_cast<double>(i % 1000) * 0.5);
            sqlite3_bind_int(st, 3, static_cast<int>(i));
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
        tRawWrite = Seconds(t0, Clock::now());
        sqlite3_close(raw);
    }

    // --- write: the layer -------------------------------------------------------------
    double tLayerWrite;
    {
        auto ws = DBEngine().Workspaces(0);
        auto d = ws->OpenDatabase(path);
        auto t0 = Clock::now();
        ws->BeginTrans();
        auto rs = d->OpenRecordset("Layer", dbOpenDynaset);
        auto fGrp = rs->Fields("Grp");
        auto fX = rs->Fields("X");
        auto fN = rs->Fields("N");
        char grp[16];
        for (long i = 0; i < rows; ++i) {
            std::snprintf(grp, sizeof grp, "g%ld", i % 10);
            rs->AddNew();
            fGrp->SetValue(grp);
            fX->SetValue(static_cast<double>(i % 1000) * 0.5);
            fN->SetValue(static_cast<int>(i));
            rs->Update();
        }
        ws->CommitTrans();
        tLayerWrite = Seconds(t0, Clock::now());
        d->Close();
    }

    const char* query = "SELECT Grp, X, N FROM Raw ORDER BY Grp, X";

    // --- read: C API baseline ------------------------------------------------------------
    double tRawRead;
    double sumRaw = 0;
    {
        sqlite3* raw = nullptr;
        sqlite3_open(path.c_str(), &raw);
        // The same statement the layer runs, with the same collation and functions.
        RegisterJetFunctions(raw);
        std::string sql = JetSqlTranslator::Translate(query).text();
        auto t0 = Clock::now();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr);
        std::size_t len = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* g = sqlite3_column_text(st, 0);
            len += g ? std::string(reinterpret_cast<const char*>(g)).size() : 0;
            sumRaw += sqlite3_column_double(st, 1) + sqlite3_column_int(st, 2);
        }
        sqlite3_finalize(st);
        tRawRead = Seconds(t0, Clock::now());
        sqlite3_close(raw);
        if (len == 0) std::printf("(no rows)\n");
    }

    // --- read: the layer ---------------------------------------------------------------
    double tLayerRead;
    double sumLayer = 0;
    long rssBefore = 0, rssAfter = 0;
    {
        auto d = DBEngine().OpenDatabase(path);
        auto t0 = Clock::now();
        auto rs = d->OpenRecordset(query, dbOpenDynaset, dbReadOnly | dbSeeChanges);
        auto fGrp = rs->Fields(0);
        auto fX = rs->Fields(1);
        auto fN = rs->Fields(2);
        long n = 0;
        std::size_t len = 0;
        while (!rs->EOF_()) {
            len += fGrp->Value().ToString().size();
            sumLayer += fX->Value().ToDouble() + fN->Value().ToDouble();
            rs->MoveNext();
            if (++n == rows / 10) rssBefore = rssKb();
        }
        rssAfter = rssKb();
        tLayerRead = Seconds(t0, Clock::now());
        if (len == 0) std::printf("(no rows)\n");
    }

    std::printf("rows: %ld\n", rows);
    std::printf("write  C API %.3f s   layer %.3f s   ratio %.2f   (goal <= 2.0)\n", tRawWrite, tLayerWrite,
                tLayerWrite / tRawWrite);
    std::printf("read   C API %.3f s   layer %.3f s   ratio %.2f   (goal <= 1.5)\n", tRawRead, tLayerRead,
                tLayerRead / tRawRead);
    std::printf("read   memory at 10%% of rows %ld kB, at the end %ld kB, growth %ld kB\n", rssBefore, rssAfter,
                rssAfter - rssBefore);
    std::printf("check  sums %s\n", sumRaw == sumLayer ? "equal" : "DIFFER");
    return sumRaw == sumLayer ? 0 : 1;
}
