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
// A level left for good: no decision, open, nothing on the trail.
inline void trail_reset_level(LevelRecord &r) {
    r.decision = static_cast<int32_t>(lit_false);
    r.state = level_open;
    r.start = 0;
    r.count = 0;
}
// Pops down to `target`, undoing and resetting each level left.
void trail_pop_to(SolverState *s, int32_t target);
// Value (2 or 3) for deciding a literal of variable v under the phase rule.
uint8_t phase_for(SolverState *s, Variable *v);
// bind/2 and decide/2: records a decision above level 0 and assigns.
// Returns whether the literal holds value `a` afterwards.
bool record_and_assign(SolverState *s, uint32_t code, uint8_t a);
// Makes an unassigned literal true at level 0 with no reason, whatever the
// current level: the variable goes to the end of level 0's segment of the
// trail (the entries and starts of the levels above move up by one) and the
// literal that became false is queued.
void trail_assign_root(SolverState *s, uint32_t code);
// Moves a variable assigned above level 0 into level 0's segment, keeping
// its value; its reason becomes -1 and its level 0.
void trail_move_to_root(SolverState *s, Variable *v);

}  // namespace mirl
