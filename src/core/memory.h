// Memory facilities of the solver core: the growable array and the
// fixed-size record pool every other module builds on.
//
// `GrowArray<T>` is an indexed table whose capacity follows
// `next_capacity` (doubling while small, x1.618 up to about a million
// entries, then x1.25). `ItemPool` hands out fixed-size records that never
// move, carved from large chunks and recycled through a FIFO free list; only
// whole chunks are ever returned to the heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace mirl {

// Capacity after growing from `current` (at least 1) until `wanted` fits.
uint64_t next_capacity(uint64_t current, uint64_t wanted);

template <typename T>
struct GrowArray {
    uint64_t capacity = 0;
    uint64_t count = 0;
    T *data = nullptr;

    T &operator[](uint64_t i) { return data[i]; }
    const T &operator[](uint64_t i) const { return data[i]; }
};

// Reallocates the block to exactly n elements; 0 on success, -1 on failure
// (the array is then unchanged).
template <typename T>
int array_reserve_exact(GrowArray<T> &a, uint64_t n) {
    if (n == 0) {
        std::free(a.data);
        a.data = nullptr;
        a.capacity = 0;
        a.count = 0;
        return 0;
    }
    void *p = std::realloc(static_cast<void *>(a.data), n * sizeof(T));
    if (p == nullptr) return -1;
    a.data = static_cast<T *>(p);
    a.capacity = n;
    if (a.count > n) a.count = n;
    return 0;
}

// Makes sure the array has room for n elements without changing count.
template <typename T>
int array_reserve(GrowArray<T> &a, uint64_t n) {
    if (a.capacity >= n) return 0;
    return array_reserve_exact(a, next_capacity(a.capacity ? a.capacity : 1, n));
}

template <typename T>
int array_init(GrowArray<T> &a, uint64_t n) {
    a.data = nullptr;
    a.capacity = 0;
    a.count = 0;
    if (n == 0) return 0;
    return array_reserve_exact(a, next_capacity(1, n));
}

// An empty array given exactly n zeroed elements (count = capacity = n).
// calloc leaves large blocks as fresh zero pages, so a big table costs
// address space only until it is written. -1 when the block cannot be had.
template <typename T>
int array_init_zeroed(GrowArray<T> &a, uint64_t n) {
    void *p = n == 0 ? nullptr : std::calloc(n, sizeof(T));
    if (n != 0 && p == nullptr) return -1;
    std::free(a.data);
    a.data = static_cast<T *>(p);
    a.capacity = n;
    a.count = n;
    return 0;
}

// Sets count to n, growing by the capacity rule; new elements are zeroed.
template <typename T>
int array_resize(GrowArray<T> &a, uint64_t n) {
    if (a.capacity < n && array_reserve(a, n) != 0) return -1;
    if (n > a.count) std::memset(static_cast<void *>(a.data + a.count), 0, (n - a.count) * sizeof(T));
    a.count = n;
    return 0;
}

template <typename T>
int array_push(GrowArray<T> &a, const T &element) {
    if (a.count >= a.capacity && array_reserve(a, a.count + 1) != 0) return -1;
    a.data[a.count++] = element;
    return 0;
}

template <typename T>
void array_free(GrowArray<T> &a) {
    std::free(a.data);
    a.data = nullptr;
    a.capacity = 0;
    a.count = 0;
}

// Fixed-size record allocator. Chunks are 524295-byte blocks whose usable
// span starts at the first 8-aligned address at least 24 bytes in.
struct ItemPool {
    uint64_t item_size = 0;  // a multiple of 8
    void *chunk_head = nullptr;
    void *chunk_tail = nullptr;
    uint64_t chunk_count = 0;
    void *free_head = nullptr;
    void *free_tail = nullptr;
    uint64_t free_count = 0;
};

constexpr uint64_t pool_chunk_bytes = 524295;
constexpr uint64_t pool_chunk_span = 524264;

void pool_init(ItemPool &p, uint64_t item_size);
void *pool_alloc(ItemPool &p);
void pool_release(ItemPool &p, void *item);
void pool_reserve(ItemPool &p, uint64_t n);
void pool_destroy(ItemPool &p);

template <typename T>
T *pool_new(ItemPool &p) {
    return static_cast<T *>(pool_alloc(p));
}

}  // namespace mirl
