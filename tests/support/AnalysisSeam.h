#pragma once
// Puts a test's own function in the place of an analysis for one engine:
//
//     vtest::AnalysisOf<DescribeSettings>(eng, "Describe") =
//         [&](DescribeSettings& a, RunContext& cx) { seen = a; return std::string(); };
//
// The function sees the settings the engine filled from the scenario, as the
// analysis's own settings type. Where one type runs analyses of several
// settings types ("2 Sample"), a function is called only with its own type;
// the others go on to what stood there before.
#include "engine/AnalysisSettings.h"
#include "engine/RunContext.h"
#include "engine/VarnelloCore.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace vtest {

template <class S>
class AnalysisOf {
public:
    AnalysisOf(VarnelloCore& engine, std::initializer_list<const char*> types)
        : m_engine(engine), m_types(types.begin(), types.end()) {}
    AnalysisOf(VarnelloCore& engine, const char* type) : m_engine(engine), m_types{type} {}

    template <class F>
    AnalysisOf& operator=(F f) {
        for (const std::string& type : m_types) {
            VarnelloCore::AnalysisFn before = m_engine.Analysis(type);
            m_engine.ReplaceAnalysis(type, [f, before](AnalysisSettings& s, RunContext& cx) -> std::string {
                if (auto* own = dynamic_cast<S*>(&s)) return f(*own, cx);
                return before ? before(s, cx) : std::string();
            });
        }
        return *this;
    }

private:
    VarnelloCore& m_engine;
    std::vector<std::string> m_types;
};

// A run context on these databases outside a run, for the data services.
inline void BeginRun(RunContext& cx, const dao::DatabasePtr& source, const dao::DatabasePtr& output = nullptr) {
    RunContext::Frame frame;
    frame.source = source;
    frame.output = output ? output : source;
    cx.Begin(std::move(frame));
}

} // namespace vtest
