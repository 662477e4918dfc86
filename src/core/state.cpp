// Solver state lifecycle, the random generator and the memory figure.
//
// `solver_state_init` builds a zeroed state from its options in a fixed
// order; any allocation failure destroys what was built and returns -1.
// `solver_state_destroy` leaves every member it releases empty, so it is
// safe on a half-built state and safe to repeat.
#include "core/state.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <type_traits>

#include "core/clauses.h"
#include "core/marks.h"
#include "core/variables.h"

namespace mirl {

namespace {

void rng_step(SolverState *s, uint8_t key) {
    s->rng_i = static_cast<uint8_t>(s->rng_i + 1);
    s->rng_j = static_cast<uint8_t>(s->rng_j + s->rng_s[s->rng_i] + key);
    uint8_t t = s->rng_s[s->rng_i];
    s->rng_s[s->rng_i] = s->rng_s[s->rng_j];
    s->rng_s[s->rng_j] = t;
}

// Pool records keep their customary sizes, or grow with the record types
// they hold should those ever outgrow them.
template <typename... Records>
constexpr uint64_t pool_item_size(uint64_t customary) {
    return std::max({customary, static_cast<uint64_t>(sizeof(Records))...});
}

void release_list(SolverState *s, GrowArray<uint32_t> *list) {
    if (list == nullptr) return;
    array_free(*list);
    pool_release(s->list_pool, list);
}

void release_symbol_list(SolverState *s, SymbolList *list) {
    if (list == nullptr) return;
    array_free(*list);
    pool_release(s->list_pool, list);
}

}  // namespace

void rng_seed(SolverState *s, uint64_t seed) {
    s->options.seed = seed;
    if (seed != 0) {
        for (int k = 0; k < 256; k++) s->rng_s[k] = static_cast<uint8_t>(k);
        s->rng_i = 255;
        s->rng_j = 0;
        for (int t = 0; t < 256; t++) rng_step(s, static_cast<uint8_t>(seed >> (8 * (t % 8))));
        return;
    }
    s->rng_i = static_cast<uint8_t>(s->rng_i - 1);
    uint8_t key[128];
    auto now = static_cast<int64_t>(std::time(nullptr));
    for (int k = 0; k < 8; k++) key[k] = static_cast<uint8_t>(static_cast<uint64_t>(now) >> (8 * k));
    for (int k = 8; k < 128; k++) key[k] = static_cast<uint8_t>(k - 8);
    for (int t = 0; t < 256; t++) rng_step(s, key[t % 128]);
    for (int t = 0; t < 1024; t++) rng_step(s, 0);
}

uint8_t rng_byte(SolverState *s) {
    rng_step(s, 0);
    return s->rng_s[static_cast<uint8_t>(s->rng_s[s->rng_i] + s->rng_s[s->rng_j])];
}

uint32_t rng_u32(SolverState *s) {
    uint32_t r = 0;
    for (int k = 0; k < 4; k++) r = (r << 8) | rng_byte(s);
    return r;
}

int solver_state_init(SolverState *s, const SolverOptions &options) {
    s->options = options;
    uint64_t size = options.size ? options.size : 1;
    marked_list_init(s);
    pool_init(s->list_pool, pool_item_size<OccurrenceList, SymbolList>(32));
    pool_init(s->variable_pool, sizeof(Variable));
    pool_init(s->symbol_pool, pool_item_size<Symbol>(80));
    pool_init(s->subscription_pool, pool_item_size<Subscriber>(64));
    pool_init(s->hash_node_pool, pool_item_size<HashNode>(16));

    if (array_init(s->variables, size) != 0 || array_resize(s->variables, 1) != 0) goto fail;
    if (array_reserve_exact(s->trail, s->variables.capacity) != 0) goto fail;
    // Zeroed by calloc rather than memset: a copy made with a huge `size`
    // (clone/2 takes any) then reserves its tables without touching them.
    if (array_init_zeroed(s->mark_table, 2 * s->variables.capacity) != 0) goto fail;
    if (array_init_zeroed(s->value_table, 2 * s->variables.capacity) != 0) goto fail;
    if (order_links_reserve(s, s->variables.capacity) != 0) goto fail;
    if (array_init(s->symbol_buckets, 8) != 0 || array_resize(s->symbol_buckets, 8) != 0) goto fail;
    s->symbol_count = 0;
    if (array_init(s->clause_hash, 8) != 0) goto fail;
    s->clause_hash_count = 0;
    // A first clause table that cannot be had is tolerated: it starts empty.
    if (options.clause_capacity > 0 && array_init(s->clause_lists[set_delta], options.clause_capacity) != 0)
        s->clause_lists[set_delta] = GrowArray<Clause *>{};

    if (array_resize(s->levels, 8) != 0) goto fail;
    for (uint64_t k = 0; k < 8; k++) s->levels.data[k] = LevelRecord{1, 0, level_open, 0, 0};
    s->trail_base = 0;
    s->notified_count = 0;
    s->level = 0;
    s->max_level = 0;
    s->min_level = min_level_none;
    s->max_bound = 0;
    s->max_conflicting = conflict_slots;

    variable_record_init(s, &s->constant_variable, 0);
    s->variables.data[0] = &s->constant_variable;
    s->value_table.data[0] = val_true;
    s->value_table.data[1] = val_false;

    for (int k = 0; k < 256; k++) s->rng_s[k] = static_cast<uint8_t>(k);
    s->rng_i = 0;
    s->rng_j = 0;
    rng_seed(s, options.seed);
    s->phase_byte = 0;
    s->phase_bits = 8;
    s->call_env = nullptr;
    return 0;

fail:
    solver_state_destroy(s);
    return -1;
}

void solver_state_destroy(SolverState *s) {
    // Symbols: key copies and value arrays.
    for (uint64_t b = 0; b < s->symbol_buckets.count; b++) {
        for (Symbol *sym = s->symbol_buckets.data[b].head; sym != nullptr; sym = sym->next) {
            std::free(sym->key);
            sym->key = nullptr;
            array_free(sym->value);
        }
    }
    array_free(s->symbol_buckets);
    s->symbol_count = 0;

    // Codes 0 and 1 are included: a symbol may name the constants true and
    // false, which then carry symbol lists like any other literal.
    for (uint64_t code = 0; code < s->occurrence_table.count; code++) release_list(s, s->occurrence_table.data[code]);
    array_free(s->occurrence_table);
    for (uint64_t code = 0; code < s->symbol_table.count; code++) release_symbol_list(s, s->symbol_table.data[code]);
    array_free(s->symbol_table);
    array_free(s->variables);
    array_free(s->trail);
    array_free(s->mark_table);
    array_free(s->value_table);
    std::free(s->order_links.data);
    s->order_links.data = nullptr;
    s->order_links.capacity = 0;

    array_free(s->clause_hash);
    s->clause_hash_count = 0;
    s->options.hash = false;

    for (uint32_t set = 0; set < clause_set_count; set++) {
        GrowArray<Clause *> &list = s->clause_lists[set];
        for (uint64_t k = 0; k < list.count; k++) {
            if (list.data[k] == nullptr) continue;
            Clause *c = list.data[k];
            list.data[k] = nullptr;
            s->clause_count[set]--;
            clause_release(s, c);
        }
        array_free(list);
    }
    clause_pool_destroy(s);

    array_free(s->levels);
    array_free(s->learnt_buffer);
    array_free(s->scratch_codes);
    array_free(s->minimize_settled);
    array_free(s->minimize_frames);
    array_free(s->touched_clauses);
    // message_env belongs to the library surface, which frees it before
    // destroying the state (its layout is the host's).

    pool_destroy(s->list_pool);
    pool_destroy(s->variable_pool);
    pool_destroy(s->symbol_pool);
    pool_destroy(s->subscription_pool);
    pool_destroy(s->hash_node_pool);
    s->subscribers.head = s->subscribers.tail = nullptr;
    s->subscribers.count = 0;
    s->order_list.head = s->order_list.tail = nullptr;
    s->order_list.count = 0;
    s->decision_cursor = nullptr;
    s->queue.head = s->queue.tail = nullptr;
    s->queue.count = 0;
    marked_list_init(s);
}

// The figures that name a record's size are that record's size; the state
// and symbol figures only bound ours from above.
static_assert(sizeof(Literal) <= figure_literal_size);
static_assert(sizeof(Variable) <= figure_variable_size);
static_assert(offsetof(Clause, lits) <= figure_clause_size);
static_assert(sizeof(Clause::lits[0]) == figure_clause_literal_size);
static_assert(sizeof(SymbolBucket) == figure_symbol_bucket_size);
static_assert(sizeof(SymbolRef) == figure_symbol_entry_size);
static_assert(sizeof(std::remove_pointer_t<decltype(OccurrenceList::data)>) == figure_occurrence_size);
static_assert(sizeof(SolverState) <= figure_state_size);
static_assert(sizeof(Symbol) <= figure_symbol_size);

int order_links_reserve(SolverState *s, uint64_t capacity) {
    auto &table = s->order_links;
    if (table.capacity >= capacity) return 0;
    // Variable indexes stay below max_variable_count, so 32 bits hold any
    // capacity the variable table can ask for.
    if (capacity > UINT32_MAX) return -1;
    // The first block comes zeroed from calloc, so that a huge reservation
    // costs address space only until it is written.
    if (table.data == nullptr) {
        void *fresh = std::calloc(capacity, sizeof(OrderLink));
        if (fresh == nullptr) return -1;
        table.data = static_cast<OrderLink *>(fresh);
        table.capacity = static_cast<uint32_t>(capacity);
        return 0;
    }
    void *p = std::realloc(static_cast<void *>(table.data), capacity * sizeof(OrderLink));
    if (p == nullptr) return -1;
    table.data = static_cast<OrderLink *>(p);
    std::memset(static_cast<void *>(table.data + table.capacity), 0, (capacity - table.capacity) * sizeof(OrderLink));
    table.capacity = static_cast<uint32_t>(capacity);
    return 0;
}

uint32_t solver_memory_size(const SolverState *s) {
    uint64_t total = figure_state_size + figure_symbol_bucket_size * s->symbol_buckets.count +
                     figure_symbol_size * s->symbol_count + figure_variable_size * s->variables.count;
    for (uint32_t set = 0; set < clause_set_count; set++) {
        const GrowArray<Clause *> &list = s->clause_lists[set];
        total += figure_clause_size * list.count;
        for (uint64_t k = 0; k < list.count; k++)
            if (list.data[k] != nullptr) total += uint64_t{figure_clause_literal_size} * list.data[k]->length;
    }
    for (uint64_t code = 0; code < s->symbol_table.count; code++) {
        const SymbolList *list = s->symbol_table.data[code];
        if (list != nullptr) total += figure_symbol_entry_size * list->count;
    }
    if (s->options.xref)
        for (uint64_t code = 0; code < s->occurrence_table.count; code++) {
            const OccurrenceList *list = s->occurrence_table.data[code];
            if (list != nullptr) total += figure_occurrence_size * list->count;
        }
    return static_cast<uint32_t>(total);
}

}  // namespace mirl
