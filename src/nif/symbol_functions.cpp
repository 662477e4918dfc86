// The symbol functions: add_symbol/3, find_symbol/2, del_symbol/2,
// first_symbol/1 and next_symbol/2. Each prepares its key argument (raw
// iolist bytes, or else the encoded term), works on the table of
// core/symbols.h, and hands keys back as terms.
#include <cstring>
#include <vector>

#include "nif/functions.h"
#include "nif/handle.h"
#include "nif/symbol_functions.h"

namespace mirl {

bool prepare_key(ErlNifEnv *env, ERL_NIF_TERM arg, PreparedKey *out) {
    *out = PreparedKey{};
    ErlNifBinary bin;
    if (enif_inspect_iolist_as_binary(env, arg, &bin)) {
        out->key = symbol_key(bin.data, bin.size, false);
        return true;
    }
    // Not an iolist: the key is the complete external form, version byte
    // included. A value that cannot be encoded (None, a bytearray inside a
    // tuple, nesting beyond the encoder's bound) is refused here.
    if (!enif_term_to_binary(env, arg, &bin)) return false;
    out->encoded = bin;
    out->owns_encoded = true;
    out->key = symbol_key(bin.data, bin.size, true);
    return true;
}

void release_key(PreparedKey *key) {
    if (key->owns_encoded) enif_release_binary(&key->encoded);
    key->owns_encoded = false;
}

ERL_NIF_TERM symbol_key_term(ErlNifEnv *env, const Symbol *sym) {
    ERL_NIF_TERM term = nullptr;
    if (sym->flags & symf_encoded) {
        if (enif_binary_to_term(env, sym->key, sym->key_length, &term, 0) == 0 || term == nullptr)
            return enif_make_badarg(env);
        return term;
    }
    unsigned char *bytes = enif_make_new_binary(env, sym->key_length, &term);
    if (term == nullptr || (bytes == nullptr && sym->key_length > 0)) return nullptr;
    if (sym->key_length > 0) std::memcpy(bytes, sym->key, sym->key_length);
    return term;
}

namespace {

// A value's literals as signed integers; a lone literal given as such comes
// back bare.
ERL_NIF_TERM symbol_value_term(ErlNifEnv *env, const Symbol *sym) {
    if (sym->value.data == nullptr) return atoms.undefined;
    if ((sym->flags & symf_single) && sym->value.count == 1) return encode_literal(env, sym->value.data[0]);
    std::vector<ERL_NIF_TERM> items(sym->value.count);
    for (uint64_t k = 0; k < sym->value.count; k++) {
        items[k] = encode_literal(env, sym->value.data[k]);
        if (items[k] == nullptr) return nullptr;
    }
    return enif_make_list_from_array(env, items.data(), static_cast<unsigned>(items.size()));
}

// Looks a key argument up (*out null when absent); false when the key
// cannot be prepared.
bool find_entry(ErlNifEnv *env, SolverState *s, ERL_NIF_TERM arg, Symbol **out) {
    PreparedKey key;
    if (!prepare_key(env, arg, &key)) return false;
    *out = symbol_lookup(s, key.key);
    release_key(&key);
    return true;
}

}  // namespace

// add_symbol(S, Literals, Key): Literals is a literal or a list of literals,
// stored as their representatives. None on success (also when the key is
// already bound to the same literals); badarg for a key bound to other
// literals; memory_limit when a literal's symbol list cannot grow.
MIRL_NIF(add_symbol) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    const uint32_t *codes;
    uint32_t n;
    bool single = false;
    uint32_t code;
    if (enif_is_list(env, argv[1])) {
        int64_t count = decode_literal_list(env, s, argv[1]);
        if (count == list_no_memory) return raise(env, atoms.memory_limit);
        if (count < 0) return enif_make_badarg(env);
        codes = s->scratch_codes.data;
        n = static_cast<uint32_t>(count);
    } else {
        if (!decode_literal(s, argv[1], &code)) return enif_make_badarg(env);
        codes = &code;
        n = 1;
        single = true;
    }
    PreparedKey key;
    if (!prepare_key(env, argv[2], &key)) return enif_make_badarg(env);
    SymbolAddResult result = symbol_add(s, key.key, codes, n, single);
    release_key(&key);
    switch (result) {
    case SymbolAddResult::added:
    case SymbolAddResult::unchanged:
        return enif_make_none(env);
    case SymbolAddResult::no_memory:
        return raise(env, atoms.memory_limit);
    case SymbolAddResult::conflict:
    case SymbolAddResult::no_entry:
        break;
    }
    return enif_make_badarg(env);
}

// find_symbol(S, Key): the value (a lone literal, or a list), undefined for a
// symbol without literals, False when the key is absent.
MIRL_NIF(find_symbol) {
    SolverState *s = get_solver(env, argc, argv);
    Symbol *sym;
    if (s == nullptr || !find_entry(env, s, argv[1], &sym)) return enif_make_badarg(env);
    if (sym == nullptr) return enif_make_false(env);
    return symbol_value_term(env, sym);
}

// del_symbol(S, Key): None when removed, False when absent.
MIRL_NIF(del_symbol) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    PreparedKey key;
    if (!prepare_key(env, argv[1], &key)) return enif_make_badarg(env);
    bool removed = symbol_delete(s, key.key);
    release_key(&key);
    return removed ? enif_make_none(env) : enif_make_false(env);
}

// first_symbol(S): the first key in table order, or False.
MIRL_NIF(first_symbol) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    Symbol *sym = symbol_first(s);
    return sym == nullptr ? enif_make_false(env) : symbol_key_term(env, sym);
}

// next_symbol(S, Key): the key after Key in table order; False when Key is
// absent or the last.
MIRL_NIF(next_symbol) {
    SolverState *s = get_solver(env, argc, argv);
    Symbol *sym;
    if (s == nullptr || !find_entry(env, s, argv[1], &sym)) return enif_make_badarg(env);
    if (sym == nullptr) return enif_make_false(env);
    Symbol *next = symbol_next(s, sym);
    return next == nullptr ? enif_make_false(env) : symbol_key_term(env, next);
}

}  // namespace mirl
