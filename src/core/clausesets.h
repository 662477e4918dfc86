// Walking and reorganising the four clause sets: the start offset of each
// set, the first and next occupied positions, and the sort that orders a
// set by stamp (most recently registered or used first) and renumbers its
// clauses in the occurrence lists and the hash index.
#pragma once

#include <cstdint>

#include "core/clauses.h"
#include "core/state.h"

namespace mirl {

// The set's table length, deleted positions included.
inline uint32_t clauseset_size(const SolverState *s, uint32_t set) {
    return static_cast<uint32_t>(s->clause_lists[set].count);
}

// The reference of the first clause at or after the set's offset, or
// clause_no_ref.
uint32_t clauseset_first(const SolverState *s, uint32_t set);

// The reference of the next clause of ref's set after ref's position, or
// clause_no_ref. Any reference will do; its own position may be empty.
uint32_t clauseset_next(const SolverState *s, uint32_t ref);

// Needs level 0 (the caller checks). Sorts the set by descending stamp with
// empty positions last, drops the trailing empty positions, and gives every
// clause the id of its new position, also in the occurrence lists (sorted
// ascending afterwards) and the hash index. Implication reasons, the
// conflict list and ids the caller holds keep their old values.
// Returns -1, changing nothing, when the position map cannot be allocated.
int clauseset_sort(SolverState *s, uint32_t set);

}  // namespace mirl
