// Conflict analysis: first-UIP resolution over one level's trail segment,
// producing a learnt clause in clause set 3 (alpha) with the asserting
// literal first. The clause is stored unwatched; the caller backtracks and
// activates it.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

enum class AnalyzeResult {
    stored,     // *id names the new clause of set 3
    duplicate,  // set 3 holds the same clause already; nothing stored
    satisfied,  // the learnt clause is satisfied at level 0
    empty,      // the learnt clause is false at level 0
    failed,     // the analysis broke off or storing failed (callers: badarg)
};

// require: 0 <= level <= s->level, 0 <= index < s->conflicting_count,
//          distance a decoded bump distance (order.h)
// ensure:  the marked list is empty; learnt_buffer holds the normalised
//          learnt literals (when the analysis got that far); every variable
//          met above level 0 was bumped once, every clause read stamped.
AnalyzeResult analyze_conflict(SolverState *s, int32_t level, int32_t distance, int32_t index, uint32_t *id);

}  // namespace mirl
