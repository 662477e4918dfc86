// The search steps a caller drives: binding and deciding literals, opening
// and leaving levels, chronological backtracking, propagation (bcp/1..3 with
// the turbo test, nbcp/1 deciding until done) and the queries on levels,
// reasons and the conflicts of the last pass.
#include <vector>

#include "core/clauses.h"
#include "core/order.h"
#include "core/propagate.h"
#include "core/queue.h"
#include "core/trail.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {

namespace {

// A literal is free when it has an occurrence list and every clause in it
// that still exists is satisfied by another of its literals.
bool literal_is_free(SolverState *s, uint32_t code) {
    const OccurrenceList *list = lit_record(s, code)->occurrences;
    if (list == nullptr || list->count == 0) return false;
    for (uint64_t i = 0; i < list->count; i++) {
        const Clause *c = clause_lookup(s, list->data[i]);
        if (c == nullptr) continue;
        bool satisfied = false;
        for (uint32_t k = 0; k < c->length && !satisfied; k++)
            satisfied = c->lits[k] != code && lit_value(s, c->lits[k]) == val_true;
        if (!satisfied) return false;
    }
    return true;
}

// nbcp/1 step 5: decide variable v at the current level by the phase rule.
void decide_variable(SolverState *s, Variable *v) {
    LevelRecord &r = s->levels.data[s->level];
    uint32_t code = lit_make(static_cast<uint32_t>(v->index), false);
    r.decision = static_cast<int32_t>(code);
    r.state = level_first;
    uint8_t value = phase_for(s, v);
    r.value = value;
    assign(s, code, value, -1, s->level);
}

// A pass that ends in failure without a clause to blame: counted as a
// conflict, and the queue is emptied as after any conflict.
void fail_pass(SolverState *s) {
    s->bcp_counter++;
    s->conflicting_count = 0;
    s->conflict_counter++;
    queue_clear_all(s);
}

}  // namespace

// bind/2: makes the literal true at the current level (a decision above
// level 0); false when it is already false. Raises `literal`.
MIRL_NIF(bind) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    uint32_t code;
    if (!decode_literal(s, argv[1], &code)) return raise(env, atoms.literal);
    return enif_make_bool(env, record_and_assign(s, code, val_true));
}

// decide/2: as bind/2 with the value of the phase rule. Raises `literal`.
MIRL_NIF(decide) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    uint32_t code;
    if (!decode_literal(s, argv[1], &code)) return raise(env, atoms.literal);
    uint8_t value = phase_for(s, var_record(s, lit_var(code)));
    return enif_make_bool(env, record_and_assign(s, code, value));
}

// push/1: opens a level; the level before it. Raises `memory_limit` when no
// level record can be made (nothing changes then).
MIRL_NIF(push) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    int32_t old = trail_push(s);
    if (old < 0) return raise(env, atoms.memory_limit);
    return enif_make_int(env, old);
}

// pop/1, pop/2: back to the level below, or to level N (0 <= N <= level);
// false at level 0.
MIRL_NIF(pop) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    if (s->level <= 0) return enif_make_false(env);
    int target = s->level - 1;
    if (argc == 2 && (!enif_get_int(env, argv[1], &target) || target < 0 || target > s->level))
        return enif_make_badarg(env);
    trail_pop_to(s, target);
    return enif_make_int(env, s->level);
}

// undo/1: chronological backtracking. True when a flipped decision waits
// for the next nbcp/1; false when the search above level 0 is exhausted.
MIRL_NIF(undo) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    while (s->level > 0) {
        int32_t p = s->level;
        trail_undo_level(s, p);
        LevelRecord &r = s->levels.data[p];
        if (r.decision != static_cast<int32_t>(lit_false))
            cursor_offer(s, var_record(s, lit_var(static_cast<uint32_t>(r.decision))));
        if (r.state == level_first) {
            r.decision ^= 1;
            r.state = level_flipped;
            return enif_make_true(env);
        }
        if (r.state != level_second) return enif_make_false(env);
        r.decision = static_cast<int32_t>(lit_false);
        r.state = level_open;
        r.start = 0;
        r.count = 0;
        if (p == 1) return enif_make_false(env);
        trail_pop_one(s);
    }
    return enif_make_false(env);
}

