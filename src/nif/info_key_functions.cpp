// Introspection of one literal or one variable: literal_info/3 and
// variable_info/3. Both resolve their argument to its representative, answer
// one key per call from the records of the state, and change nothing.
#include <vector>

#include "nif/functions.h"
#include "nif/handle.h"
#include "nif/symbol_functions.h"

namespace mirl {

namespace {

uint64_t occurrence_count(const SolverState *s, uint32_t code) {
    const OccurrenceList *list = occurrences_of(s, code);
    return list == nullptr ? 0 : list->count;
}

// Appends a (key, position) tuple for every pair of the literal's symbol
// list, in list order. False when a term cannot be built.
bool collect_symbol_pairs(ErlNifEnv *env, const SymbolList *list, std::vector<ERL_NIF_TERM> *out) {
    if (list == nullptr) return true;
    for (uint64_t k = 0; k < list->count; k++) {
        const SymbolRef &ref = list->data[k];
        ERL_NIF_TERM key = symbol_key_term(env, ref.symbol);
        if (key == nullptr) return false;
        ERL_NIF_TERM pair = enif_make_tuple(env, 2, key, enif_make_uint(env, ref.position));
        if (pair == nullptr) return false;
        out->push_back(pair);
    }
    return true;
}

// The pairs as a list built by prepending them one by one in the order
// collected: the last pair collected comes first.
ERL_NIF_TERM symbol_pairs_term(ErlNifEnv *env, const std::vector<ERL_NIF_TERM> &pairs) {
    return enif_make_list_from_array_reversed(env, pairs.data(), static_cast<unsigned>(pairs.size()));
}

ERL_NIF_TERM occurrences_term(ErlNifEnv *env, const SolverState *s, uint32_t code) {
    std::vector<ERL_NIF_TERM> ids(occurrence_count(s, code));
    for (uint64_t k = 0; k < ids.size(); k++) {
        ids[k] = enif_make_uint(env, occurrences_of(s, code)->data[k]);
        if (ids[k] == nullptr) return nullptr;
    }
    return enif_make_list_from_array(env, ids.data(), static_cast<unsigned>(ids.size()));
}

}  // namespace

// literal_info(S, Literal, Key) with Key one of mark, degree, user, xref,
// symbol. An undecodable literal or an unknown key is badarg.
MIRL_NIF(literal_info) {
    SolverState *s = get_solver(env, argc, argv);
    uint32_t code;
    if (s == nullptr || !decode_literal(s, argv[1], &code)) return enif_make_badarg(env);
    const Literal *l = lit_record(s, code);
    ERL_NIF_TERM key = argv[2];
    if (is_atom_arg(env, key, atoms.mark)) return enif_make_uint(env, s->mark_table.data[code]);
    if (is_atom_arg(env, key, atoms.degree)) {
        if (!s->options.xref) return enif_make_none(env);
        return enif_make_uint64(env, occurrence_count(s, code));
    }
    if (is_atom_arg(env, key, atoms.user))
        return enif_make_uint(env, (l->flags & litf_user_mask) >> litf_user_shift);
    if (is_atom_arg(env, key, atoms.xref)) {
        if (!s->options.xref) return atoms.undefined;
        return occurrences_term(env, s, code);
    }
    if (is_atom_arg(env, key, atoms.symbol)) {
        std::vector<ERL_NIF_TERM> pairs;
        if (!collect_symbol_pairs(env, symbols_of(s, code), &pairs)) return nullptr;
        return symbol_pairs_term(env, pairs);
    }
    return enif_make_badarg(env);
}

// variable_info(S, Variable, Key) with Key one of implication,
// implication_clause, level, phase, is_atom, is_used, degree, symbol. An
// undecodable variable raises `variable`; an unknown key is badarg.
MIRL_NIF(variable_info) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    Variable *v;
    if (!decode_variable(s, argv[1], &v)) return raise(env, atoms.variable);
    ERL_NIF_TERM key = argv[2];
    const uint32_t reason = static_cast<uint32_t>(v->reason);
    if (is_atom_arg(env, key, atoms.implication))
        return enif_make_tuple(env, 2, encode_clause_ref(env, reason), enif_make_int(env, v->level));
    if (is_atom_arg(env, key, atoms.implication_clause)) return encode_clause_ref(env, reason);
    if (is_atom_arg(env, key, atoms.level)) return enif_make_int(env, v->level);
    if (is_atom_arg(env, key, atoms.phase)) {
        uint32_t phase = (v->flags & varf_phase_mask) >> varf_phase_shift;
        if (phase == val_true) return enif_make_int(env, 1);
        if (phase == val_false) return enif_make_int(env, -1);
        return enif_make_none(env);
    }
    if (is_atom_arg(env, key, atoms.is_atom)) return enif_make_bool(env, (v->flags & varf_is_atom) != 0);
    if (is_atom_arg(env, key, atoms.is_used)) return enif_make_bool(env, (v->flags & varf_is_used) != 0);
    if (is_atom_arg(env, key, atoms.degree)) {
        if (!s->options.xref) return enif_make_none(env);
        return enif_make_uint(env, static_cast<uint32_t>(occurrence_count(s, v->pos.code) + occurrence_count(s, v->neg.code)));
    }
    if (is_atom_arg(env, key, atoms.symbol)) {
        // Prepending the positive literal's pairs and then the negative
        // literal's leaves the negative ones first, each side reversed.
        std::vector<ERL_NIF_TERM> pairs;
        if (!collect_symbol_pairs(env, symbols_of(s, v->pos.code), &pairs) ||
            !collect_symbol_pairs(env, symbols_of(s, v->neg.code), &pairs))
            return nullptr;
        return symbol_pairs_term(env, pairs);
    }
    return enif_make_badarg(env);
}

}  // namespace mirl
