// The capacity rule shared by every growable table, and the fixed-size
// record pools. A pool carves records from large chunks and recycles released
// ones first in, first out; `pool_reserve` prepares a whole run of records in
// one step, and only `pool_destroy` gives memory back to the heap.
#include "core/memory.h"

#include <algorithm>

namespace mirl {

uint64_t next_capacity(uint64_t current, uint64_t wanted) {
    // The arithmetic runs on single-precision floats truncated back to
    // integers, so the sequence is exactly 1, 2, ..., 1024, 1656, 2679, ...
    uint64_t cap = current ? current : 1;
    while (cap < 1024) {
        if (cap >= wanted) return cap;
        cap = static_cast<uint64_t>(static_cast<float>(cap) * 2.0f);
    }
    while (cap < 1048576) {
        if (cap >= wanted) return cap;
        cap = static_cast<uint64_t>(static_cast<float>(cap) * 1.618f);
    }
    while (cap < wanted) {
        // Past 2^62 a further quarter would leave the 64-bit range; no
        // allocation of that size can succeed anyway.
        if (cap > (uint64_t(1) << 62)) return wanted;
        cap = static_cast<uint64_t>(static_cast<float>(cap) * 1.25f);
    }
    return cap;
}

namespace {

// Chunk header: {next older chunk, current position, end}.
struct ChunkHeader {
    ChunkHeader *older;
    char *position;
    char *end;
};

char *first_item_address(void *block) {
    auto base = reinterpret_cast<uintptr_t>(block) + sizeof(ChunkHeader);
    base = (base + 7) & ~uintptr_t(7);
    return reinterpret_cast<char *>(base);
}

// Puts a new chunk of `bytes` (usable `span`) at the front of the list.
ChunkHeader *push_chunk(ItemPool &p, uint64_t bytes, uint64_t span) {
    void *block = std::malloc(bytes);
    if (block == nullptr) return nullptr;
    auto *chunk = static_cast<ChunkHeader *>(block);
    chunk->older = static_cast<ChunkHeader *>(p.chunk_head);
    chunk->position = first_item_address(block);
    chunk->end = chunk->position + span;
    p.chunk_head = chunk;
    if (p.chunk_tail == nullptr) p.chunk_tail = chunk;
    p.chunk_count++;
    return chunk;
}

void free_list_append(ItemPool &p, void *item) {
    *static_cast<void **>(item) = nullptr;
    if (p.free_tail != nullptr)
        *static_cast<void **>(p.free_tail) = item;
    else
        p.free_head = item;
    p.free_tail = item;
    p.free_count++;
}

}  // namespace

void pool_init(ItemPool &p, uint64_t item_size) {
    p = ItemPool{};
    p.item_size = (item_size + 7) & ~uint64_t(7);
}

void *pool_alloc(ItemPool &p) {
    if (p.free_count > 0) {
        void *item = p.free_head;
        p.free_head = *static_cast<void **>(item);
        if (p.free_tail == item) p.free_tail = nullptr;
        p.free_count--;
        return item;
    }
    if (p.item_size > pool_chunk_span) return nullptr;
    auto *chunk = static_cast<ChunkHeader *>(p.chunk_head);
    if (chunk == nullptr || chunk->position + p.item_size >= chunk->end) {
        chunk = push_chunk(p, pool_chunk_bytes, pool_chunk_span);
        if (chunk == nullptr) return nullptr;
    }
    void *item = chunk->position;
    chunk->position += p.item_size;
    return item;
}

void pool_release(ItemPool &p, void *item) { free_list_append(p, item); }

void pool_reserve(ItemPool &p, uint64_t n) {
    if (p.free_count >= n || p.item_size == 0) return;
    uint64_t need = n - p.free_count;
    // First whatever the front chunk still holds, every item of it, even
    // when that is more than the run needs.
    uint64_t carved = 0;
    if (auto *chunk = static_cast<ChunkHeader *>(p.chunk_head)) {
        uint64_t room = static_cast<uint64_t>(chunk->end - chunk->position) / p.item_size;
        for (uint64_t k = 0; k < room; k++) {
            free_list_append(p, chunk->position);
            chunk->position += p.item_size;
        }
        carved = room;
    }
    if (carved >= need) return;
    need -= carved;
    // Then one block sized for the rest (at least a standard chunk), put in
    // front so that the following allocations carve from it. A block that
    // cannot be had is not an error: allocation then proceeds chunk by chunk.
    uint64_t m = std::max<uint64_t>(524288, need * p.item_size);
    push_chunk(p, m + 7, m - 24);
}

void pool_destroy(ItemPool &p) {
    auto *chunk = static_cast<ChunkHeader *>(p.chunk_head);
    while (chunk != nullptr) {
        ChunkHeader *older = chunk->older;
        std::free(chunk);
        chunk = older;
    }
    uint64_t item_size = p.item_size;
    p = ItemPool{};
    p.item_size = item_size;
}

}  // namespace mirl
