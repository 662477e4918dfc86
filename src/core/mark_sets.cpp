// The caller's marks on top of the marked list: marking literals and trail
// levels, and intersecting the marks with a set of literals. An
// intersection flags the hit marks with `mark_both` and then sweeps the list
// once, so a failure can only happen before anything was flagged.
#include "core/mark_sets.h"

#include "core/marks.h"

namespace mirl {

void mark_literal(SolverState *s, uint32_t code) {
    Variable *v = var_record(s, lit_var(code));
    if (v->flags & varf_mark_seen) return;
    mark_append(s, v);
    v->flags |= varf_mark_seen | (lit_sign(code) ? varf_mark_negative : 0u);
}

void mark_level(SolverState *s, int32_t level) {
    const LevelRecord &record = s->levels.data[level];
    Variable *const *entries = s->trail.data + record.start;
    for (int32_t i = 0; i < record.count; i++) mark_literal(s, trail_true_literal(s, entries[i]));
}

void mark_flag_hit(SolverState *s, uint32_t code) {
    if (!mark_hit(s, code)) return;
    Variable *v = var_record(s, lit_var(code));
    mark_append(s, v);  // a marked record is listed already; kept for the invariant
    v->flags |= varf_mark_both;
}

void mark_flag_level(SolverState *s, int32_t level) {
    const LevelRecord &record = s->levels.data[level];
    Variable *const *entries = s->trail.data + record.start;
    for (int32_t i = 0; i < record.count; i++) mark_flag_hit(s, trail_true_literal(s, entries[i]));
}

void marks_keep_flagged(SolverState *s) {
    constexpr uint32_t kept = varf_mark_seen | varf_mark_both;
    Variable *v = s->marked_list.head;
    marked_list_init(s);
    while (v != nullptr) {
        Variable *next = v->mark_next;
        if ((v->flags & kept) == kept) {
            v->flags &= ~varf_mark_both;
            v->flags &= ~varf_mark_listed;  // mark_append lists it again at the tail
            mark_append(s, v);
        } else {
            v->flags &= ~varf_mark_mask;
        }
        v = next;
    }
}

}  // namespace mirl
