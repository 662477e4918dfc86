// The solver handle: a resource object whose payload is one SolverState, and
// the shared argument conventions every NIF function follows: the handle
// check, the literal, variable, clause and clause-set decoders, and the
// result builders.
#pragma once

#include <cstdint>

#include "core/state.h"
#include "nif/atoms.h"
#include "nif/erl_nif.h"

namespace mirl {

extern ErlNifResourceType *solver_handle_type;

// The handle check: the state in argv[0], or null (the caller answers badarg).
SolverState *get_solver(ErlNifEnv *env, int argc, const ERL_NIF_TERM argv[]);

// Creates a handle around a freshly initialised state. On success *term is
// the handle and the state is returned; null on failure (badarg set).
SolverState *make_solver_handle(ErlNifEnv *env, const SolverOptions &options, ERL_NIF_TERM *term);

// Identity with the atom first, then its name (str or character codes).
inline bool is_atom_arg(ErlNifEnv *env, ERL_NIF_TERM arg, ERL_NIF_TERM atom) {
    return arg == atom || enif_atom_matches(env, atom, arg);
}

// True/False objects only: 1 or 0 in *out.
bool decode_bool(ERL_NIF_TERM arg, bool *out);

// A literal argument: True, False, or a non-zero int below the variable
// count in magnitude. Yields the literal code (not resolved).
bool decode_literal_code(const SolverState *s, ERL_NIF_TERM arg, uint32_t *code);
// decode_literal + resolve_literal: the representative's code.
bool decode_literal(const SolverState *s, ERL_NIF_TERM arg, uint32_t *code);
// A variable argument, resolved: the representative variable's record.
bool decode_variable(const SolverState *s, ERL_NIF_TERM arg, Variable **v);

// Decodes a list of literals into s->scratch_codes (resolved codes, in list
// order). Returns the count, or -1 when the argument is no list, -2 when an
// element does not decode, -3 when memory ran out.
int64_t decode_literal_list(ErlNifEnv *env, SolverState *s, ERL_NIF_TERM arg);
constexpr int64_t list_not_a_list = -1;
constexpr int64_t list_bad_element = -2;
constexpr int64_t list_no_memory = -3;

// A clause reference whose position lies below its set's table length.
bool decode_clause_ref(ErlNifEnv *env, const SolverState *s, ERL_NIF_TERM arg, uint32_t *ref);
// 0..3, or delta, gamma, alpha, beta.
bool decode_clause_set(ErlNifEnv *env, ERL_NIF_TERM arg, uint32_t *set);

// A signed int for a literal code (true/false come out as 0 for the
// constants where callers want plain integers; see encode_literal_term).
ERL_NIF_TERM encode_literal(ErlNifEnv *env, uint32_t code);
// True for code 0, False for code 1, else the signed variable index.
ERL_NIF_TERM encode_literal_term(ErlNifEnv *env, uint32_t code);
// A clause reference: unsigned 32-bit, except -1 for "none".
ERL_NIF_TERM encode_clause_ref(ErlNifEnv *env, uint32_t ref);

// Raises one of the library's error atoms.
inline ERL_NIF_TERM raise(ErlNifEnv *env, ERL_NIF_TERM atom) { return enif_raise_exception(env, atom); }

}  // namespace mirl
