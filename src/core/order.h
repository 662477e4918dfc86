// The decision order: a doubly linked list of every variable with ascending
// keys, the decision cursor and its invariant (no unbound eligible variable
// precedes it), and moves towards the front (bumps).
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// Bump distances that stand for a rule rather than a count.
constexpr int32_t bump_next = -1;
constexpr int32_t bump_log2 = -2;
constexpr int32_t bump_log10 = -3;
constexpr int32_t bump_rank = -4;

inline bool var_eligible(const SolverState *s, const Variable *v) {
    return s->options.all_used || (v->flags & varf_is_used);
}

void order_append(SolverState *s, Variable *v);
void cursor_offer(SolverState *s, Variable *v);
void order_bump(SolverState *s, Variable *v, int32_t distance);
void order_renumber(SolverState *s);
void cursor_reset(SolverState *s);
// First unassigned eligible record from the cursor on; stores it as the cursor.
Variable *next_decision_variable(SolverState *s);

}  // namespace mirl
