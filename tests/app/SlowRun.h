#pragma once
// A long run for the window tests: the Describe analysis of every run first
// counts records for `ms` milliseconds ("Counting record: " and the count,
// every fifth record, as a run over many records reports), then does its work.
#include "app/CScenarioRun.h"
#include "engine/Varnello.h"
#include "engine/VarnelloCore.h"
#include "analyses/descriptive/CDescribe.h"
#include "support/AnalysisSeam.h"

#include <QElapsedTimer>

#include <chrono>
#include <string>
#include <thread>

namespace apptest {

inline void GiveRunsASlowDescribe(int ms) {
    CScenarioRun::SetEngineSetup([ms](Varnello& engine) {
        auto describe = CoreOf(engine).Analysis("Describe");
        vtest::AnalysisOf<DescribeSettings>(CoreOf(engine), "Describe") = [ms, describe](DescribeSettings& args, RunContext& e) {
            QElapsedTimer clock;
            clock.start();
            long record = 0;
            e.Quorb_Msg(0, false, "Analyzing records");
            while (clock.elapsed() < ms) {
                ++record;
                e.Quorb_Msg(record, false, "Counting record: " + std::to_string(record));
                if (record % 50 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return describe(args, e);
        };
    });
}

} // namespace apptest
