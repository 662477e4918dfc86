// The decision order: a doubly linked list of every variable with ascending
// keys, the decision cursor and its invariant (no unbound eligible variable
// precedes it), and moves towards the front (bumps).
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// The places a skip of the order link table spans (state.h, OrderLink).
constexpr uint32_t order_skip_span = 8;

// Bump distances that stand for a rule rather than a count.
constexpr int32_t bump_next = -1;
constexpr int32_t bump_log2 = -2;
constexpr int32_t bump_log10 = -3;
constexpr int32_t bump_rank = -4;

inline bool var_eligible(const SolverState *s, const Variable *v) {
    return s->options.all_used || (v->flags & varf_is_used);
}
inline bool var_unassigned(const SolverState *s, const Variable *v) {
    return s->value_table.data[2u * static_cast<uint32_t>(v->index)] == val_unassigned;
}
// A variable left out of the list (the constant variable, or one that an
// order sort dropped because it was fixed) has both links null and is not
// the head.
inline bool order_contains(const SolverState *s, const Variable *v) {
    return v->prev != nullptr || s->order_list.head == v;
}

// ---- creation and backtracking ---------------------------------------------
// Links v at the tail with the key after the old tail's; v may become the cursor.
void order_append(SolverState *s, Variable *v);
// Moves the cursor back to v when v comes before it.
void cursor_offer(SolverState *s, Variable *v);

// ---- list primitives (order_first/order_last/order_sort build on them) ------
// Removes v, moving the cursor off it first; v's links become null.
void order_unlink(SolverState *s, Variable *v);
// Links v before the head (key: the head's minus the step) and offers it.
void order_push_front(SolverState *s, Variable *v);
// Links v just before `anchor` with the midpoint key, renumbering the whole
// list when the gap has run out; then offers v.
void order_insert_before(SolverState *s, Variable *v, Variable *anchor);
// Plain links at either end, keys untouched (callers renumber afterwards).
void order_link_head(SolverState *s, Variable *v);
void order_link_tail(SolverState *s, Variable *v);
// Empties the list: every variable's links null, no cursor.
void order_clear(SolverState *s);

// ---- activity ------------------------------------------------------------------
// Moves v towards the front by a decoded distance (>= 0, or a bump_ rule).
// No effect with vsids off, for fixed, substituted or unlisted variables.
void order_bump(SolverState *s, Variable *v, int32_t distance);
// Keys k/(count+1) from the head, k = 1..count.
void order_renumber(SolverState *s);
// Cursor on the first unassigned eligible record from the head, or null.
void cursor_reset(SolverState *s);
// First unassigned eligible record from the cursor on; stores it as the cursor.
Variable *next_decision_variable(SolverState *s);
// First unassigned eligible record after v (the cursor stays), or null.
Variable *next_unbound_after(SolverState *s, Variable *v);

}  // namespace mirl