MIRL_NIF(level) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    return enif_make_int(env, s->level);
}

// implication_level/2: the level the variable was assigned at, -1 when
// unassigned. Raises `variable`.
MIRL_NIF(implication_level) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    Variable *v;
    if (!decode_variable(s, argv[1], &v)) return raise(env, atoms.variable);
    return enif_make_int(env, v->level);
}

// implication_clause/2: the clause that implied the variable, or -1.
// Raises `variable`.
MIRL_NIF(implication_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    Variable *v;
    if (!decode_variable(s, argv[1], &v)) return raise(env, atoms.variable);
    return encode_clause_ref(env, static_cast<uint32_t>(v->reason));
}

// conflicting_clause/2: entry `index` of the last pass's conflict list.
MIRL_NIF(conflicting_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    int index;
    if (!enif_get_int(env, argv[1], &index) || index < 0 || index >= s->conflicting_count)
        return enif_make_badarg(env);
    return encode_clause_ref(env, static_cast<uint32_t>(s->conflicting[index]));
}

// bcp/1..3: one propagation pass; false on a conflict. With a list of
// literals, answers turbo (or {turbo, Free} when collecting) if one of them
// is free, else true. Raises `literal` for an element that does not decode.
MIRL_NIF(bcp) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc < 1 || argc > 3) return enif_make_badarg(env);
    if (argc >= 2 && !enif_is_list(env, argv[1])) return enif_make_badarg(env);
    if (!propagation_pass(s)) return enif_make_false(env);
    // The element view is taken after the pass, which may build event
    // messages and so run interpreter code.
    const ERL_NIF_TERM *items = nullptr;
    unsigned n = 0;
    if (argc >= 2 && !enif_get_list_items(env, argv[1], &items, &n)) return enif_make_badarg(env);
    if (n == 0) return enif_make_true(env);
    bool collect = false;
    if (argc == 3 && !decode_bool(argv[2], &collect)) return enif_make_badarg(env);
    std::vector<ERL_NIF_TERM> free_literals;
    for (unsigned i = 0; i < n; i++) {
        uint32_t code;
        if (!decode_literal(s, items[i], &code)) return raise(env, atoms.literal);
        if (!literal_is_free(s, code)) continue;
        if (!collect) return atoms.turbo;
        free_literals.push_back(items[i]);
    }
    if (free_literals.empty()) return enif_make_true(env);
    ERL_NIF_TERM list = enif_make_list_from_array_reversed(
        env, free_literals.data(), static_cast<unsigned>(free_literals.size()));
    if (list == nullptr) return nullptr;
    return enif_make_tuple(env, 2, atoms.turbo, list);
}

// nbcp/1: propagates and decides (opening a level per decision) until every
// eligible variable is assigned (true) or a pass conflicts (false). What was
// queued before the call is always propagated first, so a falsified clause
// is never answered with true. A flipped decision that level-0 facts have
// made false since fails at once, leaving the level in its second branch so
// that undo/1 carries on backtracking.
MIRL_NIF(nbcp) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    LevelRecord *r = &s->levels.data[s->level];
    switch (r->state) {
    case level_open: {
        r->decision = static_cast<int32_t>(lit_false);
        Variable *v = next_decision_variable(s);
        if (v != nullptr && v->index != 0 && s->level > 0) decide_variable(s, v);
        break;
    }
    case level_first:
        break;
    case level_flipped: {
        uint32_t code = static_cast<uint32_t>(r->decision);
        r->state = level_second;
        uint8_t value = lit_value(s, code);
        if (value == val_unassigned) {
            assign(s, code, static_cast<uint8_t>(r->value), -1, s->level);
        } else if (value != r->value) {
            fail_pass(s);
            return enif_make_false(env);
        }
        break;
    }
    default:
        return enif_make_badarg(env);
    }
    for (;;) {
        if (!propagation_pass(s)) return enif_make_false(env);
        Variable *v = next_decision_variable(s);
        if (v == nullptr || v->index == 0) return enif_make_true(env);
        if (trail_push(s) < 0) return raise(env, atoms.memory_limit);
        decide_variable(s, v);
    }
}

}  // namespace mirl
