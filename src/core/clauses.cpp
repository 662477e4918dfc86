// The clause store (see clauses.h).
#include "core/clauses.h"

#include <cstdio>
#include <cstdlib>

namespace mirl {

Clause *clause_alloc(uint32_t length) {
    size_t bytes = sizeof(Clause) + sizeof(uint32_t) * static_cast<size_t>(length);
    bytes = (bytes + 31) & ~size_t(31);
    auto *c = static_cast<Clause *>(std::aligned_alloc(32, bytes));
    if (c == nullptr) return nullptr;
    if (reinterpret_cast<uintptr_t>(c) & 31) std::printf("clause aligment error\n");
    c->watch[0] = WatchSlot{nullptr, -1, 0};
    c->watch[1] = WatchSlot{nullptr, -1, 0};
    c->id = clause_no_ref;
    c->length = length;
    c->hash = 0;
    c->flags = clf_allocated | (size_class_for(length) << clf_size_shift);
    c->stamp = 0;
    return c;
}

void clause_free(Clause *c) { std::free(c); }

}  // namespace mirl
