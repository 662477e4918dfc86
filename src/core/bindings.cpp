// Bindings queries over the trail: each level owns the segment [start,
// start + count) of the trail, so every query is a walk over one or more
// segments, forwards or backwards. Nothing here changes the state.
#include "core/bindings.h"

namespace mirl {

uint64_t bindings_total(const SolverState *s) {
    uint64_t total = 0;
    for (int32_t l = 0; l <= s->level; l++) total += static_cast<uint64_t>(s->levels.data[l].count);
    return total;
}

uint32_t bindings_of_level(const SolverState *s, int32_t level, bool newest_first, int32_t *out) {
    const LevelRecord &record = s->levels.data[level];
    Variable *const *entries = s->trail.data + record.start;
    const int32_t n = record.count;
    for (int32_t i = 0; i < n; i++) out[i] = binding_int(s, entries[newest_first ? n - 1 - i : i]);
    return static_cast<uint32_t>(n);
}

uint64_t bindings_across_levels(const SolverState *s, uint64_t limit, bool oldest_first, int32_t *out) {
    uint64_t written = 0;
    for (int32_t k = 0; k <= s->level && written < limit; k++) {
        const LevelRecord &record = s->levels.data[oldest_first ? k : s->level - k];
        Variable *const *entries = s->trail.data + record.start;
        const int32_t n = record.count;
        for (int32_t i = 0; i < n && written < limit; i++)
            out[written++] = binding_int(s, entries[oldest_first ? i : n - 1 - i]);
    }
    return written;
}

const char *undo_state_name(int32_t state) {
    static const char *const names[4] = {"undef", "set", "toggle", "done"};
    return state >= 0 && state < 4 ? names[state] : nullptr;
}

}  // namespace mirl
