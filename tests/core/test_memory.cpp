// The capacity rule, the growable array and the record pools.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "core/memory.h"

namespace {

using namespace mirl;

// The header every chunk starts with: {next older chunk, position, end}.
struct ChunkView {
    void *older;
    char *position;
    char *end;
};
const ChunkView *front_chunk(const ItemPool &p) { return static_cast<const ChunkView *>(p.chunk_head); }

TEST(MemoryCapacity, DoublesWhileSmall) {
    EXPECT_EQ(next_capacity(1, 1), 1u);
    EXPECT_EQ(next_capacity(1, 2), 2u);
    EXPECT_EQ(next_capacity(1, 5), 8u);
    EXPECT_EQ(next_capacity(2, 3), 4u);
    EXPECT_EQ(next_capacity(1, 1024), 1024u);
}

TEST(MemoryCapacity, KeepsACapacityThatAlreadyFits) {
    EXPECT_EQ(next_capacity(1024, 1024), 1024u);
    EXPECT_EQ(next_capacity(1656, 10), 1656u);
    EXPECT_EQ(next_capacity(3, 4), 6u);  // an odd start keeps doubling itself
}

TEST(MemoryCapacity, GrowsByTheGoldenRatioInSinglePrecision) {
    EXPECT_EQ(next_capacity(1, 1025), 1656u);
    EXPECT_EQ(next_capacity(1, 1657), 2679u);
    const uint64_t expected[] = {1656,   2679,   4334,   7012,   11345,  18356,  29700,  48054,
                                 77751,  125801, 203546, 329337, 532867, 862178, 1395004};
    uint64_t cap = 1024;
    for (uint64_t want : expected) {
        cap = next_capacity(cap, cap + 1);
        EXPECT_EQ(cap, want);
    }
}

TEST(MemoryCapacity, GrowsByAQuarterPastAMillion) {
    EXPECT_EQ(next_capacity(1048576, 1048577), 1310720u);
    EXPECT_EQ(next_capacity(1395004, 1395005), 1743755u);
    EXPECT_EQ(next_capacity(1, 1048577), 1395004u);  // the ratio step overshoots the bound once
    // A wanted size past 2^62 cannot be reached by growing a 64-bit count.
    EXPECT_EQ(next_capacity(1, uint64_t(1) << 63), uint64_t(1) << 63);
}

TEST(MemoryGrowArray, InitTakesTheRuleCapacityAndNoCount) {
    GrowArray<uint32_t> a;
    ASSERT_EQ(array_init(a, 5), 0);
    EXPECT_EQ(a.capacity, 8u);
    EXPECT_EQ(a.count, 0u);
    EXPECT_NE(a.data, nullptr);
    array_free(a);

    ASSERT_EQ(array_init(a, 0), 0);
    EXPECT_EQ(a.capacity, 0u);
    EXPECT_EQ(a.data, nullptr);
}

TEST(MemoryGrowArray, ResizeZeroesNewElementsOnly) {
    GrowArray<uint32_t> a;
    ASSERT_EQ(array_init(a, 4), 0);
    ASSERT_EQ(array_resize(a, 3), 0);
    for (uint32_t k = 0; k < 3; k++) EXPECT_EQ(a[k], 0u);
    a[0] = 7;
    a[1] = 8;
    a[2] = 9;
    ASSERT_EQ(array_resize(a, 1), 0);  // shrinking lowers the count only
    EXPECT_EQ(a.count, 1u);
    EXPECT_EQ(a.capacity, 4u);
    ASSERT_EQ(array_resize(a, 6), 0);  // grows 4 -> 8 and zeroes 1..5
    EXPECT_EQ(a.capacity, 8u);
    EXPECT_EQ(a[0], 7u);
    for (uint32_t k = 1; k < 6; k++) EXPECT_EQ(a[k], 0u);
    array_free(a);
}

TEST(MemoryGrowArray, PushFollowsTheCapacityRule) {
    GrowArray<uint64_t> a;
    std::vector<uint64_t> capacities;
    for (uint64_t k = 0; k < 1030; k++) {
        ASSERT_EQ(array_push(a, k * 3), 0);
        if (capacities.empty() || capacities.back() != a.capacity) capacities.push_back(a.capacity);
    }
    EXPECT_EQ(capacities, (std::vector<uint64_t>{1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 1656}));
    EXPECT_EQ(a.count, 1030u);
    for (uint64_t k = 0; k < 1030; k++) ASSERT_EQ(a[k], k * 3);
    array_free(a);
}

TEST(MemoryGrowArray, ReserveExactClampsTheCount) {
    GrowArray<uint8_t> a;
    ASSERT_EQ(array_resize(a, 10), 0);
    ASSERT_EQ(array_reserve_exact(a, 6), 0);
    EXPECT_EQ(a.capacity, 6u);
    EXPECT_EQ(a.count, 6u);
    ASSERT_EQ(array_reserve_exact(a, 20), 0);
    EXPECT_EQ(a.capacity, 20u);
    EXPECT_EQ(a.count, 6u);
    array_free(a);
    EXPECT_EQ(a.data, nullptr);
    EXPECT_EQ(a.capacity, 0u);
    EXPECT_EQ(a.count, 0u);
    array_free(a);  // a second free finds nothing to release
}

TEST(MemoryPool, CarvesConsecutiveItemsFromTheFirstAlignedAddress) {
    ItemPool p;
    pool_init(p, 136);
    char *first = static_cast<char *>(pool_alloc(p));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(p.chunk_count, 1u);
    EXPECT_EQ(p.chunk_head, p.chunk_tail);
    auto block = reinterpret_cast<uintptr_t>(p.chunk_head);
    auto expected_first = (block + 24 + 7) & ~uintptr_t(7);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first), expected_first);
    EXPECT_EQ(front_chunk(p)->end, first + pool_chunk_span);
    char *second = static_cast<char *>(pool_alloc(p));
    EXPECT_EQ(second, first + 136);
    pool_destroy(p);
}

