// Statistics shared by info/2 and the subscriber messages: the totals over
// the clause sets and the read-and-reset of the extremes.
#include "core/statistics.h"

namespace mirl {

namespace {

// Sums of the per-set counts wrap at 32 bits like the counts themselves.
int32_t sum_of_sets(const int32_t counts[clause_set_count]) {
    uint32_t sum = 0;
    for (uint32_t set = 0; set < clause_set_count; set++) sum += static_cast<uint32_t>(counts[set]);
    return static_cast<int32_t>(sum);
}

}  // namespace

int32_t stats_clause_total(const SolverState *s) { return sum_of_sets(s->clause_count); }

int32_t stats_dead_total(const SolverState *s) { return sum_of_sets(s->dead_count); }

int32_t stats_take_max_level(SolverState *s) {
    int32_t reached = s->max_level;
    s->max_level = 0;
    return reached;
}

int32_t stats_take_min_level(SolverState *s) {
    int32_t reached = s->min_level;
    s->min_level = min_level_none;
    return reached;
}

uint64_t stats_take_max_bound(SolverState *s) {
    uint64_t reached = s->max_bound;
    s->max_bound = 0;
    return reached;
}

}  // namespace mirl
