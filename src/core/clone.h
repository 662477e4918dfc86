// Cloning: filling a fresh solver state with a copy of another one's
// variables, assignments up to a level, substitutions, symbols, chosen
// clause sets and, on request, its propagation queue. The copy shares no
// memory with its source.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

struct CloneOptions {
    SolverOptions options;  // the copy's creation options
    uint32_t set_mask = 1;  // bit k: copy clause set k (set 0 always)
    int32_t copy_level = 0;  // highest level whose assignments are copied; -1: all
    bool copy_queue = false;
};

enum class CloneResult {
    ok,
    failed,        // variables or a clause set table could not be made
    memory_limit,  // a symbol could not be copied
};

// Fills `copy`, freshly initialised from `how.options`, from `source`.
// Requires: `copy` holds nothing yet. On failure the copy is half built and
// is only good for destruction.
//
// The copy starts at level 0. Every copied assignment becomes a level-0
// fact with no reason on the copy's level-0 trail (in the source's trail
// order), so that backtracking in the copy never leaves a variable assigned
// that no trail lists; substituted variables count in `trail_base` as in
// the source. The level records stay fresh: the source's decisions live
// above the copy's root and would name literals that are facts there.
CloneResult clone_into(const SolverState *source, SolverState *copy, const CloneOptions &how);

}  // namespace mirl
