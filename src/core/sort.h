// Order sort: rebuilds the decision order from per-literal scores under up
// to two keys and sets each variable's preferred phase; per-literal user
// counts for the `user` key.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

enum class SortKind : uint8_t { none, identity, random, degree, rank, user };

struct SortKey {
    SortKind kind = SortKind::none;
    bool descending = false;
};

// require: level 0; keys decoded (a none key takes no part).
// ensure:  the list holds exactly the unassigned variables, sorted; phases
//          set; keys renumbered; cursor reset. A random key first re-keys
//          the generator with `seed` (0: from the clock). -1 when the
//          scratch arrays cannot be had, with nothing changed.
int order_sort(SolverState *s, SortKey key1, SortKey key2, uint32_t seed);

// The 16-bit user count in bits 12..27 of a literal record's flags.
inline uint32_t user_count(const Literal *l) { return (l->flags & litf_user_mask) >> litf_user_shift; }
inline void set_user_count(Literal *l, uint32_t count) {
    l->flags = (l->flags & ~litf_user_mask) | ((count & 0xffffu) << litf_user_shift);
}

}  // namespace mirl
