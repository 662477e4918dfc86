// Learning and decision order at the library surface: conflict analysis,
// minimisation, bumps, explicit placement and sorting of the order list,
// the search for the next unbound variable, user counts and random numbers.
// Each function decodes its arguments, calls the core, shapes the result.
#include <climits>
#include <cmath>

#include "core/analyze.h"
#include "core/clauses.h"
#include "core/minimize.h"
#include "core/order.h"
#include "core/sort.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {

namespace {

// A bump distance: a non-negative integer; a float below 1 as a fraction of
// the variable count, from 1 up rounded (saturating at the 32-bit maximum,
// which is "to the front"); or one of the atoms none, next, log2, log10,
// rank. Integers are tested before the atoms: atom terms are small ints
// here, so an integer argument always means a count.
bool decode_distance(ErlNifEnv *env, const SolverState *s, ERL_NIF_TERM arg, int32_t *distance) {
    if (enif_is_integer(env, arg)) {
        int v;
        if (!enif_get_int(env, arg, &v) || v < 0) return false;
        *distance = v;
        return true;
    }
    double f;
    if (enif_get_double(env, arg, &f)) {
        if (f >= 0.0 && f < 1.0) {
            *distance = static_cast<int32_t>(static_cast<double>(s->variables.count - 1) * f);
            return true;
        }
        if (f >= 1.0) {
            double r = std::round(f);
            *distance = r >= static_cast<double>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(r);
            return true;
        }
        return false;  // negative, or not a number
    }
    if (is_atom_arg(env, arg, atoms.none)) *distance = 0;
    else if (is_atom_arg(env, arg, atoms.next)) *distance = bump_next;
    else if (is_atom_arg(env, arg, atoms.log2)) *distance = bump_log2;
    else if (is_atom_arg(env, arg, atoms.log10)) *distance = bump_log10;
    else if (is_atom_arg(env, arg, atoms.rank)) *distance = bump_rank;
    else return false;
    return true;
}

// A sort key atom, or None for no key.
bool decode_sort_key(ErlNifEnv *env, ERL_NIF_TERM arg, SortKey *key) {
    struct Row {
        const ERL_NIF_TERM *atom;
        SortKind kind;
        bool descending;
    };
    static const Row rows[] = {
        {&atoms.identity, SortKind::identity, false},   {&atoms.plus_identity, SortKind::identity, false},
        {&atoms.minus_identity, SortKind::identity, true}, {&atoms.eq_identity, SortKind::identity, false},
        {&atoms.random, SortKind::random, true},        {&atoms.minus_random, SortKind::random, true},
        {&atoms.plus_random, SortKind::random, false},  {&atoms.eq_random, SortKind::random, false},
        {&atoms.degree, SortKind::degree, true},        {&atoms.minus_degree, SortKind::degree, true},
        {&atoms.plus_degree, SortKind::degree, false},  {&atoms.eq_degree, SortKind::degree, false},
        {&atoms.rank, SortKind::rank, true},            {&atoms.minus_rank, SortKind::rank, true},
        {&atoms.plus_rank, SortKind::rank, false},      {&atoms.eq_rank, SortKind::rank, false},
        {&atoms.user, SortKind::user, true},            {&atoms.minus_user, SortKind::user, true},
        {&atoms.plus_user, SortKind::user, false},      {&atoms.eq_user, SortKind::user, false},
    };
    if (enif_is_none(arg)) {
        *key = SortKey{};
        return true;
    }
    for (const Row &row : rows) {
        if (is_atom_arg(env, arg, *row.atom)) {
            *key = SortKey{row.kind, row.descending};
            return true;
        }
    }
    return false;
}

// A clause id naming a stored clause of set 3, or null.
Clause *decode_learnt_clause(ErlNifEnv *env, const SolverState *s, ERL_NIF_TERM arg) {
    uint32_t ref;
    if (!decode_clause_ref(env, s, arg, &ref) || clause_ref_set(ref) != 3) return nullptr;
    return clause_lookup(s, ref);
}

ERL_NIF_TERM variable_or_false(ErlNifEnv *env, const Variable *v) {
    if (v == nullptr || v->index == 0) return enif_make_false(env);
    return enif_make_int(env, v->index);
}

// order_first/2 and order_last/2: level 0 only. Variables an order sort left
// out of the list (fixed at level 0) and the constants are skipped: they can
// never be decided, and linking them back would break that rule.
ERL_NIF_TERM place_in_order(ErlNifEnv *env, int argc, const ERL_NIF_TERM argv[], bool at_front) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    if (s->level != 0) return raise(env, atoms.level);
    int64_t n = decode_literal_list(env, s, argv[1]);
    if (n == list_not_a_list || n == list_no_memory) return enif_make_badarg(env);
    if (n >= 0) {
        const uint32_t *codes = s->scratch_codes.data;
        for (int64_t k = 0; k < n; k++) {
            // The front is built from the last element back, the back from
            // the first on, so both end in the list's own order.
            Variable *v = var_record(s, lit_var(codes[at_front ? n - 1 - k : k]));
            if (!order_contains(s, v)) continue;
            if (v == (at_front ? s->order_list.head : s->order_list.tail)) continue;
            order_unlink(s, v);
            if (at_front)
                order_link_head(s, v);
            else
                order_link_tail(s, v);
        }
    }
    // Keys and the cursor are set right even after an undecodable element.
    order_renumber(s);
    cursor_reset(s);
    if (n < 0) return enif_make_badarg(env);
    return enif_make_none(env);
}

}  // namespace

