// Handle check, argument decoders and result builders shared by every NIF
// function (see handle.h).
#include "nif/handle.h"

#include <cstring>

#include "core/variables.h"

namespace mirl {

SolverState *get_solver(ErlNifEnv *env, int argc, const ERL_NIF_TERM argv[]) {
    void *payload = nullptr;
    if (argc < 1 || solver_handle_type == nullptr) return nullptr;
    if (!enif_get_resource(env, argv[0], solver_handle_type, &payload)) return nullptr;
    return static_cast<SolverState *>(payload);
}

SolverState *make_solver_handle(ErlNifEnv *env, const SolverOptions &options, ERL_NIF_TERM *term) {
    void *payload = enif_alloc_resource(solver_handle_type, sizeof(SolverState));
    if (payload == nullptr) {
        enif_make_badarg(env);
        return nullptr;
    }
    std::memset(payload, 0, sizeof(SolverState));
    auto *s = static_cast<SolverState *>(payload);
    s->message_env = enif_alloc_env();
    if (s->message_env == nullptr || solver_state_init(s, options) != 0) {
        enif_release_resource(payload);  // runs the destructor on the zeroed remains
        enif_make_badarg(env);
        return nullptr;
    }
    *term = enif_make_resource(env, payload);
    enif_release_resource(payload);  // the term now holds the only reference
    if (*term == nullptr) return nullptr;
    return s;
}

bool decode_bool(ERL_NIF_TERM arg, bool *out) {
    if (enif_is_true(arg)) {
        *out = true;
        return true;
    }
    if (enif_is_false(arg)) {
        *out = false;
        return true;
    }
    return false;
}

bool decode_literal_code(const SolverState *s, ERL_NIF_TERM arg, uint32_t *code) {
    // The two booleans are tested by identity before any integer reading, so
    // True and False are never taken for 1 and 0.
    if (enif_is_true(arg)) {
        *code = lit_true;
        return true;
    }
    if (enif_is_false(arg)) {
        *code = lit_false;
        return true;
    }
    int v;
    if (!enif_get_int(nullptr, arg, &v) || v == 0) return false;
    uint32_t magnitude = v < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(v)) : static_cast<uint32_t>(v);
    if (magnitude >= variable_count(s)) return false;
    *code = lit_make(magnitude, v < 0);
    return true;
}

bool decode_literal(const SolverState *s, ERL_NIF_TERM arg, uint32_t *code) {
    if (!decode_literal_code(s, arg, code)) return false;
    *code = resolve_code(s, *code);
    return true;
}

bool decode_variable(const SolverState *s, ERL_NIF_TERM arg, Variable **v) {
    uint32_t code;
    if (!decode_literal(s, arg, &code)) return false;
    *v = var_record(s, lit_var(code));
    return true;
}

int64_t decode_literal_list(ErlNifEnv *env, SolverState *s, ERL_NIF_TERM arg) {
    const ERL_NIF_TERM *items;
    unsigned n;
    if (!enif_get_list_items(env, arg, &items, &n)) return list_not_a_list;
    if (array_reserve(s->scratch_codes, n) != 0) return list_no_memory;
    uint32_t *codes = s->scratch_codes.data;
    for (unsigned i = 0; i < n; i++)
        if (!decode_literal(s, items[i], &codes[i])) return list_bad_element;
    s->scratch_codes.count = n;
    return n;
}

bool decode_clause_ref(ErlNifEnv *env, const SolverState *s, ERL_NIF_TERM arg, uint32_t *ref) {
    unsigned r;
    if (!enif_get_uint(env, arg, &r)) return false;
    uint32_t set = r >> 30, position = r & 0x3fffffffu;
    if (position >= s->clause_lists[set].count) return false;
    *ref = r;
    return true;
}

bool decode_clause_set(ErlNifEnv *env, ERL_NIF_TERM arg, uint32_t *set) {
    unsigned n;
    if (enif_is_integer(env, arg)) {
        if (!enif_get_uint(env, arg, &n) || n > 3) return false;
        *set = n;
        return true;
    }
    if (is_atom_arg(env, arg, atoms.delta)) *set = 0;
    else if (is_atom_arg(env, arg, atoms.gamma)) *set = 1;
    else if (is_atom_arg(env, arg, atoms.alpha)) *set = 3;
    else if (is_atom_arg(env, arg, atoms.beta)) *set = 2;
    else return false;
    return true;
}

ERL_NIF_TERM encode_literal(ErlNifEnv *env, uint32_t code) { return enif_make_int(env, lit_to_int(code)); }

ERL_NIF_TERM encode_literal_term(ErlNifEnv *env, uint32_t code) {
    if (code == lit_true) return enif_make_true(env);
    if (code == lit_false) return enif_make_false(env);
    return enif_make_int(env, lit_to_int(code));
}

ERL_NIF_TERM encode_clause_ref(ErlNifEnv *env, uint32_t ref) {
    if (ref == 0xffffffffu) return enif_make_int(env, -1);
    return enif_make_uint(env, ref);
}

}  // namespace mirl
