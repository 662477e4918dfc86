// The chronological search a caller drives with nbcp/1 and undo/1: each level
// above 0 holds at most one decision, tried first with the phase rule's value
// (state `level_first`), then flipped (`level_flipped`, waiting for the next
// run) and then in its second branch (`level_second`). `search_run`
// propagates and decides until done or a conflict; `search_undo` backtracks
// to the newest level whose decision can still be flipped.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// How a run of `search_run` ended.
enum class SearchResult {
    complete,      // every eligible variable is assigned, no conflict
    conflict,      // a propagation pass conflicted (or the flipped decision had become false)
    memory_limit,  // no level record could be opened for the next decision
    bad_state,     // the current level is in its second branch: undo first
};

// Decides variable v at the current level by the phase rule: its positive
// literal with value `phase_for(v)` becomes the level's decision, state
// `level_first`, and is assigned.
void search_decide_variable(SolverState *s, Variable *v);

// A pass that fails without a clause to blame: counted as a pass and as a
// conflict, with no conflicting clauses, and the queue is emptied as after
// any conflict.
void search_fail_pass(SolverState *s);

// nbcp/1. Requires: the current level is open, in its first branch, or
// flipped. An open level takes the next decision variable when above level
// 0; a flipped one assigns its flipped decision (failing the pass at once
// when level-0 facts have made it false since, which leaves the level in its
// second branch so that `search_undo` carries on). Then propagation passes
// and decisions, each on a new level, alternate until the decision order is
// exhausted or a pass conflicts. What was queued before the call is always
// propagated first, so a falsified clause never ends in `complete`.
SearchResult search_run(SolverState *s);

// undo/1: chronological backtracking. Undoes levels from the current one
// down; the first level in its first branch gets its decision flipped (state
// `level_flipped`) and the answer is true. A level in its second branch is
// reset and left; anything else, or reaching level 1, answers false (the
// search above level 0 is exhausted).
bool search_undo(SolverState *s);

// The turbo test of bcp/2,3: the literal has an occurrence list and every
// clause in it that still exists is satisfied by another of its literals.
bool search_literal_is_free(const SolverState *s, uint32_t code);

}  // namespace mirl
