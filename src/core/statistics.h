// Statistics read by info/2 and by subscribers: totals over the four clause
// sets, and the extremes (highest and lowest level, most bound variables)
// that start over each time they are read. The extremes are raised by
// trail.cpp, propagate.cpp and subst.cpp as the search moves.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// Clauses stored over all four sets; wraps at 32 bits like the counts.
int32_t stats_clause_total(const SolverState *s);
// Clauses marked dead over all four sets; wraps at 32 bits like the counts.
int32_t stats_dead_total(const SolverState *s);

// The highest level reached since the last read (0 to begin with); starts over.
int32_t stats_take_max_level(SolverState *s);
// The lowest level left to since the last read, `min_level_none` when none
// was; starts over.
int32_t stats_take_min_level(SolverState *s);
// The most variables bound at the end of a propagation pass or substitution
// since the last read; starts over.
uint64_t stats_take_max_bound(SolverState *s);

}  // namespace mirl
