#pragma once
// The walk over the sorted data records that the analyses share: the group
// fields of each record are compared with the previous record's, and at each
// change the finished group is completed and the next one begun. Progress
// goes to the engine at every record (the engine throttles it) and is forced
// at each group break and at the end.
#include "db/Dao.h"

#include <cstdint>
#include <functional>
#include <vector>

class VarnelloCore;

class GroupWalk {
public:
    struct Steps {
        std::function<void()> begin;  // a group begins (also before the first record)
        std::function<void()> record; // the current record joins the group
        std::function<void()> end;    // the group is complete
        std::function<bool()> failed; // the analysis has failed: the walk stops
    };
    // Whether the forced progress text at the end of the data comes before or
    // after the last group is completed.
    enum class LastMessage { BeforeEnd, AfterEnd };

    // Walks `rs` from its current record to its end. `groupCols` (1 .. nG)
    // are the recordset's group fields; `prev` and `cur` (0 .. nG) hold the
    // previous and the current record's group values.
    static void Walk(VarnelloCore& engine, dao::Recordset& rs, std::int16_t nG,
                     const std::vector<dao::FieldPtr>& groupCols, std::vector<dao::Variant>& prev,
                     std::vector<dao::Variant>& cur, const Steps& steps,
                     LastMessage last = LastMessage::BeforeEnd);
};