TEST(MemoryPool, OpensANewChunkWhenTheItemWouldReachTheEnd) {
    // 8-byte items fill the 524264-byte span exactly, and an item ending at
    // the very end is not handed out: 65532 items per chunk.
    ItemPool p;
    pool_init(p, 8);
    for (int k = 0; k < 65532; k++) ASSERT_NE(pool_alloc(p), nullptr);
    EXPECT_EQ(p.chunk_count, 1u);
    void *older = p.chunk_head;
    ASSERT_NE(pool_alloc(p), nullptr);
    EXPECT_EQ(p.chunk_count, 2u);
    EXPECT_EQ(front_chunk(p)->older, older);
    EXPECT_EQ(p.chunk_tail, older);
    pool_destroy(p);
}

TEST(MemoryPool, ReleasedItemsComeBackFirstInFirstOut) {
    ItemPool p;
    pool_init(p, 16);
    void *a = pool_alloc(p), *b = pool_alloc(p), *c = pool_alloc(p);
    pool_release(p, b);
    pool_release(p, a);
    pool_release(p, c);
    EXPECT_EQ(p.free_count, 3u);
    EXPECT_EQ(pool_alloc(p), b);
    EXPECT_EQ(pool_alloc(p), a);
    EXPECT_EQ(p.free_tail, c);
    EXPECT_EQ(pool_alloc(p), c);
    EXPECT_EQ(p.free_count, 0u);
    EXPECT_EQ(p.free_head, nullptr);
    EXPECT_EQ(p.free_tail, nullptr);
    // The free list, once empty, gives way to carving again.
    void *d = pool_alloc(p);
    EXPECT_EQ(static_cast<char *>(d), static_cast<char *>(c) + 16);
    pool_destroy(p);
}

TEST(MemoryPool, ReserveDoesNothingWhenTheFreeListSuffices) {
    ItemPool p;
    pool_init(p, 32);
    void *a = pool_alloc(p), *b = pool_alloc(p);
    pool_release(p, a);
    pool_release(p, b);
    pool_reserve(p, 2);
    EXPECT_EQ(p.free_count, 2u);
    EXPECT_EQ(p.chunk_count, 1u);
    pool_destroy(p);
}

TEST(MemoryPool, ReserveCarvesTheWholeFrontChunk) {
    ItemPool p;
    pool_init(p, 136);
    char *first = static_cast<char *>(pool_alloc(p));
    pool_reserve(p, 5);
    // Every item the chunk still has room for goes to the free list.
    EXPECT_EQ(p.free_count, (pool_chunk_span - 136) / 136);
    EXPECT_EQ(p.chunk_count, 1u);
    EXPECT_EQ(pool_alloc(p), first + 136);  // the free list keeps address order
    pool_destroy(p);
}

TEST(MemoryPool, ReserveOnAFreshPoolPreparesAStandardBlock) {
    ItemPool p;
    pool_init(p, 136);
    pool_reserve(p, 10);
    EXPECT_EQ(p.chunk_count, 1u);
    EXPECT_EQ(p.free_count, 0u);
    const ChunkView *c = front_chunk(p);
    EXPECT_EQ(static_cast<uint64_t>(c->end - c->position), 524288u - 24u);
    void *item = pool_alloc(p);
    EXPECT_EQ(item, static_cast<void *>(const_cast<char *>(c->position) - 136));
    EXPECT_EQ(p.chunk_count, 1u);
    pool_destroy(p);
}

TEST(MemoryPool, ReserveOfALongRunTakesOneBlockSizedForIt) {
    ItemPool p;
    pool_init(p, 136);
    pool_reserve(p, 10000);
    ASSERT_EQ(p.chunk_count, 1u);
    const ChunkView *c = front_chunk(p);
    EXPECT_EQ(static_cast<uint64_t>(c->end - c->position), 10000u * 136u - 24u);
    std::set<void *> seen;
    for (int k = 0; k < 9998; k++) ASSERT_TRUE(seen.insert(pool_alloc(p)).second);
    EXPECT_EQ(p.chunk_count, 1u);
    pool_destroy(p);
}

TEST(MemoryPool, ReserveCountsCarvedItemsAgainstTheNeed) {
    ItemPool p;
    pool_init(p, 136);
    pool_alloc(p);
    uint64_t room = (pool_chunk_span - 136) / 136;
    pool_reserve(p, room + 100);
    // The front chunk's items did not cover the need: one more block.
    EXPECT_EQ(p.free_count, room);
    EXPECT_EQ(p.chunk_count, 2u);
    pool_destroy(p);
}

TEST(MemoryPool, DestroyKeepsOnlyTheItemSize) {
    ItemPool p;
    pool_init(p, 64);
    for (int k = 0; k < 10000; k++) pool_alloc(p);
    pool_release(p, pool_alloc(p));
    pool_destroy(p);
    EXPECT_EQ(p.item_size, 64u);
    EXPECT_EQ(p.chunk_head, nullptr);
    EXPECT_EQ(p.chunk_tail, nullptr);
    EXPECT_EQ(p.chunk_count, 0u);
    EXPECT_EQ(p.free_head, nullptr);
    EXPECT_EQ(p.free_tail, nullptr);
    EXPECT_EQ(p.free_count, 0u);
    pool_destroy(p);  // safe to repeat
    EXPECT_NE(pool_alloc(p), nullptr);  // and the pool is usable again
    pool_destroy(p);
}

}  // namespace
