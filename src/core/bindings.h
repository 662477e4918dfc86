// Read-only views of the trail: the bindings of one level, the most recent
// or the oldest bindings across levels, and the names of the level records'
// undo states. A binding is the signed integer of the variable's true
// literal, or 0 when the variable holds no truth value.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// v's index when its positive literal is true, -index when false, else 0.
inline int32_t binding_int(const SolverState *s, const Variable *v) {
    uint8_t value = lit_value(s, 2u * static_cast<uint32_t>(v->index));
    if (value == val_true) return v->index;
    if (value == val_false) return -v->index;
    return 0;
}

// Number of trail entries of levels 0 up to the current level.
uint64_t bindings_total(const SolverState *s);

// Writes the bindings of `level` (at most the current level) to `out`, in
// trail order or newest first; returns how many (the level's count).
uint32_t bindings_of_level(const SolverState *s, int32_t level, bool newest_first, int32_t *out);

// Writes at most `limit` bindings across all levels to `out`: levels 0 up
// to the current one in trail order when `oldest_first`, else from the
// current level down, newest entry first. Returns how many were written.
uint64_t bindings_across_levels(const SolverState *s, uint64_t limit, bool oldest_first, int32_t *out);

// "undef", "set", "toggle" or "done" for undo states 0..3, else null.
const char *undo_state_name(int32_t state);

}  // namespace mirl
