// The clause store: clause records, the four clause sets, literal-list
// normalisation, the polarity-blind clause hash with its bucket index
// (option `hash`) and the per-literal occurrence lists (option `xref`).
//
// A clause record starts with its two watch slots; records are 32-byte
// aligned so that the address of either slot identifies its clause (clear
// the low five bits) and the slot (bit 4). Watching and propagation live in
// propagate.h.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

struct WatchSlot {
    WatchSlot *link;   // next slot in the chain of the watched literal
    int32_t position;  // index of the watched literal, -1 when not watched
    int32_t reserved;
};

// Clause flag bits.
constexpr uint32_t clf_size_shift = 24;  // bits 24..25: size class
constexpr uint32_t clf_size_mask = 3u << clf_size_shift;
constexpr uint32_t clf_dead = 1u << 26;
constexpr uint32_t clf_conflicting = 1u << 27;
constexpr uint32_t clf_touched = 1u << 28;
constexpr uint32_t clf_allocated = 1u << 30;

struct alignas(32) Clause {
    WatchSlot watch[2];
    uint32_t id;
    uint32_t length;
    uint32_t hash;
    uint32_t flags;
    uint64_t stamp;
    uint32_t lits[];
};

constexpr uint32_t clause_no_ref = 0xffffffffu;
constexpr uint32_t clause_ref(uint32_t set, uint32_t position) { return (set << 30) | position; }
constexpr uint32_t clause_ref_set(uint32_t ref) { return ref >> 30; }
constexpr uint32_t clause_ref_position(uint32_t ref) { return ref & 0x3fffffffu; }
inline uint32_t clause_size_class(const Clause *c) { return (c->flags & clf_size_mask) >> clf_size_shift; }
constexpr uint32_t size_class_for(uint32_t length) { return length >= 4 ? 3u : (length == 0 ? 0u : length - 1); }

inline Clause *slot_clause(WatchSlot *slot) {
    return reinterpret_cast<Clause *>(reinterpret_cast<uintptr_t>(slot) & ~uintptr_t(31));
}
inline int slot_index(const WatchSlot *slot) { return (reinterpret_cast<uintptr_t>(slot) >> 4) & 1; }

// Clause behind a reference, or null for an invalid or empty position.
Clause *clause_lookup(const SolverState *s, uint32_t ref);
// True when the reference's position lies below its set's table length.
bool clause_ref_valid(const SolverState *s, uint32_t ref);

// A fresh record: slot links null, positions -1, length and size class set,
// bit 30 set. Null when memory runs out.
Clause *clause_alloc(uint32_t length);
void clause_free(Clause *c);

// Polarity- and order-blind hash over codes other than 1.
uint32_t clause_hash_codes(const uint32_t *codes, uint32_t n);

// Normalises codes in place; returns the new length. `adding` replaces
// literals fixed at level 0 by the constants first.
uint32_t normalise_literals(SolverState *s, uint32_t *codes, uint32_t n, bool adding);
// Set equality of two normalised lists of the same length.
bool literals_equal(SolverState *s, const uint32_t *a, const uint32_t *b, uint32_t n);

// Stores a record in a set: id, stamp, table slot, live count, hash index.
// -1 when the table cannot grow (the record is then not stored).
int clause_register(SolverState *s, Clause *c, uint32_t set);
// Removes from the hash index, clears the slot, lowers the live count and
// frees the record. Does not detach watches or occurrence entries.
void clause_delete(SolverState *s, Clause *c);
// Shortens a set's table past its trailing empty positions.
void clause_set_trim(SolverState *s, uint32_t set);

// Occurrence lists (option xref).
int occurrences_add_clause(SolverState *s, const Clause *c);
void occurrences_remove_clause(SolverState *s, const Clause *c);
OccurrenceList *occurrence_list(SolverState *s, Literal *l);  // creates on first use

// Clause hash index (option hash).
int hash_index_insert(SolverState *s, const Clause *c);
void hash_index_remove(SolverState *s, const Clause *c);
// Looks a normalised list up; returns the first matching clause or null.
Clause *clause_find(SolverState *s, const uint32_t *codes, uint32_t n, uint32_t hash);
// Turning options on and off with rebuilds (config/3).
int clause_store_set_xref(SolverState *s, bool on);  // -1: memory_limit
void clause_store_set_hash(SolverState *s, bool on);

// Makes a literal a level-0 fact with no reason (unit clauses).
void clause_assert_unit(SolverState *s, uint32_t code);

}  // namespace mirl
