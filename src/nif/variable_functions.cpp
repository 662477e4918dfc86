// Creating variables and the simple per-variable queries: add_variable/1..3,
// add_variables/2..4, value/2, bound/2, is_bound/2, is_variable/2,
// is_equal/3, isatom/2,3 and isused/2,3. Each decodes its literal or
// variable argument and raises `literal` or `variable` when it does not
// decode, as fixed per function.
#include <cstdint>

#include "core/order.h"
#include "core/variables.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {

namespace {

// The optional IsAtom and IsUsed flags in argv[first..argc-1]: True/False.
bool decode_creation_flags(int argc, const ERL_NIF_TERM argv[], int first, bool *is_atom, bool *is_used) {
    *is_atom = false;
    *is_used = false;
    if (argc > first && !decode_bool(argv[first], is_atom)) return false;
    if (argc > first + 1 && !decode_bool(argv[first + 1], is_used)) return false;
    return true;
}

// Creates n variables; false with the atom raised (in *failure) when refused.
bool create_variables(ErlNifEnv *env, SolverState *s, uint32_t n, bool is_atom, bool is_used, uint32_t *first,
                      ERL_NIF_TERM *failure) {
    switch (variables_create(s, n, is_atom, is_used, first)) {
        case CreateResult::ok: return true;
        case CreateResult::system_limit: *failure = raise(env, atoms.system_limit); return false;
        case CreateResult::memory_limit: *failure = raise(env, atoms.memory_limit); return false;
    }
    *failure = enif_make_badarg(env);
    return false;
}

// True, False or None for a value byte: assigned true, false, or neither.
ERL_NIF_TERM value_term(ErlNifEnv *env, uint8_t value) {
    if (value == val_true) return enif_make_true(env);
    if (value == val_false) return enif_make_false(env);
    return enif_make_none(env);
}

// The shared body of isatom and isused: the previous state of `bit`, set
// to the third argument when there is one. `after_set` runs once the bit
// has been changed.
template <typename AfterSet>
ERL_NIF_TERM read_or_set_flag(ErlNifEnv *env, int argc, const ERL_NIF_TERM argv[], uint32_t bit,
                              AfterSet after_set) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc < 2 || argc > 3) return enif_make_badarg(env);
    Variable *v;
    if (!decode_variable(s, argv[1], &v)) return raise(env, atoms.variable);
    bool was_set = (v->flags & bit) != 0;
    if (argc == 3) {
        bool set;
        if (!decode_bool(argv[2], &set)) return enif_make_badarg(env);
        v->flags = set ? (v->flags | bit) : (v->flags & ~bit);
        after_set(s, v, set);
    }
    return enif_make_bool(env, was_set);
}

}  // namespace

// add_variable/1,2,3 (Handle [, IsAtom [, IsUsed]]): the new variable's
// index. Raises system_limit at the variable limit, memory_limit when the
// tables cannot grow.
MIRL_NIF(add_variable) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc > 3) return enif_make_badarg(env);
    bool is_atom, is_used;
    if (!decode_creation_flags(argc, argv, 1, &is_atom, &is_used)) return enif_make_badarg(env);
    uint32_t first;
    ERL_NIF_TERM failure;
    if (!create_variables(env, s, 1, is_atom, is_used, &first, &failure)) return failure;
    return enif_make_int(env, static_cast<int32_t>(first));
}

// add_variables/2,3,4 (Handle, N [, IsAtom [, IsUsed]]): {First, Last} of
// the N new variables. N is a positive integer: 0, negative numbers and
// non-integers answer badarg. When memory runs out part-way the variables
// already made stay (numbered from First on) and memory_limit is raised.
MIRL_NIF(add_variables) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc < 2 || argc > 4) return enif_make_badarg(env);
    unsigned n;
    if (!enif_get_uint(env, argv[1], &n) || n == 0) return enif_make_badarg(env);
    bool is_atom, is_used;
    if (!decode_creation_flags(argc, argv, 2, &is_atom, &is_used)) return enif_make_badarg(env);
    uint32_t first;
    ERL_NIF_TERM failure;
    if (!create_variables(env, s, n, is_atom, is_used, &first, &failure)) return failure;
    return enif_make_tuple(env, 2, enif_make_int(env, static_cast<int32_t>(first)),
                           enif_make_int(env, static_cast<int32_t>(first + n - 1)));
}

// value/2 (Handle, Literal): True, False or None for the literal's
// representative. Raises `literal`.
MIRL_NIF(value) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    uint32_t code;
    if (!decode_literal(s, argv[1], &code)) return raise(env, atoms.literal);
    return value_term(env, lit_value(s, code));
}

// bound/2 (Handle, Literal): None, True, False, or for a substituted
// literal its representative as a plain integer (0 for a constant). The
// literal itself is read, not its representative. Raises `literal`.
MIRL_NIF(bound) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    uint32_t code;
    if (!decode_literal_code(s, argv[1], &code)) return raise(env, atoms.literal);
    uint8_t value = lit_value(s, code);
    if (value == val_substituted) return encode_literal(env, resolve_code(s, code));
    return value_term(env, value);
}

// is_bound/2 (Handle, Variable): whether the representative is assigned.
// Raises `variable`.
MIRL_NIF(is_bound) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    Variable *v;
    if (!decode_variable(s, argv[1], &v)) return raise(env, atoms.variable);
    return enif_make_bool(env, lit_value(s, v->pos.code) != val_unassigned);
}

// is_variable/2 (Handle, Literal): whether the representative is a variable
// rather than a constant. Raises `variable` (though a literal is decoded).
MIRL_NIF(is_variable) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    uint32_t code;
    if (!decode_literal(s, argv[1], &code)) return raise(env, atoms.variable);
    return enif_make_bool(env, code >= 2);
}

// is_equal/3 (Handle, Literal, Literal): whether both stand for the same
// literal; a literal and its complement are not equal. Raises `literal`.
MIRL_NIF(is_equal) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 3) return enif_make_badarg(env);
    uint32_t a, b;
    if (!decode_literal(s, argv[1], &a) || !decode_literal(s, argv[2], &b)) return raise(env, atoms.literal);
    return enif_make_bool(env, a == b);
}

// isatom/2,3 (Handle, Variable [, Bool]): the atom flag, before any change.
// Raises `variable`.
MIRL_NIF(isatom) {
    return read_or_set_flag(env, argc, argv, varf_is_atom, [](SolverState *, Variable *, bool) {});
}

// isused/2,3 (Handle, Variable [, Bool]): the used flag, before any change.
// Setting it makes an unassigned eligible variable a decision candidate
// again: the cursor moves back to it when it lies before the cursor.
// Raises `variable`.
MIRL_NIF(isused) {
    return read_or_set_flag(env, argc, argv, varf_is_used, [](SolverState *s, Variable *v, bool set) {
        if (set && lit_value(s, v->pos.code) == val_unassigned && var_eligible(s, v)) cursor_offer(s, v);
    });
}

}  // namespace mirl
