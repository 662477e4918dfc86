// The solver state and the records it owns.
//
// One `SolverState` lives in the payload of each solver handle. It owns every
// record reachable from it: variable records and other fixed-size records
// come from its item pools, tables are `GrowArray`s, clause records are
// individual aligned allocations. `solver_state_init` builds it from a
// `SolverOptions` record, `solver_state_destroy` releases everything and may
// run twice. This header defines the records shared by all core modules;
// the functions that work on them are declared in the module headers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/memory.h"

namespace mirl {

struct Clause;
struct Symbol;

// ---- literal codes and values --------------------------------------------
// A literal code is 2v for the positive and 2v+1 for the negative literal of
// variable v; codes 0 and 1 are the constants true and false of variable 0.
constexpr uint32_t lit_true = 0;
constexpr uint32_t lit_false = 1;
constexpr uint32_t lit_var(uint32_t code) { return code >> 1; }
constexpr uint32_t lit_neg(uint32_t code) { return code ^ 1u; }
constexpr bool lit_sign(uint32_t code) { return (code & 1u) != 0; }
constexpr uint32_t lit_make(uint32_t var, bool negative) { return (var << 1) | (negative ? 1u : 0u); }
// The signed integer form callers see: v, or -v for a negative literal.
constexpr int32_t lit_to_int(uint32_t code) {
    return lit_sign(code) ? -static_cast<int32_t>(code >> 1) : static_cast<int32_t>(code >> 1);
}

// Value byte per literal code.
constexpr uint8_t val_unassigned = 0;
constexpr uint8_t val_substituted = 1;
constexpr uint8_t val_true = 2;
constexpr uint8_t val_false = 3;

// ---- variables and literals ------------------------------------------------
// Literal record flag bits.
constexpr uint32_t litf_negative = 1u << 2;
constexpr uint32_t litf_in_queue = 1u << 3;
constexpr uint32_t litf_user_shift = 12;  // bits 12..27: the user count
constexpr uint32_t litf_user_mask = 0xffffu << litf_user_shift;
constexpr uint32_t litf_preserved = 0xf0000000u;  // bits 28..31 survive creation

// Variable record flag bits.
constexpr uint32_t varf_is_atom = 1u << 0;
constexpr uint32_t varf_is_used = 1u << 1;
constexpr uint32_t varf_mark_seen = 4;
constexpr uint32_t varf_mark_both = 8;
constexpr uint32_t varf_mark_negative = 16;
constexpr uint32_t varf_mark_listed = 32;
constexpr uint32_t varf_mark_mask = 60;
constexpr uint32_t varf_phase_shift = 6;  // bits 6..7: saved phase (0, 2, 3)
constexpr uint32_t varf_phase_mask = 3u << varf_phase_shift;

struct WatchSlot;

// Occurrence list: ids of the clauses that contain a literal.
using OccurrenceList = GrowArray<uint32_t>;

// One back-reference from a literal to a symbol whose value holds it.
struct SymbolRef {
    Symbol *symbol;
    uint32_t position;
};
using SymbolList = GrowArray<SymbolRef>;

// A literal's occurrence list (option xref) and symbol list are not kept in
// its record but in the state's tables indexed by literal code
// (`occurrences_of`, `symbols_of`), which exist only once some literal has
// such a list: a formula loaded without them pays nothing per literal.
struct Literal {
    Literal *queue_next;
    uint32_t code;
    uint32_t flags;
    WatchSlot *watches;  // head of the chain of watch slots on this literal
};

struct Variable {
    Variable *next;  // order list, towards the tail
    Variable *prev;  // order list, towards the head
    double order_key;
    Variable *mark_next;  // marked list link
    uint32_t flags;
    int32_t index;
    Literal *subst;  // the literal this variable stands for, or null
    // An implication writes level and reason and then queues a literal
    // record: they lie together, next to the literal records.
    int32_t level;   // -1 when never assigned
    int32_t reason;  // clause reference of the implication, -1 for none
    Literal pos;
    Literal neg;
};

inline Variable *lit_owner(Literal *l) {
    return (l->flags & litf_negative)
               ? reinterpret_cast<Variable *>(reinterpret_cast<char *>(l) - offsetof(Variable, neg))
               : reinterpret_cast<Variable *>(reinterpret_cast<char *>(l) - offsetof(Variable, pos));
}
inline Literal *lit_other(Literal *l) { return (l->flags & litf_negative) ? l - 1 : l + 1; }
inline Literal *var_lit(Variable *v, bool negative) { return negative ? &v->neg : &v->pos; }

// ---- trail levels -------------------------------------------------------------
// Level record states.
constexpr int32_t level_open = 0;
constexpr int32_t level_first = 1;
constexpr int32_t level_flipped = 2;
constexpr int32_t level_second = 3;

struct LevelRecord {
    int32_t decision;  // decided literal code; 1 = no decision
    int32_t value;     // 2 or 3, applied to `decision`
    int32_t state;
    int32_t start;  // first trail index of the level
    int32_t count;  // trail entries of the level
};

// ---- clause hash index ----------------------------------------------------------
struct HashNode {
    HashNode *next;
    uint32_t hash;
    uint32_t id;
};

struct HashBucket {
    HashNode *head;
    HashNode *tail;
    uint64_t count;
};

// ---- symbols ------------------------------------------------------------------
constexpr uint32_t symf_encoded = 1;  // the key is an encoded term
constexpr uint32_t symf_single = 2;   // the value came as one literal

struct Symbol {
    Symbol *next;  // bucket chain, or free list
    Symbol *prev;
    uint32_t hash;
    uint32_t flags;
    uint8_t *key;  // own copy, NUL-terminated
    uint64_t key_length;
    GrowArray<uint32_t> value;  // literal codes; data null when no value array
};

struct SymbolBucket {
    Symbol *head;
    Symbol *tail;
    uint64_t count;
};

// ---- subscriptions ------------------------------------------------------------
struct Subscriber {
    Subscriber *next;  // towards older subscribers
    Subscriber *prev;
    uint32_t thread;
    uint32_t mask;
};

// ---- options --------------------------------------------------------------------
constexpr int32_t qtype_lifo = 0;
constexpr int32_t qtype_fifo = 1;
constexpr int32_t qtype_recursive = 2;

struct SolverOptions {
    int32_t queue_type = qtype_recursive;
    bool xref = false;
    bool hash = false;
    bool vsids = true;
    bool use_phase = false;
    bool all_used = false;
    int32_t init_phase = val_true;  // 2 true, 3 false, 0 random
    uint64_t size = 1024;
    uint64_t clause_capacity = 1024;
    uint64_t seed = 0;
};

// ---- limits -----------------------------------------------------------------------
constexpr uint32_t max_variable_count = 0x7ffffff;  // table count, variable 0 included
constexpr int32_t conflict_slots = 1024;
constexpr int32_t min_level_none = 0x7fffffff;

// ---- clause sets -------------------------------------------------------------------
// A clause reference carries its set in bits 30..31 (clauses.h).
constexpr uint32_t set_delta = 0;  // the default set of add_clause/2
constexpr uint32_t set_gamma = 1;  // learnt clauses: move_clause/3 moves clauses here
constexpr uint32_t set_beta = 2;   // an ordinary set
constexpr uint32_t set_alpha = 3;  // passive: stored, never watched, cross-referenced or hashed
constexpr uint32_t clause_set_count = 4;

// ---- memory figures ------------------------------------------------------------------
// The per-record sizes info/2 reports and `memory_size` sums up. They are
// fixed figures of the interface; the literal, variable, clause-literal,
// bucket and symbol-list-entry figures are the records' own sizes (state.cpp
// asserts them), while the state and symbol figures exceed our records and
// the clause-header figure exceeds our 48-byte header.
constexpr uint32_t figure_state_size = 5688;
constexpr uint32_t figure_literal_size = 40;
constexpr uint32_t figure_variable_size = 136;
constexpr uint32_t figure_clause_size = 56;  // a clause record before its literals
constexpr uint32_t figure_clause_literal_size = 4;
constexpr uint32_t figure_symbol_size = 80;
constexpr uint32_t figure_symbol_bucket_size = 24;
constexpr uint32_t figure_symbol_entry_size = 16;  // one entry of a literal's symbol list
constexpr uint32_t figure_occurrence_size = 4;     // one entry of a literal's occurrence list

// Kinds of root-level event handed to `SolverState::event_hook`.
enum class EventKind { fixed, substituted };

// One open question of the global minimisation's depth-first search: is the
// false literal `literal` implied by kept literals through `reason`, whose
// literals from `next` on are still to be looked at.
struct MinimizeFrame {
    const Clause *reason;
    uint32_t literal;
    uint32_t next;
};

// Clause records of up to clause_pool_classes x 32 bytes are carved from
// pages of their own and recycled through one free list per size in 32-byte
// units (clauses.cpp); larger records are individual allocations. Records of
// an even number of units are carved from pages of their own, so that each
// starts a 64-byte line (a clause of up to four literals is then one line);
// odd ones are only 32-byte aligned.
constexpr uint32_t clause_pool_classes = 16;
constexpr uint32_t clause_pool_min_units = 2;  // the 48-byte header alone takes two units
struct ClausePool {
    void *pages;        // newest page; the first word of a page links the older one
    char *position[2];  // next free byte of the newest page of even and of odd records
    char *end[2];
    // By size in 32-byte units: entry k holds records of clause_pool_min_units + k units.
    void *free_lists[clause_pool_classes + 1 - clause_pool_min_units];
};

// A variable's entry in the order link table: the indexes of its
// predecessor, its successor and the record order_skip_span places towards
// the head, each 0 when there is none (variable 0 is never listed).
struct OrderLink {
    int32_t prev;
    int32_t next;
    int32_t skip;
};

struct SolverState;
// Called by the core when a subscriber may want to hear of a level-0 fact:
// `subject` is the literal fixed (kind fixed), or the replacement with
// `other` the substituted literal (kind substituted). Set by the library
// surface; null means nobody builds messages.
using EventHook = void (*)(SolverState *s, EventKind kind, uint32_t subject, uint32_t other);

struct SolverState {
    SolverOptions options;  // creation options; config/3 changes some later

