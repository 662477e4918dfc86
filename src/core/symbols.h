// The symbol table: caller-chosen keys (raw bytes or an encoded term) bound
// to a literal or a list of literals, in a chained hash table of the solver
// state, with a back-reference from every literal of a value to its symbol.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// A key as the table sees it: its bytes, its kind and its hash. The kind is
// part of the identity, so the raw bytes "a" and the encoded integer 97 are
// different keys even where their bytes happen to agree.
struct SymbolKey {
    const uint8_t *bytes;
    uint64_t length;
    bool encoded;
    uint32_t hash;
};

// djb2 over the key bytes, wrapping at 32 bits.
uint32_t symbol_hash(const uint8_t *bytes, uint64_t length);
inline SymbolKey symbol_key(const uint8_t *bytes, uint64_t length, bool encoded) {
    return SymbolKey{bytes, length, encoded, symbol_hash(bytes, length)};
}

// The entry holding this key, or null.
Symbol *symbol_lookup(const SolverState *s, const SymbolKey &key);

enum class SymbolAddResult {
    added,      // a new entry holds the key
    unchanged,  // the key was present with the same literals in the same order
    conflict,   // the key is bound to other literals
    no_entry,   // no record, key copy or value array could be had
    no_memory,  // the table or a literal's symbol list could not grow
};

// Binds the key to `codes` (representatives, in order; n = 0 stores a
// symbol without a value array). `single` records that the value came as
// one literal. On any failure the table is left as it was.
SymbolAddResult symbol_add(SolverState *s, const SymbolKey &key, const uint32_t *codes, uint32_t n, bool single);

// Removes the key's entry and its back-references; false when absent.
bool symbol_delete(SolverState *s, const SymbolKey &key);

// Table order: bucket index order, insertion order within a bucket.
Symbol *symbol_first(const SolverState *s);
Symbol *symbol_next(const SolverState *s, const Symbol *sym);

// Places an entry whose hash, flags, key and value are filled in into the
// table, doubling the buckets first when it would fill them. -1 when the
// table cannot grow (the entry is then not placed).
int symbol_insert(SolverState *s, Symbol *sym);
// Appends (sym, i) to the symbol list of the literal at position i of its
// value, for every i. -1 when a list cannot grow; the lists are then as
// they were.
int symbol_link_literals(SolverState *s, Symbol *sym);
// Takes an entry out of its bucket (it stays allocated).
void symbol_unlink(SolverState *s, Symbol *sym);
// Frees the key copy and value array and returns the record to the pool.
void symbol_release(SolverState *s, Symbol *sym);

}  // namespace mirl
