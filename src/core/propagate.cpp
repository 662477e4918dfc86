// Watches and unit propagation. Every attached clause is watched on two of
// its literals through the slots inside its record; `propagate` drains the
// queue of false literals, visiting the clauses that watch each one: it moves
// watches, implies the last free literal of a clause, records conflicts and,
// at level 0, marks satisfied clauses dead. `propagation_pass` wraps a drain
// with the bookkeeping every bcp/nbcp pass does before and after it.
//
// The visit order, the counters, the trail order and the reasons are seen by
// callers, so the loops below only trim work and waiting: counters live in
// the pass record and are published once, the value table and a trail cursor
// are hoisted, the visit has one copy per queue discipline and level 0, and
// the clause records a drain is about to read are prefetched.
#include "core/propagate.h"

#include <cstdio>

#include "core/dump.h"
#include "core/queue.h"

namespace mirl {

namespace {

constexpr int max_visit_depth = 1000;
constexpr int32_t rank_unassigned = 0x7fffffff;

// State hoisted for one drain of the queue, shared by nested visits (queue
// type recursive).
struct Pass {
    SolverState *s;
    uint8_t *values;
    Variable *const *variables;
    Variable **top;  // the current level's next trail entry
    int32_t level;
    int32_t queue_type;
    bool xref;
    uint64_t visits[4];  // by size class; class 0 (one literal) is not counted
    uint64_t other_watch_true;
};

inline Literal *literal_of(Variable *const *variables, uint32_t code) {
    Variable *v = variables[code >> 1];
    return (code & 1u) ? &v->neg : &v->pos;
}

void touch(SolverState *s, Clause *c) {
    if (c->flags & clf_touched) return;
    // A clause that cannot be listed stays attached; being dead, it is
    // skipped by every visit, so only its detachment is lost.
    if (array_push(s->touched_clauses, c) == 0) c->flags |= clf_touched;
}

void mark_dead(SolverState *s, Clause *c) {
    c->flags |= clf_dead;
    s->dead_count[clause_ref_set(c->id)]++;
    touch(s, c);
}

// End of F's chain: at level 0 the literal now true satisfies for good every
// clause that contains it.
void finish_literal(Pass &p, Literal *f) {
    if (p.level != 0 || !p.xref) return;
    OccurrenceList *list = occurrences_of(p.s, f->code ^ 1u);
    if (list == nullptr) return;
    for (uint64_t i = 0; i < list->count; i++) {
        Clause *c = clause_lookup(p.s, list->data[i]);
        if (c != nullptr && !(c->flags & clf_dead)) mark_dead(p.s, c);
    }
}

// Starts loading the clause record of a chain entry (null: nothing to load,
// and a prefetch never faults): the line of the slot and the line of the
// header, which is the next one when the record starts half way into a line.
inline void prefetch_record(const WatchSlot *slot) {
    if (slot == nullptr) return;
    const uintptr_t at = reinterpret_cast<uintptr_t>(slot);
    __builtin_prefetch(reinterpret_cast<const void *>(at));
    __builtin_prefetch(reinterpret_cast<const void *>((at | 31u) + 1));
}

// Visits the clauses watching the false literal f. Returns -1 when the
// visit stopped on a conflict, else 0. One copy per queue discipline and
// for level 0 (where clauses found satisfied are marked dead) or above;
// only the recursive discipline calls it from itself, the others inline it
// into their drain.
template <bool root, int32_t queue_type>
int visit(Pass &p, Literal *f, int depth) {
    SolverState *const s = p.s;
    uint8_t *const values = p.values;
    Variable *const *const variables = p.variables;
    const int32_t level = root ? 0 : p.level;
    uint64_t *const visits = p.visits;
    int result = 0;
next_literal:
    WatchSlot **link = &f->watches;
    while (WatchSlot *slot = *link) {
        // The chain is a pointer chase through clause records: start loading
        // the next record's slot line while this one is decided (prefetching
        // its header line too cost more instructions than it saved).
        WatchSlot *const next = slot->link;
        if (next != nullptr) __builtin_prefetch(next);
        Clause *const k = slot_clause(slot);
        const uint32_t flags = k->flags;
        if (flags & (clf_dead | clf_conflicting)) {
            link = &slot->link;
            continue;
        }
        const uint32_t size_class = (flags & clf_size_mask) >> clf_size_shift;
        if (size_class == size_class_unit) {
            // A watched clause of one literal whose literal became false:
            // nothing can satisfy it any more, so it is the conflict it is.
            dump_clause(s, k);
            goto conflict;
        }
        {
            visits[size_class]++;
            const uint32_t *const lits = k->lits;
            // The other watch is the slot 16 bytes away in the same record.
            const int32_t other =
                reinterpret_cast<const WatchSlot *>(reinterpret_cast<uintptr_t>(slot) ^ 16u)->position;
            const uint32_t implied = lits[other];
            const uint8_t vt = values[implied];
            if (vt == val_true) {
                p.other_watch_true++;
                goto satisfied;
            }
            int32_t target, own;
            if (size_class == size_class_binary) {
                if (vt == val_false) goto conflict;
                goto imply;
            }
            own = slot->position;
            if (size_class == size_class_ternary) {
                target = 3 - other - own;
                const uint8_t vu = values[lits[target]];
                if (vu == val_true) goto satisfied;
                if (vu != val_false) goto move;
                if (vt == val_false) goto conflict;
                goto imply;
            }
            // Four literals or more: downward from the slot's own position,
            // wrapping once round, past the other watch. The own literal is
            // false and an even value is unassigned (0) or true (2), so one
            // test per literal passes over the false and substituted ones.
            for (target = own - 1; target >= 0; target--) {
                const uint8_t v = values[lits[target]];
                if (v & 1u) continue;
                if (v == val_true) goto satisfied;
                if (target != other) goto move;
            }
            for (target = static_cast<int32_t>(k->length) - 1; target > own; target--) {
                const uint8_t v = values[lits[target]];
                if (v & 1u) continue;
                if (v == val_true) goto satisfied;
                if (target != other) goto move;
            }
            if (vt == val_false) goto conflict;
            goto imply;

        move: {
            *link = next;
            slot->position = target;
            Literal *w = literal_of(variables, lits[target]);
            slot->link = w->watches;
            w->watches = slot;
            continue;  // *link is already the next entry
        }

        imply: {
            // The trail write of assign, without its enqueue.
            Variable *const v = variables[implied >> 1];
            *p.top++ = v;
            values[implied] = val_true;
            values[implied ^ 1u] = val_false;
            v->reason = static_cast<int32_t>(k->id);
            v->level = level;
            if (root) mark_dead(s, k);
            Literal *const now_false = (implied & 1u) ? &v->pos : &v->neg;
            // Its chain is walked later in this drain: start loading the
            // first record now.
            prefetch_record(now_false->watches);
            if (queue_type != qtype_recursive) {
                if (!(now_false->flags & litf_in_queue)) {
                    if (queue_type == qtype_fifo)
                        queue_link_at_tail(s, now_false);
                    else
                        queue_link_at_head(s, now_false);
                }
                link = &slot->link;
                continue;
            }
            if (next == nullptr) {
                // The last entry of the chain: carry on with the implied
                // literal instead of nesting.
                if (root) finish_literal(p, f);
                f = now_false;
                goto next_literal;
            }
            if (depth == 0) {
                std::fprintf(stderr, "bcp max depth %d reached enqueue\n", max_visit_depth);
                std::fflush(stderr);
                queue_push(s, now_false);
            } else if (visit<root, queue_type>(p, now_false, depth - 1) < 0) {
                result = -1;
                break;
            }
            link = &slot->link;
            continue;
        }
        }

    satisfied:
        if (root) mark_dead(s, k);
        link = &slot->link;
        continue;

    conflict: {
        int32_t &count = s->conflicting_count;
        if (s->max_conflicting == 1) {
            s->conflicting[count++] = static_cast<int32_t>(k->id);
            result = -1;
            break;
        }
        if (count >= s->max_conflicting) {
            result = -1;
            break;
        }
        s->conflicting[count++] = static_cast<int32_t>(k->id);
        k->flags |= clf_conflicting;
        link = &slot->link;
        continue;
    }
    }
    if (root) finish_literal(p, f);
    return result;
}

// Drains the queue, visiting each literal that is still false; -1 when a
// visit stopped on a conflict. One copy per queue discipline and for level
// 0 or above, so the visit's set-up is paid once per drain, not per literal.
template <bool root, int32_t queue_type>
__attribute__((noinline)) int drain(Pass &p) {
    SolverState *const s = p.s;
    while (Literal *f = queue_pop(s)) {
        // Only a false literal has anything to say about its clauses.
        if (p.values[f->code] != val_false) continue;
        // The first record of the next literal's chain was prefetched when
        // that literal was implied: start loading the second one as well.
        if (const Literal *g = s->queue.head)
            if (const WatchSlot *h = g->watches) prefetch_record(h->link);
        if (visit<root, queue_type>(p, f, max_visit_depth) < 0) return -1;
    }
    return 0;
}

using Drain = int (*)(Pass &p);

template <bool root>
Drain drain_for(int32_t queue_type) {
    if (queue_type == qtype_recursive) return drain<root, qtype_recursive>;
    if (queue_type == qtype_fifo) return drain<root, qtype_fifo>;
    return drain<root, qtype_lifo>;
}

}  // namespace

void assign(SolverState *s, uint32_t code, uint8_t value, int32_t reason, int32_t level) {
    Variable *v = var_record(s, lit_var(code));
    LevelRecord &r = s->levels.data[level];
    s->trail.data[r.start + r.count++] = v;
    uint8_t *values = s->value_table.data;
    values[code] = value;
    values[code ^ 1u] = value ^ 1u;
    v->reason = reason;
    v->level = level;
    queue_push(s, lit_record(s, value == val_true ? code ^ 1u : code));
}

int attach(SolverState *s, Clause *c) {
    const uint32_t n = c->length;
    if (n == 0) return 0;
    const uint8_t *values = s->value_table.data;
    int32_t best = -1, best_at = -1, second = -1, second_at = -1;
    uint32_t falses = 0;
    bool any_true = false;
    for (int32_t k = static_cast<int32_t>(n) - 1; k >= 0; k--) {
        uint32_t code = c->lits[k];
        uint8_t value = values[code];
        int32_t rank = rank_unassigned;
        if (value == val_true || value == val_false) {
            rank = var_record(s, lit_var(code))->level;
            falses += value == val_false;
            any_true |= value == val_true;
        }
        if (rank >= best) {
            second = best;
            second_at = best_at;
            best = rank;
            best_at = k;
        } else if (rank >= second) {
            second = rank;
            second_at = k;
        }
    }
    for (int i = 0; i < (n == 1 ? 1 : 2); i++) {
        WatchSlot &slot = c->watch[i];
        slot.position = i == 0 ? best_at : second_at;
        Literal *l = lit_record(s, c->lits[slot.position]);
        slot.link = l->watches;
        l->watches = &slot;
    }
    if (best == rank_unassigned && second != rank_unassigned && !any_true) {
        assign(s, c->lits[best_at], val_true, static_cast<int32_t>(c->id), s->level);
        return 1;
    }
    return falses == n ? 0 : 1;
}

void detach(SolverState *s, Clause *c) {
    for (WatchSlot &slot : c->watch) {
        if (slot.position < 0) continue;
        Literal *l = lit_record(s, c->lits[slot.position]);
        for (WatchSlot **link = &l->watches; *link != nullptr; link = &(*link)->link) {
            if (*link != &slot) continue;
            *link = slot.link;
            break;
        }
        slot.link = nullptr;
        slot.position = -1;
    }
}

int propagate(SolverState *s) {
    Pass p{};
    p.s = s;
    p.values = s->value_table.data;
    p.variables = s->variables.data;
    p.level = s->level;
    LevelRecord *const record = &s->levels.data[s->level];
    Variable **const first = s->trail.data + record->start;
    p.top = first + record->count;
    p.queue_type = s->options.queue_type;
    p.xref = s->options.xref;
    const int result = p.level == 0 ? drain_for<true>(p.queue_type)(p) : drain_for<false>(p.queue_type)(p);
    record->count = static_cast<int32_t>(p.top - first);
    s->clause_2_counter += p.visits[size_class_binary];
    s->clause_3_counter += p.visits[size_class_ternary];
    s->clause_n_counter += p.visits[size_class_long];
    s->clause_d_counter += p.other_watch_true;
    if (bound_count(s) > s->max_bound) s->max_bound = bound_count(s);
    // Everything queued has now been visited at level 0.
    if (p.level == 0) s->late_facts = 0;
    if (p.level == 0 && s->subscribers.count > 0 && s->event_hook != nullptr) {
        int32_t fixed = s->levels.data[0].count;
        for (int32_t i = s->notified_count; i < fixed; i++) {
            const Variable *v = s->trail.data[i];
            uint32_t code = lit_make(static_cast<uint32_t>(v->index), false);
            if (lit_value(s, code) != val_true) code ^= 1u;
            s->event_hook(s, EventKind::fixed, code, 0);
        }
        s->notified_count = fixed;
    }
    return result;
}

bool end_of_pass(SolverState *s) {
    GrowArray<Clause *> &touched = s->touched_clauses;
    for (uint64_t i = 0; i < touched.count; i++) {
        detach(s, touched.data[i]);
        touched.data[i]->flags &= ~clf_touched;
    }
    touched.count = 0;
    if (s->conflicting_count == 0) return true;
    s->conflict_counter++;
    queue_clear_all(s);
    for (int32_t i = 0; i < s->conflicting_count; i++) {
        Clause *c = clause_lookup(s, static_cast<uint32_t>(s->conflicting[i]));
        if (c != nullptr) c->flags &= ~clf_conflicting;
    }
    return false;
}

bool propagation_pass(SolverState *s) {
    s->bcp_counter++;
    s->conflicting_count = 0;
    propagate(s);
    return end_of_pass(s);
}

}  // namespace mirl
