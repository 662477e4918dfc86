// The search steps a caller drives: binding and deciding literals, opening
// and leaving levels, chronological backtracking, propagation (bcp/1..3 with
// the turbo test, nbcp/1 deciding until done) and the queries on levels,
// reasons and the conflicts of the last pass.
#include <vector>

#include "core/propagate.h"
#include "core/search.h"
#include "core/trail.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {

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
    return enif_make_bool(env, search_undo(s));
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
        if (!search_literal_is_free(s, code)) continue;
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
    switch (search_run(s)) {
    case SearchResult::complete: return enif_make_true(env);
    case SearchResult::conflict: return enif_make_false(env);
    case SearchResult::memory_limit: return raise(env, atoms.memory_limit);
    case SearchResult::bad_state: break;
    }
    return enif_make_badarg(env);
}

}  // namespace mirl