    // ---- clause sets (clauses.cpp, clausesets.cpp) ----
    int32_t clause_count[clause_set_count];  // live clauses per set
    int32_t set_offset[clause_set_count];    // the caller's offset per set (clauseset_offset/2)
    int32_t dead_count[clause_set_count];    // clauses marked dead per set

    // ---- conflicts of the last propagation pass (propagate.cpp) ----
    int32_t conflicting_count;              // entries in `conflicting`
    int32_t max_conflicting;                // most conflicts a pass records, 1..conflict_slots
    int32_t conflicting[conflict_slots];    // clause references of the conflicting clauses

    // ---- variables, values and the trail (variables.cpp, trail.cpp) ----
    GrowArray<Variable *> variables;  // position i: variable i; count = variables + 1
    GrowArray<Variable *> trail;      // variables in binding order; capacity follows the variable table
    GrowArray<uint8_t> mark_table;    // one byte per literal code (minimisation's marks)
    GrowArray<uint8_t> value_table;   // one value byte per literal code
    // Per literal code: its occurrence list and its symbol list (list_pool
    // descriptors, null when none). Each table is empty until its first list
    // is made, then holds two entries for every position the variable table
    // has room for.
    GrowArray<OccurrenceList *> occurrence_table;
    GrowArray<SymbolList *> symbol_table;

