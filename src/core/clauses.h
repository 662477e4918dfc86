// The clause store: clause records, the four clause sets, literal-list
// normalisation, the polarity-blind clause hash with its bucket index
// (option `hash`) and the per-literal occurrence lists (option `xref`).
//
// A clause record starts with its two watch slots; records are 32-byte
// aligned so that the address of either slot identifies its clause (clear
// the low five bits) and the slot (bit 4). The slots' spare words hold the
// clause's hash and id, so the header is 48 bytes and a clause of up to
// four literals takes 64. Watching and propagation live in propagate.h.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

struct WatchSlot {
    WatchSlot *link;   // next slot in the chain of the watched literal
    int32_t position;  // index of the watched literal, -1 when not watched
    uint32_t spare;    // the clause's hash (slot 0) or id (slot 1): never
                       // written through the slot, and slots are never copied whole
};

// Clause flag bits.
constexpr uint32_t clf_size_shift = 24;  // bits 24..25: size class
constexpr uint32_t clf_size_mask = 3u << clf_size_shift;
// Size classes: the propagation case a clause takes.
constexpr uint32_t size_class_unit = 0;
constexpr uint32_t size_class_binary = 1;
constexpr uint32_t size_class_ternary = 2;
constexpr uint32_t size_class_long = 3;  // four literals or more
constexpr uint32_t clf_dead = 1u << 26;
constexpr uint32_t clf_conflicting = 1u << 27;
constexpr uint32_t clf_touched = 1u << 28;
constexpr uint32_t clf_allocated = 1u << 30;
// Bits 0..4: size of a pooled record in 32-byte units, 0 for an individual
// allocation (its length may shrink later, so the size is kept).
constexpr uint32_t clf_units_mask = 31;

struct alignas(32) Clause {
    union {
        WatchSlot watch[2];
        struct {
            WatchSlot *link0_;
            int32_t position0_;
            uint32_t hash;  // slot 0's spare word
            WatchSlot *link1_;
            int32_t position1_;
            uint32_t id;  // slot 1's spare word
        };
    };
    uint32_t length;
    uint32_t flags;
    uint64_t stamp;
    uint32_t lits[];
};

// Bytes of a record of `length` literals.
constexpr size_t clause_bytes(uint32_t length) { return 48 + sizeof(uint32_t) * static_cast<size_t>(length); }

constexpr uint32_t clause_no_ref = 0xffffffffu;
constexpr uint32_t clause_ref(uint32_t set, uint32_t position) { return (set << 30) | position; }
constexpr uint32_t clause_ref_set(uint32_t ref) { return ref >> 30; }
constexpr uint32_t clause_ref_position(uint32_t ref) { return ref & 0x3fffffffu; }
inline uint32_t clause_size_class(const Clause *c) { return (c->flags & clf_size_mask) >> clf_size_shift; }
constexpr uint32_t size_class_for(uint32_t length) {
    return length >= 4 ? size_class_long : (length == 0 ? size_class_unit : length - 1);
}

inline Clause *slot_clause(WatchSlot *slot) {
    return reinterpret_cast<Clause *>(reinterpret_cast<uintptr_t>(slot) & ~uintptr_t(31));
}
inline int slot_index(const WatchSlot *slot) { return (reinterpret_cast<uintptr_t>(slot) >> 4) & 1; }

// Clause behind a reference, or null for an invalid or empty position.
Clause *clause_lookup(const SolverState *s, uint32_t ref);
// True when the reference's position lies below its set's table length.
bool clause_ref_valid(const SolverState *s, uint32_t ref);

// A fresh record: slot links null, positions -1, length and size class set,
// bit 30 set. Null when memory runs out. clause_new takes it from the
// state's pages (an individual allocation when it is large) and
// clause_release gives it back; clause_alloc and clause_free handle
// individual allocations only. clause_release takes either kind.
Clause *clause_new(SolverState *s, uint32_t length);
void clause_release(SolverState *s, Clause *c);
Clause *clause_alloc(uint32_t length);
void clause_free(Clause *c);
// Frees every page of clause records (state destruction, after the records
// have been released or are no longer referenced).
void clause_pool_destroy(SolverState *s);

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
// The whole removal of a stored clause: detaches its watches, takes its id
// out of the occurrence lists (option xref) and deletes it. Use this rather
// than clause_delete so that no list keeps an id that may be handed out again.
// The table is not trimmed.
void clause_remove(SolverState *s, Clause *c);
// Called before a stored clause is deleted, rewritten or leaves its
// position `id`: when it is the implication clause of one of its variables
// above level 0, that assignment's clause is no longer what implied it, and
// minimisation stops taking the trail's implication clauses on trust until
// the search is back at level 0.
inline void note_clause_change(SolverState *s, const Clause *c, uint32_t id) {
    for (uint32_t k = 0; k < c->length; k++) {
        const Variable *v = s->variables.data[c->lits[k] >> 1];
        if (v->level > 0 && static_cast<uint32_t>(v->reason) == id) s->reasons_changed = true;
    }
}
// Shortens a set's table past its trailing empty positions.
void clause_set_trim(SolverState *s, uint32_t set);

// Occurrence lists (option xref). Adding appends the id to the list of every
// literal but the constants; on failure the entries made are taken back and
// -1 is returned. Removing closes the gaps, keeping the order.
int occurrences_add_clause(SolverState *s, const Clause *c);
void occurrences_remove_clause(SolverState *s, const Clause *c);
void occurrences_remove_id(SolverState *s, const Clause *c, uint32_t id);
OccurrenceList *occurrence_list(SolverState *s, uint32_t code);  // creates on first use

// Clause hash index (option hash).
int hash_index_insert(SolverState *s, const Clause *c);
void hash_index_remove(SolverState *s, const Clause *c);
// Looks a normalised list up; returns the first matching clause or null.
Clause *clause_find(SolverState *s, const uint32_t *codes, uint32_t n, uint32_t hash);
// Turning options on and off with rebuilds (config/3). Both set the option
// themselves; the caller skips the call when the option keeps its value.
// Turning xref on enters every clause of sets 0..3 slot by slot (-1 when an
// entry cannot be allocated: memory_limit, xref stays on with the lists built
// so far). Turning hash on sizes the buckets and indexes sets 2, 1, 0; -1
// when memory runs out (the option then stays off).
int clause_store_set_xref(SolverState *s, bool on);
int clause_store_set_hash(SolverState *s, bool on);

// Replaces the literals of a stored clause by the first n of `codes` (n at
// least 1, at most its length): length, size class and hash follow, and the
// hash index entry moves to its new bucket. The caller detaches before and
// attaches after.
void clause_rewrite(SolverState *s, Clause *c, const uint32_t *codes, uint32_t n);

// What became of a unit clause handed to clause_assert_unit.
enum class UnitResult {
    fixed,     // the literal is now true at level 0
    falsified  // the literal is false under the current assignment: the
               // caller keeps the clause as a watched one-literal clause
};
// Makes a literal a level-0 fact with no reason (unit clauses). Above level
// 0 the variable enters level 0's segment of the trail, so the fact survives
// every backtrack; a literal already true above level 0 is moved down to
// level 0 the same way. The literal that became false is queued.
UnitResult clause_assert_unit(SolverState *s, uint32_t code);

}  // namespace mirl
