// The symbol table of a solver state (see symbols.h). Entries come from the
// state's symbol pool and live in power-of-two buckets that double before
// they would fill; each literal of a value keeps a (symbol, position) pair
// in its symbol list so that a literal can name the symbols it belongs to.
#include "core/symbols.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace mirl {

namespace {

bool same_key(const Symbol *sym, const SymbolKey &key) {
    return sym->hash == key.hash && sym->key_length == key.length &&
           ((sym->flags & symf_encoded) != 0) == key.encoded &&
           (key.length == 0 || std::memcmp(sym->key, key.bytes, key.length) == 0);
}

bool same_value(const Symbol *sym, const uint32_t *codes, uint32_t n) {
    return sym->value.count == n && (n == 0 || std::memcmp(sym->value.data, codes, n * sizeof(uint32_t)) == 0);
}

void bucket_append(SymbolBucket &bucket, Symbol *sym) {
    sym->next = nullptr;
    sym->prev = bucket.tail;
    if (bucket.tail != nullptr)
        bucket.tail->next = sym;
    else
        bucket.head = sym;
    bucket.tail = sym;
    bucket.count++;
}

void bucket_remove(SymbolBucket &bucket, Symbol *sym) {
    if (sym->prev != nullptr)
        sym->prev->next = sym->next;
    else
        bucket.head = sym->next;
    if (sym->next != nullptr)
        sym->next->prev = sym->prev;
    else
        bucket.tail = sym->prev;
    sym->next = sym->prev = nullptr;
    bucket.count--;
}

// Doubles the bucket count (an empty table gets one bucket). Entries whose
// bucket changes under the new mask move to the tail of their new bucket;
// the others keep their places.
int grow_table(SolverState *s) {
    GrowArray<SymbolBucket> &buckets = s->symbol_buckets;
    uint64_t old_count = buckets.count;
    uint64_t new_count = old_count == 0 ? 1 : 2 * old_count;
    if (array_resize(buckets, new_count) != 0) return -1;
    const uint64_t mask = new_count - 1;
    for (uint64_t b = 0; b < old_count; b++) {
        Symbol *sym = buckets.data[b].head;
        while (sym != nullptr) {
            Symbol *next = sym->next;
            uint64_t target = sym->hash & mask;
            if (target != b) {
                bucket_remove(buckets.data[b], sym);
                bucket_append(buckets.data[target], sym);
            }
            sym = next;
        }
    }
    return 0;
}

SymbolList *symbol_list_of(SolverState *s, uint32_t code) {
    SymbolList **entry = literal_table_entry(s, s->symbol_table, code);
    if (entry == nullptr) return nullptr;
    if (*entry != nullptr) return *entry;
    void *item = pool_alloc(s->list_pool);
    if (item == nullptr) return nullptr;
    static_assert(sizeof(SymbolList) <= 32, "a list descriptor is one list_pool item");
    *entry = new (item) SymbolList();
    return *entry;
}

// Removes the pair (sym, position) from a literal's list, keeping the order
// of the pairs after it.
void remove_back_reference(SymbolList *list, const Symbol *sym, uint32_t position) {
    if (list == nullptr) return;
    for (uint64_t k = 0; k < list->count; k++) {
        if (list->data[k].symbol == sym && list->data[k].position == position) {
            std::memmove(static_cast<void *>(list->data + k), list->data + k + 1,
                         (list->count - k - 1) * sizeof(SymbolRef));
            list->count--;
            return;
        }
    }
}

}  // namespace

uint32_t symbol_hash(const uint8_t *bytes, uint64_t length) {
    uint32_t hash = 5381;
    for (uint64_t k = 0; k < length; k++) hash = hash * 33u + bytes[k];
    return hash;
}

Symbol *symbol_lookup(const SolverState *s, const SymbolKey &key) {
    if (s->symbol_buckets.count == 0) return nullptr;
    const SymbolBucket &bucket = s->symbol_buckets.data[key.hash & (s->symbol_buckets.count - 1)];
    for (Symbol *sym = bucket.head; sym != nullptr; sym = sym->next)
        if (same_key(sym, key)) return sym;
    return nullptr;
}