    // Variables carrying mark bits, in marking order (marks.h).
    struct {
        uint64_t count;
        Variable *head;
        Variable **tail;  // address of the last record's mark_next, or of head
    } marked_list;

    // ---- symbol table (symbols.cpp) ----
    uint64_t symbol_count;                  // symbols stored
    GrowArray<SymbolBucket> symbol_buckets;  // hash buckets of the symbols

    // ---- clause store (clauses.cpp) ----
    uint64_t clause_hash_count;                       // entries in the clause hash index
    GrowArray<HashBucket> clause_hash;                // clause hash buckets, used while option `hash` is on
    GrowArray<Clause *> clause_lists[clause_set_count];  // clause records per set by position; null when freed

    // ---- decision order (order.cpp) ----
    struct {
        Variable *head;
        Variable *tail;
        uint64_t count;
    } order_list;               // every variable record in decision order
    Variable *decision_cursor;  // no unbound eligible variable lies before it
    // Position i: variable i's links in the order list as indexes (see
    // OrderLink). They mirror the records' links in one small table, so
    // that a bump's walk towards the head reads a few bytes a step instead
    // of a variable record each. Its capacity (entries, all zeroed when
    // made) follows the variable table's.
    struct {
        OrderLink *data;
        uint32_t capacity;
        // 0 while every listed record's `skip` is right. Otherwise the skips
        // are stale and this is 1 + the steps that long bumps have walked
        // one by one since; once those outnumber the list, the skips are
        // rebuilt (order.cpp).
        uint32_t stale;
    } order_links;

    GrowArray<Clause *> touched_clauses;  // clauses marked dead during a pass, detached at its end
    GrowArray<LevelRecord> levels;        // one record per level, 0 up to the highest opened
    uint64_t trail_base;                  // trail entries of the levels below the current one
    uint64_t subst_count;                 // substituted variables (subst.cpp)
    uint64_t max_bound;                   // most variables bound since last read (statistics.h)
    int32_t level;                        // the current level
    int32_t max_level;                    // highest level reached since last read
    int32_t min_level;                    // lowest level returned to since last read, or min_level_none

    // The propagation queue (queue.h).
    struct {
        Literal *head;
        Literal *tail;
        uint64_t count;
    } queue;

    // ---- counters, read through info/2 ----
    uint64_t clause_n_counter;  // visits of clauses of four or more literals
    uint64_t clause_2_counter;  // visits of binary clauses
    uint64_t clause_3_counter;  // visits of ternary clauses
    uint64_t clause_d_counter;  // visits that found the other watch true
    uint64_t bcp_counter;       // propagation passes
    uint64_t conflict_counter;  // passes that ended in a conflict

