// The trail, level records, the phase rule, and backtracking.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// Opens a new level; returns the old level, or -1 when no record can be made.
int32_t trail_push(SolverState *s);
// Leaves the current level (its entries stay until undone).
void trail_pop_one(SolverState *s);
// Unassigns every entry of level L, newest first, saving phases.
void trail_undo_level(SolverState *s, int32_t level);
// Pops down to `target`, undoing and resetting each level left.
void trail_pop_to(SolverState *s, int32_t target);
// Value (2 or 3) for deciding a literal of variable v under the phase rule.
uint8_t phase_for(SolverState *s, Variable *v);
// bind/2 and decide/2: records a decision above level 0 and assigns.
// Returns whether the literal holds value `a` afterwards.
bool record_and_assign(SolverState *s, uint32_t code, uint8_t a);

}  // namespace mirl
