#include "engine/GroupWalk.h"

#include "engine/VarnelloCore.h"
#include "errors/RunTimeError.h"

#include <limits>

void GroupWalk::Walk(VarnelloCore& engine, dao::Recordset& rs, std::int16_t nG,
                     const std::vector<dao::FieldPtr>& groupCols, std::vector<dao::Variant>& prev,
                     std::vector<dao::Variant>& cur, const Steps& steps, LastMessage last) {
    const std::size_t n = static_cast<std::size_t>(nG);
    std::int32_t runCount = 0;
    steps.begin();
    while (!steps.failed()) {
        if (rs.EOF_()) {
            if (last == LastMessage::BeforeEnd) engine.Quorb_Msg(runCount, true, "");
            steps.end();
            if (last == LastMessage::AfterEnd) engine.Quorb_Msg(runCount, true, "");
            break;
        }
        for (std::size_t i = 1; i <= n; ++i) cur[i] = groupCols[i]->Value();
        if (engine.Quorb_SameRecords_b(nG, runCount != 0, prev, cur)) {
            engine.Quorb_Msg(runCount, true, "");
            steps.end();
            if (steps.failed()) break;
            for (std::size_t i = 1; i <= n; ++i) prev[i] = cur[i];
            steps.begin();
            if (steps.failed()) break;
        }
        steps.record();
        if (runCount == std::numeric_limits<std::int32_t>::max()) throw RunTimeError(rterr::Overflow);
        ++runCount;
        engine.Quorb_Msg(runCount, false, "");
        rs.MoveNext();
    }
}