    Variable constant_variable;  // variable 0, whose literals are the constants true and false

    // ---- random generator (state.cpp) and the random phase stream (trail.cpp) ----
    uint8_t rng_i;
    uint8_t rng_j;
    uint8_t rng_s[256];  // the generator's permutation
    uint8_t phase_byte;  // random byte the phase bits are taken from
    // Set when the implication clause of an assignment above level 0 was
    // deleted, rewritten or moved, so that a reason of the trail may no
    // longer be the clause that implied its variable; cleared when the
    // search is back at level 0.
    bool reasons_changed;  // (here it fills the padding before phase_bits)
    int32_t phase_bits;  // bits of `phase_byte` used; 8 draws a fresh byte

    // ---- subscriptions (subscriptions.h) ----
    int32_t notified_count;  // level-0 trail entries already announced to subscribers
    // Level-0 facts asserted while above level 0: the last `late_facts`
    // entries of level 0's segment. Their false literals are queued again
    // after every backtrack until a drain at level 0 has visited them.
    uint32_t late_facts;
    struct {
        Subscriber *head;  // the newest
        Subscriber *tail;
        uint64_t count;
    } subscribers;
    void *message_env;  // environment in which event messages are built
    void *call_env;     // environment of the call in progress, or null
    EventHook event_hook;  // set by the library surface with the first subscriber

    // ---- scratch, cleared by each use and kept ----
    GrowArray<uint32_t> learnt_buffer;  // literal codes of the clause being learnt or minimised
    GrowArray<uint32_t> scratch_codes;  // decoded literal lists
    // Global minimisation: the literals whose redundancy was settled (their
    // marks are cleared from this list) and the depth-first search's frames.
    GrowArray<uint32_t> minimize_settled;
    GrowArray<MinimizeFrame> minimize_frames;

    // ---- record pools (memory.h; clause records: clauses.h) ----
    ClausePool clause_pool;      // clause records
    ItemPool list_pool;          // OccurrenceList / SymbolList descriptors
    ItemPool variable_pool;      // Variable records
    ItemPool symbol_pool;        // Symbol records
    ItemPool subscription_pool;  // Subscriber records
    ItemPool hash_node_pool;     // HashNode records
};

// ---- state lifecycle (state.cpp) ----------------------------------------------
// Initialises a zeroed state; on -1 the state has already been destroyed.
int solver_state_init(SolverState *s, const SolverOptions &options);
// Releases everything the state owns; safe on a half-built state, safe twice.
void solver_state_destroy(SolverState *s);

// ---- random generator (state.cpp) -------------------------------------------------
// Re-keys the generator; seed 0 stirs it with the clock.
void rng_seed(SolverState *s, uint64_t seed);
// One output byte of the generator.
uint8_t rng_byte(SolverState *s);
// Four output bytes, the first drawn most significant.
uint32_t rng_u32(SolverState *s);

// Grows `order_links` to at least `capacity` entries, zeroing the new ones;
// 0 on success, -1 when the block cannot be had (the table is unchanged).
int order_links_reserve(SolverState *s, uint64_t capacity);

// The memory figure reported as `memory_size` (modulo 2^32).
uint32_t solver_memory_size(const SolverState *s);

// ---- small accessors used everywhere --------------------------------------------
inline Literal *lit_record(const SolverState *s, uint32_t code) {
    Variable *v = s->variables.data[code >> 1];
    return (code & 1u) ? &v->neg : &v->pos;
}
inline Variable *var_record(const SolverState *s, uint32_t index) { return s->variables.data[index]; }
inline OccurrenceList *occurrences_of(const SolverState *s, uint32_t code) {
    return code < s->occurrence_table.count ? s->occurrence_table.data[code] : nullptr;
}
inline SymbolList *symbols_of(const SolverState *s, uint32_t code) {
    return code < s->symbol_table.count ? s->symbol_table.data[code] : nullptr;
}
// The entry of `code` in a per-literal table, making the table (zeroed, two
// entries per position of the variable table) on first use; null when it
// cannot be had.
template <typename T>
T **literal_table_entry(SolverState *s, GrowArray<T *> &table, uint32_t code) {
    if (table.count == 0 && array_init_zeroed(table, 2 * s->variables.capacity) != 0) return nullptr;
    return &table.data[code];
}
inline uint8_t lit_value(const SolverState *s, uint32_t code) { return s->value_table.data[code]; }
inline uint32_t variable_count(const SolverState *s) { return static_cast<uint32_t>(s->variables.count); }
inline LevelRecord &current_level(SolverState *s) { return s->levels.data[s->level]; }
// Number of assigned or substituted variables.
inline uint64_t bound_count(const SolverState *s) {
    return s->trail_base + static_cast<uint64_t>(s->levels.data[s->level].count);
}

}  // namespace mirl