// conflict(S, Level, Distance, Index): the first-UIP clause of conflict
// Index at Level, stored in set 3 with the asserting literal first.
// Results: its id; None when set 3 has it; True/False when it is
// satisfied/false at level 0. badarg on bad arguments or a broken analysis.
MIRL_NIF(conflict) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 4) return enif_make_badarg(env);
    int level, index;
    int32_t distance;
    if (!enif_get_int(env, argv[1], &level) || level < 0 || level > s->level) return enif_make_badarg(env);
    if (!decode_distance(env, s, argv[2], &distance)) return enif_make_badarg(env);
    if (!enif_get_int(env, argv[3], &index) || index < 0 || index >= s->conflicting_count)
        return enif_make_badarg(env);
    uint32_t id = clause_no_ref;
    switch (analyze_conflict(s, level, distance, index, &id)) {
    case AnalyzeResult::stored:
        return enif_make_uint(env, id);
    case AnalyzeResult::duplicate:
        return enif_make_none(env);
    case AnalyzeResult::satisfied:
        return enif_make_true(env);
    case AnalyzeResult::empty:
        return enif_make_false(env);
    case AnalyzeResult::failed:
        break;
    }
    return enif_make_badarg(env);
}

// minimize(S, Id[, Mode]): Mode local (default), global or recursive.
// Result: the clause's literal count afterwards, or None when the shortened
// clause duplicated another learnt clause and was deleted.
MIRL_NIF(minimize) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc < 2 || argc > 3) return enif_make_badarg(env);
    bool global = false;
    if (argc == 3) {
        if (is_atom_arg(env, argv[2], atoms.global) || is_atom_arg(env, argv[2], atoms.recursive))
            global = true;
        else if (!is_atom_arg(env, argv[2], atoms.local))
            return enif_make_badarg(env);
    }
    Clause *c = decode_learnt_clause(env, s, argv[1]);
    if (c == nullptr) return enif_make_badarg(env);
    int64_t n = minimize_clause(s, c, global);
    if (n == minimize_deleted) return enif_make_none(env);
    if (n == minimize_no_memory) return enif_make_badarg(env);
    return enif_make_int(env, static_cast<int>(n));
}

