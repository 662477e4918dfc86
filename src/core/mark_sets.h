// The caller's marks: a set of literals, at most one per variable, kept in
// the mark bits of the variable records and on the marked list (marks.h),
// which they share with conflict analysis. Filled from literals or from the
// true literals of one trail level, intersected, and listed.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// True when `level` names a level record a set may be taken from: 1 up to
// (not including) the number of level records.
inline bool mark_level_valid(const SolverState *s, int64_t level) {
    return level >= 1 && static_cast<uint64_t>(level) < s->levels.count;
}

// The code of the literal a trail entry makes true: the positive literal
// when the variable's positive literal is true, the negative one when false.
inline uint32_t trail_true_literal(const SolverState *s, const Variable *v) {
    uint32_t positive = 2u * static_cast<uint32_t>(v->index);
    return lit_value(s, positive) == val_false ? positive + 1u : positive;
}

// The signed integer of the literal marked on v: index, negated when the
// mark is the negative literal.
inline int32_t marked_literal_int(const Variable *v) {
    return (v->flags & varf_mark_negative) ? -v->index : v->index;
}

// True when the literal `code` hits a mark: its variable is marked with the
// literal's own polarity.
inline bool mark_hit(const SolverState *s, uint32_t code) {
    const Variable *v = var_record(s, lit_var(code));
    if (!(v->flags & varf_mark_seen)) return false;
    return ((v->flags & varf_mark_negative) != 0) == lit_sign(code);
}

// True when the literal's variable carries a mark of either polarity.
inline bool mark_on_variable(const SolverState *s, uint32_t code) {
    return (var_record(s, lit_var(code))->flags & varf_mark_seen) != 0;
}

// Marks the literal `code` (a representative). The first mark of a
// variable stays, with its polarity; later marks of it change nothing.
void mark_literal(SolverState *s, uint32_t code);

// Marks the true literal of every trail entry of `level` (mark_level_valid).
void mark_level(SolverState *s, int32_t level);

// First step of an intersection: flags the mark the literal hits, if any.
void mark_flag_hit(SolverState *s, uint32_t code);
// Same for every true literal of a level.
void mark_flag_level(SolverState *s, int32_t level);
// Closing step: keeps exactly the flagged marks, in their old order and
// polarity, and unlists every other record.
void marks_keep_flagged(SolverState *s);

}  // namespace mirl