int symbol_insert(SolverState *s, Symbol *sym) {
    if (s->symbol_count + 1 >= s->symbol_buckets.count && grow_table(s) != 0) return -1;
    bucket_append(s->symbol_buckets.data[sym->hash & (s->symbol_buckets.count - 1)], sym);
    s->symbol_count++;
    return 0;
}

void symbol_unlink(SolverState *s, Symbol *sym) {
    bucket_remove(s->symbol_buckets.data[sym->hash & (s->symbol_buckets.count - 1)], sym);
    s->symbol_count--;
}

int symbol_link_literals(SolverState *s, Symbol *sym) {
    const uint32_t n = static_cast<uint32_t>(sym->value.count);
    for (uint32_t i = 0; i < n; i++) {
        SymbolList *list = symbol_list_of(s, sym->value.data[i]);
        if (list == nullptr || array_push(*list, SymbolRef{sym, i}) != 0) {
            // Each pair appended so far is the last of its list: take them
            // back newest first.
            while (i-- > 0) symbols_of(s, sym->value.data[i])->count--;
            return -1;
        }
    }
    return 0;
}

void symbol_release(SolverState *s, Symbol *sym) {
    std::free(sym->key);
    array_free(sym->value);
    std::memset(static_cast<void *>(sym), 0, sizeof(Symbol));
    pool_release(s->symbol_pool, sym);
}

SymbolAddResult symbol_add(SolverState *s, const SymbolKey &key, const uint32_t *codes, uint32_t n, bool single) {
    if (Symbol *existing = symbol_lookup(s, key); existing != nullptr)
        return same_value(existing, codes, n) ? SymbolAddResult::unchanged : SymbolAddResult::conflict;

    auto *sym = pool_new<Symbol>(s->symbol_pool);
    if (sym == nullptr) return SymbolAddResult::no_entry;
    std::memset(static_cast<void *>(sym), 0, sizeof(Symbol));
    sym->key = static_cast<uint8_t *>(std::malloc(key.length + 1));
    if (sym->key == nullptr || (n > 0 && array_init(sym->value, n) != 0)) {
        symbol_release(s, sym);
        return SymbolAddResult::no_entry;
    }
    if (key.length > 0) std::memcpy(sym->key, key.bytes, key.length);
    sym->key[key.length] = 0;
    sym->key_length = key.length;
    sym->hash = key.hash;
    sym->flags = (key.encoded ? symf_encoded : 0u) | (single ? symf_single : 0u);
    if (n > 0) {
        std::memcpy(sym->value.data, codes, n * sizeof(uint32_t));
        sym->value.count = n;
    }

    if (symbol_insert(s, sym) != 0) {
        symbol_release(s, sym);
        return SymbolAddResult::no_memory;
    }
    if (symbol_link_literals(s, sym) != 0) {
        symbol_unlink(s, sym);
        symbol_release(s, sym);
        return SymbolAddResult::no_memory;
    }
    return SymbolAddResult::added;
}

bool symbol_delete(SolverState *s, const SymbolKey &key) {
    Symbol *sym = symbol_lookup(s, key);
    if (sym == nullptr) return false;
    symbol_unlink(s, sym);
    for (uint32_t i = 0; i < sym->value.count; i++)
        remove_back_reference(symbols_of(s, sym->value.data[i]), sym, i);
    symbol_release(s, sym);
    return true;
}

Symbol *symbol_first(const SolverState *s) {
    for (uint64_t b = 0; b < s->symbol_buckets.count; b++)
        if (s->symbol_buckets.data[b].head != nullptr) return s->symbol_buckets.data[b].head;
    return nullptr;
}

Symbol *symbol_next(const SolverState *s, const Symbol *sym) {
    if (sym->next != nullptr) return sym->next;
    for (uint64_t b = (sym->hash & (s->symbol_buckets.count - 1)) + 1; b < s->symbol_buckets.count; b++)
        if (s->symbol_buckets.data[b].head != nullptr) return s->symbol_buckets.data[b].head;
    return nullptr;
}

}  // namespace mirl
