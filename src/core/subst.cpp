// Elimination of a variable by an equivalent literal. The entry point is
// subst_literals; the work is the clause rewrite move_occurrences, which
// walks the occurrence list of the eliminated literal and rewrites each
// clause in place (its literal, hash, hash-index entry, watches, and dead
// flag), then merges the rewritten clauses into the occurrence list of the
// replacement. Every list that can grow is reserved before the first change,
// so running out of memory leaves the state as it was.
#include "core/subst.h"

#include "core/clauses.h"
#include "core/propagate.h"
#include "core/queue.h"
#include "core/variables.h"

namespace mirl {

namespace {

bool has_value(uint8_t value) { return value == val_true || value == val_false; }

uint32_t variable_term(uint32_t code) {
    uint32_t v = lit_var(code);
    return v * v;  // wraps like the clause hash
}

int32_t literal_position(const Clause *c, uint32_t code) {
    for (uint32_t i = 0; i < c->length; i++)
        if (c->lits[i] == code) return static_cast<int32_t>(i);
    return -1;
}

bool watched_at(const Clause *c, int32_t position) {
    return c->watch[0].position == position || c->watch[1].position == position;
}

// Takes the clause out of both watch chains and leaves its slots unwatched.
void unwatch(SolverState *s, Clause *c) {
    detach(s, c);
    for (WatchSlot &slot : c->watch) {
        slot.link = nullptr;
        slot.position = -1;
    }
}

void mark_dead(SolverState *s, Clause *c) {
    if (c->flags & clf_dead) return;
    c->flags |= clf_dead;
    s->dead_count[clause_ref_set(c->id)]++;
}

// Moves the clause's hash-index entry to the bucket of its new hash. The
// node is relinked rather than reinserted, so nothing is allocated and the
// insertion counter is not raised.
void rehash(SolverState *s, const Clause *c, uint32_t old_hash) {
    const uint64_t buckets = s->clause_hash.count;
    if (!s->options.hash || clause_ref_set(c->id) == 3 || buckets == 0) return;
    HashBucket &from = s->clause_hash.data[old_hash & (buckets - 1)];
    HashNode *previous = nullptr;
    HashNode *node = from.head;
    while (node != nullptr && node->id != c->id) {
        previous = node;
        node = node->next;
    }
    if (node == nullptr) return;
    (previous != nullptr ? previous->next : from.head) = node->next;
    if (from.tail == node) from.tail = previous;
    from.count--;

    node->hash = c->hash;
    node->next = nullptr;
    HashBucket &to = s->clause_hash.data[c->hash & (buckets - 1)];
    if (to.tail != nullptr)
        to.tail->next = node;
    else
        to.head = node;
    to.tail = node;
    to.count++;
}

// Watches the clause again. When every literal is false (a level-0
// conflict that the rewrite uncovered), the literal under watch slot 0 is
// queued, so that the next propagation visits the clause and reports it.
void rewatch(SolverState *s, Clause *c) {
    if (attach(s, c) == 0 && c->watch[0].position >= 0) queue_push(s, lit_record(s, c->lits[c->watch[0].position]));
}

// Two unassigned literals, or one true or substituted: watchable as it is.
bool has_two_free_or_one_true(const SolverState *s, const Clause *c) {
    int unassigned = 0;
    for (uint32_t i = 0; i < c->length; i++) {
        uint8_t value = lit_value(s, c->lits[i]);
        if (value == val_true || value == val_substituted) return true;
        if (value == val_unassigned && ++unassigned == 2) return true;
    }
    return false;
}

// A clause that held both b and a lost b and was unwatched: watch it again,
// or, when a is its only free literal, make a true with the clause as its
// reason. If a is already false the clause is unit on another literal or
// falsified outright; attaching it handles both without ever giving a
// literal a second value (see rewatch).
void settle_shrunk_clause(SolverState *s, Clause *c, uint32_t a) {
    if (has_two_free_or_one_true(s, c))
        rewatch(s, c);
    else if (lit_value(s, a) == val_unassigned)
        assign(s, a, val_true, static_cast<int32_t>(c->id), s->level);
    else
        rewatch(s, c);
}

// Merges the k ascending ids of `added` into `to`, whose capacity was
// reserved for them, from the back so nothing is overwritten before it is read.
void merge_ascending(OccurrenceList *to, const uint32_t *added, uint64_t k) {
    uint64_t i = to->count, j = k, w = to->count + k;
    while (j > 0) {
        if (i > 0 && to->data[i - 1] > added[j - 1])
            to->data[--w] = to->data[--i];
        else
            to->data[--w] = added[--j];
    }
    to->count += k;
}

// Room in a's occurrence list for every clause of b's list; -1 on failure.
int reserve_occurrences(SolverState *s, uint32_t b, uint32_t a) {
    const OccurrenceList *from = occurrences_of(s, b);
    if (from == nullptr || from->count == 0) return 0;
    OccurrenceList *to = occurrence_list(s, a);
    if (to == nullptr) return -1;
    return array_reserve(*to, to->count + from->count);
}

// Rewrites every clause of b's occurrence list so that b becomes a. The
// clauses that gain a are collected in the front of b's own list, which is
// released afterwards.
void move_occurrences(SolverState *s, uint32_t b, uint32_t a) {
    OccurrenceList *from = occurrences_of(s, b);
    if (from == nullptr || from->count == 0) return;
    const uint32_t b_term = variable_term(b) + 1;
    const uint32_t a_gain = variable_term(a) - variable_term(b);
    uint64_t added = 0;
    for (uint64_t i = 0; i < from->count; i++) {
        const uint32_t id = from->data[i];
        Clause *c = clause_lookup(s, id);
        if (c == nullptr) continue;
        const int32_t at = literal_position(c, b);
        if (at < 0) continue;
        const bool rewatching = watched_at(c, at);
        if (rewatching) unwatch(s, c);
        const uint32_t old_hash = c->hash;
        if (literal_position(c, a) >= 0) {
            c->lits[at] = lit_false;
            c->hash = old_hash - b_term;
            rehash(s, c, old_hash);
            if (rewatching) settle_shrunk_clause(s, c, a);
        } else if (literal_position(c, lit_neg(a)) >= 0) {
            c->lits[at] = lit_true;
            c->hash = old_hash - b_term;
            rehash(s, c, old_hash);
            mark_dead(s, c);
        } else {
            c->lits[at] = a;
            c->hash = old_hash + a_gain;
            rehash(s, c, old_hash);
            if (rewatching) rewatch(s, c);
            from->data[added++] = id;
        }
    }
    merge_ascending(occurrences_of(s, a), from->data, added);
    array_free(*from);
}

void eliminate(SolverState *s, uint32_t a, uint32_t b) {
    s->subst_count++;
    s->trail_base++;
    const uint64_t bound = s->trail_base + static_cast<uint64_t>(s->levels.data[0].count);
    if (bound > s->max_bound) s->max_bound = bound;
    if (s->subscribers.count > 0 && s->event_hook != nullptr) s->event_hook(s, EventKind::substituted, a, b);

    move_occurrences(s, b, a);
    move_occurrences(s, lit_neg(b), lit_neg(a));

    Variable *eliminated = var_record(s, lit_var(b));
    s->value_table.data[2 * lit_var(b)] = val_substituted;
    s->value_table.data[2 * lit_var(b) + 1] = val_substituted;
    eliminated->subst = lit_record(s, lit_sign(b) ? lit_neg(a) : a);
}

}  // namespace

bool subst_resolve_clause(SolverState *s, Clause *c) {
    if (s->subst_count == 0) return false;
    bool changed = false;
    for (uint32_t k = 0; k < c->length; k++) {
        const uint32_t b = c->lits[k];
        if (b <= lit_false || lit_value(s, b) != val_substituted) continue;
        const uint32_t a = resolve_code(s, b);
        const uint32_t old_hash = c->hash;
        if (literal_position(c, a) >= 0) {
            c->lits[k] = lit_false;
            c->hash = old_hash - (variable_term(b) + 1);
        } else if (literal_position(c, lit_neg(a)) >= 0) {
            c->lits[k] = lit_true;
            c->hash = old_hash - (variable_term(b) + 1);
            mark_dead(s, c);
        } else {
            c->lits[k] = a;
            c->hash = old_hash + (variable_term(a) - variable_term(b));
        }
        rehash(s, c, old_hash);
        changed = true;
    }
    return changed;
}

int subst_literals(SolverState *s, uint32_t a, uint32_t b) {
    if (a == b) return subst_holds;
    if (a == lit_neg(b)) return subst_contradicts;
    const uint8_t value_a = lit_value(s, a);
    const uint8_t value_b = lit_value(s, b);
    if (has_value(value_b)) {
        if (value_a != val_unassigned) return value_a == value_b ? subst_holds : subst_contradicts;
        assign(s, a, value_b, -1, 0);
        return subst_holds;
    }
    if (has_value(value_a)) {
        if (value_b != val_unassigned) return value_a == value_b ? subst_holds : subst_contradicts;
        assign(s, b, value_a, -1, 0);
        return subst_holds;
    }
    if (reserve_occurrences(s, b, a) != 0 || reserve_occurrences(s, lit_neg(b), lit_neg(a)) != 0)
        return subst_no_memory;
    eliminate(s, a, b);
    return subst_holds;
}

}  // namespace mirl
