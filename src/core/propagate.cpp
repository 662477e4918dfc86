// Watches and unit propagation. Every attached clause is watched on two of
// its literals through the slots inside its record; `propagate` drains the
// queue of false literals, visiting the clauses that watch each one: it moves
// watches, implies the last free literal of a clause, records conflicts and,
// at level 0, marks satisfied clauses dead. `propagation_pass` wraps a drain
// with the bookkeeping every bcp/nbcp pass does before and after it.
//
// The visit order, the counters, the trail order and the reasons are seen by
// callers, so the loops below only trim memory traffic: counters live in the
// pass record and are published once, the value table and trail are hoisted,
// and a binary clause is decided from its header line alone.
#include "core/propagate.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "core/dump.h"
#include "core/queue.h"

namespace mirl {

namespace {

constexpr int max_visit_depth = 1000;
constexpr int32_t rank_unassigned = 0x7fffffff;

// What one visit of a watching clause decided.
enum class Outcome { satisfied, conflict, imply, move };

// State hoisted for one drain of the queue.
struct Pass {
    SolverState *s;
    uint8_t *values;
    Variable *const *variables;
    Variable **trail;
    LevelRecord *record;  // the current level's record
    int32_t level;
    int32_t queue_type;
    bool xref;
    uint64_t visits[4];  // by size class
    uint64_t other_watch_true;
};

inline Literal *literal_of(Variable *const *variables, uint32_t code) {
    Variable *v = variables[code >> 1];
    return (code & 1u) ? &v->neg : &v->pos;
}

// Closes the holes of a list from index `from` on, keeping the order; the
// entries that shift learn their new index.
void close_holes(WatchList *list, uint64_t from) {
    WatchEntry *const a = list->data;
    uint64_t kept = from;
    for (uint64_t i = from; i < list->count; i++) {
        if (a[i].tagged == 0) continue;
        if (i != kept) {
            a[kept] = a[i];
            entry_slot(a[kept])->entry = static_cast<uint32_t>(kept);
        }
        kept++;
    }
    list->count = kept;
    list->holes = 0;
}

WatchList *watch_list_of(SolverState *s, Literal *l) {
    if (l->watches != nullptr) return l->watches;
    auto *list = pool_new<WatchList>(s->list_pool);
    if (list == nullptr) return nullptr;
    *list = WatchList{0, 0, nullptr, 0};
    l->watches = list;
    return list;
}

// Room for `more` entries at the back of l's list (holes closed first).
int watch_reserve(SolverState *s, Literal *l, uint64_t more) {
    WatchList *list = watch_list_of(s, l);
    if (list == nullptr) return -1;
    if (list->count + more <= list->capacity) return 0;
    if (list->holes > 0) close_holes(list, 0);
    const uint64_t wanted = list->count + more;
    if (wanted <= list->capacity) return 0;
    for (uint64_t capacity : {next_capacity(list->capacity ? list->capacity : 1, wanted), wanted}) {
        void *grown = std::realloc(list->data, capacity * sizeof(WatchEntry));
        if (grown == nullptr) continue;
        list->data = static_cast<WatchEntry *>(grown);
        list->capacity = capacity;
        return 0;
    }
    return -1;
}

// Links a slot at the back of l's list.
int watch_push(SolverState *s, Literal *l, WatchSlot *slot, uint32_t tag, uint32_t other) {
    if (watch_reserve(s, l, 1) != 0) return -1;
    WatchList *list = l->watches;
    const uint64_t at = list->count++;
    list->data[at] = WatchEntry{reinterpret_cast<uint64_t>(slot) | tag, other};
    slot->entry = static_cast<uint32_t>(at);
    return 0;
}

void touch(SolverState *s, Clause *c) {
    if (c->flags & clf_touched) return;
    // A clause that cannot be listed stays attached; being dead, it is
    // skipped by every visit, so only its detachment is lost (and its
    // entries send every visit to the record).
    if (array_push(s->touched_clauses, c) == 0)
        c->flags |= clf_touched;
    else
        watch_entries_consult(s, c);
}

void mark_dead(SolverState *s, Clause *c) {
    c->flags |= clf_dead;
    s->dead_count[clause_ref_set(c->id)]++;
    touch(s, c);
}

// End of F's visit: its list is closed up, and at level 0 the literal now
// true satisfies for good every clause that contains it.
void finish_literal(Pass &p, Literal *f, WatchList *watches, int64_t lowest_hole) {
    if (lowest_hole != INT64_MAX) close_holes(watches, static_cast<uint64_t>(lowest_hole));
    if (p.level != 0 || !p.xref) return;
    OccurrenceList *list = lit_other(f)->occurrences;
    if (list == nullptr) return;
    for (uint64_t i = 0; i < list->count; i++) {
        Clause *c = clause_lookup(p.s, list->data[i]);
        if (c != nullptr && !(c->flags & clf_dead)) mark_dead(p.s, c);
    }
}

// Visits the clauses watching the false literal f, newest entry first (the
// back of its list). Entries whose slot moves elsewhere become holes; the
// list is closed up when the visit of f ends, and the entries that shift
// learn their new index. Nothing else writes to f's list meanwhile: nested
// visits only move watches to unassigned literals, and they only rewrite
// the other-watch literal of an entry in place. Returns -1 when the visit
// stopped on a conflict, else 0.
int visit(Pass &p, Literal *f, int depth) {
    SolverState *const s = p.s;
    uint8_t *const values = p.values;
    Variable *const *const variables = p.variables;
next_literal:
    WatchList *const list = f->watches;
    int64_t i = list == nullptr ? -1 : static_cast<int64_t>(list->count) - 1;
    int64_t lowest_hole = list == nullptr || list->holes == 0 ? INT64_MAX : 0;
    for (; i >= 0; i--) {
        WatchEntry *const entry = &list->data[i];
        const uint64_t tagged = entry->tagged;
        if (tagged == 0) {
            lowest_hole = i;
            continue;
        }
        const uint32_t tag = static_cast<uint32_t>(tagged & entry_tag_mask);
        // The other watch true decides the visit from the entry, counted as
        // the record would be; only while no clause can be dead or
        // conflicting (tag 0 marks the ones that may stay so).
        if (tag != 0 && values[entry->other] == val_true && p.level != 0 && s->conflicting_count == 0) {
            p.visits[tag]++;
            p.other_watch_true++;
            continue;
        }
        if (i > 0) __builtin_prefetch(reinterpret_cast<void *>(entry[-1].tagged & ~uint64_t(31)));
        WatchSlot *const slot = reinterpret_cast<WatchSlot *>(tagged & ~uint64_t(15));
        Clause *const k = slot_clause(slot);
        const uint32_t flags = k->flags;
        if (flags & (clf_dead | clf_conflicting)) continue;
        const uint32_t *const lits = k->lits;
        const int32_t own = slot->position;
        WatchSlot *const other_slot = &k->watch[slot_index(slot) ^ 1];
        const int32_t other = other_slot->position;
        uint32_t implied = 0;
        int32_t target = -1;
        Outcome outcome;
        switch (flags & clf_size_mask) {
        case size_class_binary << clf_size_shift: {
            p.visits[size_class_binary]++;
            implied = lits[other];
            const uint8_t vt = values[implied];
            if (vt == val_true) {
                p.other_watch_true++;
                outcome = Outcome::satisfied;
            } else {
                outcome = vt == val_false ? Outcome::conflict : Outcome::imply;
            }
            break;
        }
        case size_class_ternary << clf_size_shift: {
            p.visits[size_class_ternary]++;
            implied = lits[other];
            const uint8_t vt = values[implied];
            if (vt == val_true) {
                p.other_watch_true++;
                outcome = Outcome::satisfied;
                break;
            }
            target = 3 - other - own;
            const uint8_t vu = values[lits[target]];
            if (vu == val_true)
                outcome = Outcome::satisfied;
            else if (vu == val_false)
                outcome = vt == val_false ? Outcome::conflict : Outcome::imply;
            else
                outcome = Outcome::move;
            break;
        }
        case size_class_long << clf_size_shift: {
            p.visits[size_class_long]++;
            implied = lits[other];
            const uint8_t vt = values[implied];
            if (vt == val_true) {
                p.other_watch_true++;
                outcome = Outcome::satisfied;
                break;
            }
            // Downward from the slot's own position, wrapping once round.
            const int32_t n = static_cast<int32_t>(k->length);
            outcome = vt == val_false ? Outcome::conflict : Outcome::imply;
            for (int32_t at = (own == 0 ? n : own) - 1; at != own; at = (at == 0 ? n : at) - 1) {
                if (at == other) continue;
                const uint8_t v = values[lits[at]];
                if (v == val_unassigned) {
                    target = at;
                    outcome = Outcome::move;
                    break;
                }
                if (v == val_true) {
                    outcome = Outcome::satisfied;
                    break;
                }
            }
            break;
        }
        default:
            // A watched clause of one literal whose literal became false:
            // nothing can satisfy it any more, so it is the conflict it is.
            dump_clause(s, k);
            outcome = Outcome::conflict;
            break;
        }

        switch (outcome) {
        case Outcome::move: {
            const uint32_t to = lits[target];
            if (watch_push(s, literal_of(variables, to), slot, tag, entry->other) != 0)
                continue;  // no room: the watch stays where it is
            entry->tagged = 0;
            lowest_hole = i;
            slot->position = target;
            // The other watch's entry names the literal this slot now watches.
            if (other >= 0) {
                WatchEntry *const mate = watch_entry_of(literal_of(variables, lits[other])->watches, other_slot);
                if (mate != nullptr) mate->other = to;
            }
            continue;
        }
        case Outcome::satisfied:
            if (p.level == 0) mark_dead(s, k);
            continue;
        case Outcome::conflict: {
            int32_t &count = s->conflicting_count;
            if (s->max_conflicting == 1) {
                s->conflicting[count++] = static_cast<int32_t>(k->id);
                finish_literal(p, f, list, lowest_hole);
                return -1;
            }
            if (count >= s->max_conflicting) {
                finish_literal(p, f, list, lowest_hole);
                return -1;
            }
            s->conflicting[count++] = static_cast<int32_t>(k->id);
            k->flags |= clf_conflicting;
            continue;
        }
        case Outcome::imply:
            break;
        }

        // Imply: the trail write of assign, without its enqueue.
        Variable *const v = variables[implied >> 1];
        p.trail[p.record->start + p.record->count++] = v;
        values[implied] = val_true;
        values[implied ^ 1u] = val_false;
        v->reason = static_cast<int32_t>(k->id);
        v->level = p.level;
        if (p.level == 0) mark_dead(s, k);
        Literal *const now_false = (implied & 1u) ? &v->pos : &v->neg;
        if (p.queue_type != qtype_recursive) {
            queue_push(s, now_false);
            continue;
        }
        int64_t below = i - 1;
        while (below >= 0 && list->data[below].tagged == 0) below--;
        if (below < 0) {
            // The last entry of the list: carry on with the implied literal
            // instead of nesting.
            finish_literal(p, f, list, lowest_hole);
            f = now_false;
            goto next_literal;
        }
        if (depth == 0) {
            std::fprintf(stderr, "bcp max depth %d reached enqueue\n", max_visit_depth);
            std::fflush(stderr);
            queue_push(s, now_false);
        } else if (visit(p, now_false, depth - 1) < 0) {
            finish_literal(p, f, list, lowest_hole);
            return -1;
        }
    }
    finish_literal(p, f, list, lowest_hole);
    return 0;
}

}  // namespace

WatchEntry *watch_entry_of(WatchList *list, const WatchSlot *slot) {
    if (list == nullptr) return nullptr;
    const uint64_t at = slot->entry;
    if (at < list->count && entry_slot(list->data[at]) == slot) return &list->data[at];
    return nullptr;
}

void watch_entries_consult(SolverState *s, Clause *c) {
    for (WatchSlot &slot : c->watch) {
        if (slot.position < 0) continue;
        WatchEntry *entry = watch_entry_of(lit_record(s, c->lits[slot.position])->watches, &slot);
        if (entry != nullptr) entry->tagged &= ~entry_tag_mask;
    }
}

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
    // Room in both lists first, so that a clause is watched on both
    // literals or on none.
    Literal *const first = lit_record(s, c->lits[best_at]);
    Literal *const second_literal = n == 1 ? nullptr : lit_record(s, c->lits[second_at]);
    if (watch_reserve(s, first, second_literal == first ? 2 : 1) != 0 ||
        (second_literal != nullptr && second_literal != first && watch_reserve(s, second_literal, 1) != 0))
        return -1;
    const uint32_t tag = n == 1 ? 0 : clause_size_class(c);
    c->watch[0].position = best_at;
    watch_push(s, first, &c->watch[0], tag, n == 1 ? lit_false : c->lits[second_at]);
    if (n > 1) {
        c->watch[1].position = second_at;
        watch_push(s, second_literal, &c->watch[1], tag, c->lits[best_at]);
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
        WatchList *list = lit_record(s, c->lits[slot.position])->watches;
        WatchEntry *entry = watch_entry_of(list, &slot);
        if (entry != nullptr) {
            const auto at = static_cast<uint64_t>(entry - list->data);
            if (at + 1 == list->count) {
                list->count--;  // the newest entry: no hole needed
            } else {
                entry->tagged = 0;
                list->holes++;
            }
        }
        slot.entry = 0;
        slot.position = -1;
    }
}

int propagate(SolverState *s) {
    Pass p{};
    p.s = s;
    p.values = s->value_table.data;
    p.variables = s->variables.data;
    p.trail = s->trail.data;
    p.level = s->level;
    p.record = &s->levels.data[s->level];
    p.queue_type = s->options.queue_type;
    p.xref = s->options.xref;
    int result = 0;
    while (Literal *f = queue_pop(s)) {
        // Only a false literal has anything to say about its clauses.
        if (p.values[f->code] != val_false) continue;
        if (visit(p, f, max_visit_depth) < 0) {
            result = -1;
            break;
        }
    }
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