// bump(S, Variable, Distance) -> None.
MIRL_NIF(bump) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 3) return enif_make_badarg(env);
    Variable *v;
    if (!decode_variable(s, argv[1], &v)) return raise(env, atoms.variable);
    int32_t distance;
    if (!decode_distance(env, s, argv[2], &distance)) return enif_make_badarg(env);
    order_bump(s, v, distance);
    return enif_make_none(env);
}

// order_first(S, Literals) -> None: their variables lead the list, in order.
MIRL_NIF(order_first) { return place_in_order(env, argc, argv, true); }

// order_last(S, Literals) -> None: their variables end the list, in order.
MIRL_NIF(order_last) { return place_in_order(env, argc, argv, false); }

// next_unbound(S): the first unbound eligible variable from the cursor on
// (the cursor moves there), or False. next_unbound(S, 0): the cursor as it
// stands. next_unbound(S, Variable): the first unbound eligible variable
// after it, cursor untouched.
MIRL_NIF(next_unbound) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc < 1 || argc > 2) return enif_make_badarg(env);
    if (argc == 1) return variable_or_false(env, next_decision_variable(s));
    int zero;
    // The booleans are the constant literals, not the integer 0.
    if (!enif_is_true(argv[1]) && !enif_is_false(argv[1]) && enif_get_int(env, argv[1], &zero) && zero == 0)
        return variable_or_false(env, s->decision_cursor);
    Variable *v;
    if (!decode_variable(s, argv[1], &v)) return raise(env, atoms.variable);
    if (v == s->order_list.tail) return enif_make_false(env);
    return variable_or_false(env, next_unbound_after(s, v));
}

// order_sort(S, Key1[, Key2 | Seed][, Seed]) -> None, at level 0 only.
// With three arguments an integer third argument is the Seed, anything else
// a key: atom terms are small ints in this host, so an integer is never
// taken for a key there.
MIRL_NIF(order_sort) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc < 2 || argc > 4) return enif_make_badarg(env);
    SortKey key1, key2;
    unsigned seed = 0;
    if (!decode_sort_key(env, argv[1], &key1)) return enif_make_badarg(env);
    if (argc == 3) {
        if (enif_is_integer(env, argv[2])) {
            if (!enif_get_uint(env, argv[2], &seed)) return enif_make_badarg(env);
        } else if (!decode_sort_key(env, argv[2], &key2)) {
            return enif_make_badarg(env);
        }
    } else if (argc == 4) {
        if (!decode_sort_key(env, argv[2], &key2) || !enif_get_uint(env, argv[3], &seed))
            return enif_make_badarg(env);
    }
    if (s->level != 0) return raise(env, atoms.level);
    if (order_sort(s, key1, key2, seed) != 0) return enif_make_badarg(env);
    return enif_make_none(env);
}

// set_user_count(S, Literal, Count) -> None. Literal is a plain non-zero
// integer below the variable count in magnitude, taken as given (no
// substitution); Count keeps its low 16 bits.
MIRL_NIF(set_user_count) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 3) return enif_make_badarg(env);
    int literal;
    unsigned count;
    if (enif_is_true(argv[1]) || enif_is_false(argv[1]) || !enif_get_int(env, argv[1], &literal) || literal == 0)
        return enif_make_badarg(env);
    int64_t magnitude = literal < 0 ? -static_cast<int64_t>(literal) : literal;
    if (magnitude >= static_cast<int64_t>(s->variables.count)) return enif_make_badarg(env);
    if (!enif_get_uint(env, argv[2], &count)) return enif_make_badarg(env);
    Variable *v = var_record(s, static_cast<uint32_t>(magnitude));
    set_user_count(literal < 0 ? &v->neg : &v->pos, count);
    return enif_make_none(env);
}

// rand(S): four bytes of the solver's generator, the first most significant.
MIRL_NIF(rand) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 1) return enif_make_badarg(env);
    return enif_make_uint(env, rng_u32(s));
}

}  // namespace mirl
