// The clause store: clause records and their four sets, literal-list
// normalisation, the polarity-blind clause hash with its bucket index, the
// per-literal occurrence lists and the level-0 facts that unit clauses become.
// Watching clauses is propagate.cpp's business; removal here calls `detach`
// so that a freed record is never left in a watch chain.
#include "core/clauses.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include "core/propagate.h"
#include "core/trail.h"

namespace mirl {

// An individually allocated record starts a 64-byte line, so that the header
// and the first two literals (all a binary clause needs) are read with one
// cache line; a pooled one of two literals is 64 bytes at a 32-byte boundary.
constexpr size_t clause_alignment = 64;
static_assert(sizeof(WatchSlot) == 16, "slot 1 must lie 16 bytes after slot 0");
static_assert(offsetof(Clause, lits) == 48 && offsetof(Clause, hash) == 12 && offsetof(Clause, id) == 28,
              "the header is the two slots, length, flags and stamp");
static_assert(clause_bytes(0) == offsetof(Clause, lits));

namespace {

constexpr uint8_t seen_bit = 1;
constexpr uint32_t max_set_length = 0x40000000u;  // positions have 30 bits

bool is_power_of_two(uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

// Smallest power of two strictly above n (1 for 0).
uint64_t power_of_two_above(uint64_t n) {
    uint64_t p = 1;
    while (p <= n) p <<= 1;
    return p;
}

HashBucket &bucket_for(SolverState *s, uint32_t hash) {
    return s->clause_hash.data[hash & (s->clause_hash.count - 1)];
}

void bucket_append(HashBucket &b, HashNode *node) {
    node->next = nullptr;
    if (b.tail != nullptr)
        b.tail->next = node;
    else
        b.head = node;
    b.tail = node;
    b.count++;
}

// Unlinks the node of `id` from its bucket; null when it is not there.
HashNode *bucket_take(HashBucket &b, uint32_t id) {
    HashNode *prev = nullptr;
    for (HashNode *node = b.head; node != nullptr; prev = node, node = node->next) {
        if (node->id != id) continue;
        if (prev != nullptr)
            prev->next = node->next;
        else
            b.head = node->next;
        if (b.tail == node) b.tail = prev;
        b.count--;
        return node;
    }
    return nullptr;
}

// Grows the bucket array to `buckets` entries and moves every entry whose
// bucket index changes to the tail of its new bucket.
int hash_index_grow(SolverState *s, uint64_t buckets) {
    uint64_t old = s->clause_hash.count;
    if (array_resize(s->clause_hash, buckets) != 0) return -1;
    HashBucket *table = s->clause_hash.data;
    // Moving entries are gathered first, in walk order, so that no entry is
    // walked twice whatever the old and new sizes.
    HashNode *moving = nullptr, **moving_tail = &moving;
    for (uint64_t b = 0; b < old; b++) {
        HashBucket &bucket = table[b];
        HashNode *node = bucket.head, *prev = nullptr;
        while (node != nullptr) {
            HashNode *next = node->next;
            if ((node->hash & (buckets - 1)) != b) {
                if (prev != nullptr)
                    prev->next = next;
                else
                    bucket.head = next;
                if (bucket.tail == node) bucket.tail = prev;
                bucket.count--;
                node->next = nullptr;
                *moving_tail = node;
                moving_tail = &node->next;
            } else {
                prev = node;
            }
            node = next;
        }
    }
    while (moving != nullptr) {
        HashNode *next = moving->next;
        bucket_append(table[moving->hash & (buckets - 1)], moving);
        moving = next;
    }
    return 0;
}

void hash_index_discard(SolverState *s) {
    for (uint64_t b = 0; b < s->clause_hash.count; b++) {
        HashBucket &bucket = s->clause_hash.data[b];
        HashNode *node = bucket.head;
        while (node != nullptr) {
            HashNode *next = node->next;
            pool_release(s->hash_node_pool, node);
            node = next;
        }
        bucket = HashBucket{nullptr, nullptr, 0};
    }
    s->clause_hash.count = 0;
    s->clause_hash_count = 0;
}

bool indexed(const SolverState *s, uint32_t set) { return s->options.hash && set != 3; }

}  // namespace

// ---- records and lookup -------------------------------------------------------

Clause *clause_lookup(const SolverState *s, uint32_t ref) {
    const GrowArray<Clause *> &table = s->clause_lists[clause_ref_set(ref)];
    uint32_t position = clause_ref_position(ref);
    return position < table.count ? table.data[position] : nullptr;
}

bool clause_ref_valid(const SolverState *s, uint32_t ref) {
    return clause_ref_position(ref) < s->clause_lists[clause_ref_set(ref)].count;
}


// ---- pooled records -------------------------------------------------------------
//
// A pooled record keeps its size in 32-byte units in flag bits 0..4 (0
// marks an individual allocation), since its length may shrink later.

namespace {

constexpr size_t record_unit = 32;
static_assert((clause_bytes(0) + record_unit - 1) / record_unit == clause_pool_min_units);
constexpr size_t page_bytes = size_t(1) << 18;
constexpr size_t page_alignment = 64;
constexpr size_t page_header = page_alignment;  // the link to the older page

#if defined(__SANITIZE_ADDRESS__)
void poison(void *p, size_t n) { __asan_poison_memory_region(p, n); }
void unpoison(void *p, size_t n) { __asan_unpoison_memory_region(p, n); }
#else
void poison(void *, size_t) {}
void unpoison(void *, size_t) {}
#endif

Clause *fresh_record(void *memory, uint32_t length, uint32_t units) {
    auto *c = static_cast<Clause *>(memory);
    c->watch[0].link = nullptr;
    c->watch[0].position = -1;
    c->hash = 0;
    c->watch[1].link = nullptr;
    c->watch[1].position = -1;
    c->id = clause_no_ref;
    c->length = length;
    c->flags = clf_allocated | (size_class_for(length) << clf_size_shift) | units;
    c->stamp = 0;
    return c;
}

}  // namespace

Clause *clause_alloc(uint32_t length) {
    size_t bytes = clause_bytes(length);
    bytes = (bytes + clause_alignment - 1) & ~(clause_alignment - 1);
    auto *c = static_cast<Clause *>(std::aligned_alloc(clause_alignment, bytes));
    if (c == nullptr) return nullptr;
    if (reinterpret_cast<uintptr_t>(c) & 31) std::printf("clause aligment error\n");
    return fresh_record(c, length, 0);
}

void clause_free(Clause *c) { std::free(c); }

Clause *clause_new(SolverState *s, uint32_t length) {
    const size_t bytes = clause_bytes(length);
    const size_t units = (bytes + record_unit - 1) / record_unit;
    if (units > clause_pool_classes) return clause_alloc(length);
    ClausePool &pool = s->clause_pool;
    void *&free_list = pool.free_lists[units - clause_pool_min_units];
    void *memory = free_list;
    if (memory != nullptr) {
        unpoison(memory, units * record_unit);
        free_list = *static_cast<void **>(memory);
    } else {
        const size_t lane = units & 1;
        char *&position = pool.position[lane];
        if (position == nullptr || static_cast<size_t>(pool.end[lane] - position) < units * record_unit) {
            void *page = std::aligned_alloc(page_alignment, page_bytes);
            if (page == nullptr) return nullptr;
            *static_cast<void **>(page) = pool.pages;
            pool.pages = page;
            position = static_cast<char *>(page) + page_header;
            pool.end[lane] = static_cast<char *>(page) + page_bytes;
            poison(position, page_bytes - page_header);
        }
        memory = position;
        position += units * record_unit;
        unpoison(memory, units * record_unit);
    }
    return fresh_record(memory, length, static_cast<uint32_t>(units));
}

void clause_release(SolverState *s, Clause *c) {
    const auto units = static_cast<size_t>(c->flags & clf_units_mask);
    if (units == 0) {
        clause_free(c);
        return;
    }
    void **free_list = &s->clause_pool.free_lists[units - clause_pool_min_units];
    *reinterpret_cast<void **>(c) = *free_list;
    *free_list = c;
    poison(reinterpret_cast<char *>(c) + sizeof(void *), units * record_unit - sizeof(void *));
}

void clause_pool_destroy(SolverState *s) {
    ClausePool &pool = s->clause_pool;
    void *page = pool.pages;
    while (page != nullptr) {
        unpoison(page, page_bytes);
        void *older = *static_cast<void **>(page);
        std::free(page);
        page = older;
    }
    pool = ClausePool{};
}

uint32_t clause_hash_codes(const uint32_t *codes, uint32_t n) {
    uint32_t hash = 0;
    for (uint32_t i = 0; i < n; i++) {
        uint32_t code = codes[i];
        if (code == lit_false) continue;
        // v*v is the same for v and -v, so the sign drops out.
        uint32_t v = code >> 1;
        hash += v * v + 1;
    }
    return hash;
}

// ---- normalisation and equality ------------------------------------------------

uint32_t normalise_literals(SolverState *s, uint32_t *codes, uint32_t n, bool adding) {
    const uint8_t *values = s->value_table.data;
    uint8_t *marks = s->mark_table.data;
    if (adding) {
        for (uint32_t i = 0; i < n; i++) {
            uint32_t code = codes[i];
            if (code <= lit_false || var_record(s, code >> 1)->level != 0) continue;
            if (values[code] == val_true)
                codes[i] = lit_true;
            else if (values[code] == val_false)
                codes[i] = lit_false;
        }
    }
    for (uint32_t i = 0; i < n; i++) {
        uint32_t code = codes[i];
        if (marks[code] & seen_bit)
            codes[i] = lit_false;  // duplicate
        else if (marks[code ^ 1u] & seen_bit)
            codes[i] = lit_true;  // tautology
        else
            marks[code] |= seen_bit;
    }
    for (uint32_t i = 0; i < n; i++) marks[codes[i]] &= static_cast<uint8_t>(~seen_bit);
    uint32_t kept = 0, trues = 0, falses = 0;
    for (uint32_t i = 0; i < n; i++) {
        uint32_t code = codes[i];
        if (code == lit_true)
            trues++;
        else if (code == lit_false)
            falses++;
        else
            codes[kept++] = code;
    }
    if (trues > 0) {
        codes[kept] = lit_true;
        return kept + 1;
    }
    if (kept > 0) return kept;
    if (falses > 0) {
        codes[0] = lit_false;
        return 1;
    }
    return 0;
}

bool literals_equal(SolverState *s, const uint32_t *a, const uint32_t *b, uint32_t n) {
    uint8_t *marks = s->mark_table.data;
    for (uint32_t i = 0; i < n; i++) marks[a[i]] |= seen_bit;
    bool equal = true;
    for (uint32_t i = 0; i < n && equal; i++) equal = (marks[b[i]] & seen_bit) != 0;
    for (uint32_t i = 0; i < n; i++) marks[a[i]] &= static_cast<uint8_t>(~seen_bit);
    return equal;
}

// ---- sets -----------------------------------------------------------------------

int clause_register(SolverState *s, Clause *c, uint32_t set) {
    GrowArray<Clause *> &table = s->clause_lists[set];
    if (table.count >= max_set_length) return -1;
    uint32_t id = clause_ref(set, static_cast<uint32_t>(table.count));
    if (array_push(table, c) != 0) return -1;
    uint32_t old_id = c->id;
    c->id = id;
    if (indexed(s, set) && hash_index_insert(s, c) != 0) {
        c->id = old_id;
        table.count--;
        return -1;
    }
    c->stamp = s->bcp_counter;
    s->clause_count[set]++;
    return 0;
}

void clause_delete(SolverState *s, Clause *c) {
    note_clause_change(s, c, c->id);
    uint32_t set = clause_ref_set(c->id);
    if (indexed(s, set)) hash_index_remove(s, c);
    GrowArray<Clause *> &table = s->clause_lists[set];
    uint32_t position = clause_ref_position(c->id);
    if (position < table.count && table.data[position] == c) {
        table.data[position] = nullptr;
        s->clause_count[set]--;
    }
    clause_release(s, c);
}

void clause_remove(SolverState *s, Clause *c) {
    detach(s, c);
    if (s->options.xref) occurrences_remove_clause(s, c);
    clause_delete(s, c);
}

void clause_set_trim(SolverState *s, uint32_t set) {
    GrowArray<Clause *> &table = s->clause_lists[set];
    while (table.count > 0 && table.data[table.count - 1] == nullptr) table.count--;
}

void clause_rewrite(SolverState *s, Clause *c, const uint32_t *codes, uint32_t n) {
    note_clause_change(s, c, c->id);
    bool in_index = indexed(s, clause_ref_set(c->id)) && s->clause_hash.count > 0;
    uint32_t old_hash = c->hash;
    if (codes != c->lits) std::memmove(c->lits, codes, sizeof(uint32_t) * n);
    c->length = n;
    c->flags = (c->flags & ~clf_size_mask) | (size_class_for(n) << clf_size_shift);
    c->hash = clause_hash_codes(c->lits, n);
    if (!in_index || c->hash == old_hash) return;
    // The entry changes buckets without counting as a new insertion.
    HashNode *node = bucket_take(bucket_for(s, old_hash), c->id);
    if (node == nullptr) return;
    node->hash = c->hash;
    bucket_append(bucket_for(s, c->hash), node);
}

// ---- occurrence lists -------------------------------------------------------------

OccurrenceList *occurrence_list(SolverState *s, uint32_t code) {
    OccurrenceList **entry = literal_table_entry(s, s->occurrence_table, code);
    if (entry == nullptr) return nullptr;
    if (*entry != nullptr) return *entry;
    auto *list = pool_new<OccurrenceList>(s->list_pool);
    if (list == nullptr) return nullptr;
    *list = OccurrenceList{};
    *entry = list;
    return list;
}

int occurrences_add_clause(SolverState *s, const Clause *c) {
    for (uint32_t k = 0; k < c->length; k++) {
        uint32_t code = c->lits[k];
        if (code <= lit_false) continue;  // the constants keep no lists
        OccurrenceList *list = occurrence_list(s, code);
        if (list == nullptr || array_push(*list, c->id) != 0) {
            occurrences_remove_clause(s, c);
            return -1;
        }
    }
    return 0;
}

void occurrences_remove_id(SolverState *s, const Clause *c, uint32_t id) {
    for (uint32_t k = 0; k < c->length; k++) {
        uint32_t code = c->lits[k];
        if (code <= lit_false) continue;
        OccurrenceList *list = occurrences_of(s, code);
        if (list == nullptr) continue;
        uint32_t *ids = list->data;
        uint64_t count = list->count;
        for (uint64_t i = 0; i < count; i++) {
            if (ids[i] != id) continue;
            std::memmove(ids + i, ids + i + 1, sizeof(uint32_t) * (count - i - 1));
            list->count = count - 1;
            break;
        }
    }
}

void occurrences_remove_clause(SolverState *s, const Clause *c) { occurrences_remove_id(s, c, c->id); }

int clause_store_set_xref(SolverState *s, bool on) {
    // Either way the lists start from empty, so a repeated call cannot enter
    // a clause twice.
    for (uint64_t code = 2; code < s->occurrence_table.count; code++) {
        OccurrenceList *list = s->occurrence_table.data[code];
        if (list != nullptr) array_free(*list);
    }
    s->options.xref = on;
    if (!on) return 0;
    for (uint32_t set = 0; set < 4; set++) {
        const GrowArray<Clause *> &table = s->clause_lists[set];
        for (uint64_t p = 0; p < table.count; p++)
            if (table.data[p] != nullptr && occurrences_add_clause(s, table.data[p]) != 0) return -1;
    }
    return 0;
}

// ---- hash index ------------------------------------------------------------------

int hash_index_insert(SolverState *s, const Clause *c) {
    uint64_t buckets = s->clause_hash.count;
    if (s->clause_hash_count + 1 >= buckets) {
        uint64_t grown = is_power_of_two(buckets) ? 2 * buckets : power_of_two_above(buckets);
        if (hash_index_grow(s, grown) != 0) return -1;
    }
    auto *node = pool_new<HashNode>(s->hash_node_pool);
    if (node == nullptr) return -1;
    node->hash = c->hash;
    node->id = c->id;
    bucket_append(bucket_for(s, c->hash), node);
    s->clause_hash_count++;
    return 0;
}

void hash_index_remove(SolverState *s, const Clause *c) {
    if (s->clause_hash.count == 0) return;
    HashNode *node = bucket_take(bucket_for(s, c->hash), c->id);
    if (node != nullptr) pool_release(s->hash_node_pool, node);
}

int clause_store_set_hash(SolverState *s, bool on) {
    hash_index_discard(s);
    s->options.hash = false;
    if (!on) return 0;
    uint64_t live = 0;
    for (uint32_t set = 0; set < 3; set++) live += static_cast<uint64_t>(s->clause_count[set]);
    if (array_resize(s->clause_hash, power_of_two_above(live)) != 0) return -1;
    s->options.hash = true;
    for (int set = 2; set >= 0; set--) {
        const GrowArray<Clause *> &table = s->clause_lists[set];
        for (uint64_t p = 0; p < table.count; p++) {
            if (table.data[p] == nullptr) continue;
            if (hash_index_insert(s, table.data[p]) != 0) {
                hash_index_discard(s);
                s->options.hash = false;
                return -1;
            }
        }
    }
    return 0;
}

Clause *clause_find(SolverState *s, const uint32_t *codes, uint32_t n, uint32_t hash) {
    if (s->options.hash) {
        if (s->clause_hash.count == 0) return nullptr;
        for (HashNode *node = bucket_for(s, hash).head; node != nullptr; node = node->next) {
            if (node->hash != hash) continue;
            Clause *c = clause_lookup(s, node->id);
            if (c != nullptr && c->length == n && literals_equal(s, c->lits, codes, n)) return c;
        }
        return nullptr;
    }
    for (uint32_t set = 0; set < 4; set++) {
        const GrowArray<Clause *> &table = s->clause_lists[set];
        for (uint64_t p = 0; p < table.count; p++) {
            Clause *c = table.data[p];
            if (c != nullptr && c->length == n && c->hash == hash && literals_equal(s, c->lits, codes, n))
                return c;
        }
    }
    return nullptr;
}

// ---- unit facts --------------------------------------------------------------------

UnitResult clause_assert_unit(SolverState *s, uint32_t code) {
    uint8_t value = lit_value(s, code);
    if (value == val_unassigned) {
        trail_assign_root(s, code);
        return UnitResult::fixed;
    }
    if (value == val_true) {
        Variable *v = var_record(s, lit_var(code));
        if (v->level > 0) trail_move_to_root(s, v);
        return UnitResult::fixed;
    }
    // False (or standing for another literal, which normalisation never
    // leaves in a clause): the fact contradicts the assignment.
    return UnitResult::falsified;
}

}  // namespace mirl
