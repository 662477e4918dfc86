// Symbol keys at the interface: turning a key argument into the bytes the
// table compares (raw iolist bytes, or the complete encoded term), and a
// stored key back into a term. Shared by the symbol functions and the
// introspection of literals and variables.
#pragma once

#include "core/symbols.h"
#include "nif/erl_nif.h"

namespace mirl {

// A key argument made ready for the table. The encoded form is an owned
// binary that `release_key` gives back; raw bytes are borrowed from the
// argument (or from the call's scratch) for the rest of the call.
struct PreparedKey {
    SymbolKey key{};
    ErlNifBinary encoded{};
    bool owns_encoded = false;
};

// False when the argument is neither an iolist nor an encodable term (the
// caller answers badarg); nothing is left to release then.
bool prepare_key(ErlNifEnv *env, ERL_NIF_TERM arg, PreparedKey *out);
void release_key(PreparedKey *key);

// The key of a stored symbol as a term: an encoded key decoded, a raw key as
// a new bytearray. Null on failure, with the exception set.
ERL_NIF_TERM symbol_key_term(ErlNifEnv *env, const Symbol *sym);

}  // namespace mirl
