// Order sort (see sort.h). Each key kind gives every variable two
// single-precision scores, one per literal; a variable sorts by the larger
// of its two under the first key, ties broken by the second key, and its
// preferred phase is the literal with the larger score (positive on a tie).
// Variables fixed at the time of the sort leave the order list for good.
#include "core/sort.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/clauses.h"
#include "core/order.h"

namespace mirl {

namespace {

constexpr uint32_t random_scale = 8388607;  // 2^23 - 1
constexpr uint32_t random_reject_below = 512;
constexpr float phase_tie_band = 4.76837158203125e-07f;  // 2^-21

// The five arrays of N entries an order sort works in, in one block.
struct SortScratch {
    void *block = nullptr;
    float *p1, *q1, *p2, *q2;
    uint32_t *order;

    explicit SortScratch(uint64_t n) {
        block = std::malloc(5 * n * sizeof(float));
        if (block == nullptr) return;
        auto *f = static_cast<float *>(block);
        p1 = f;
        q1 = f + n;
        p2 = f + 2 * n;
        q2 = f + 3 * n;
        order = reinterpret_cast<uint32_t *>(f + 4 * n);
    }
    ~SortScratch() { std::free(block); }
    SortScratch(const SortScratch &) = delete;
    SortScratch &operator=(const SortScratch &) = delete;
};

float random_score(SolverState *s) {
    uint32_t r = rng_u32(s);
    while (r < random_reject_below) r = rng_u32(s);
    return static_cast<float>(r % random_scale) / static_cast<float>(random_scale);
}

// Occurrences of each literal over every stored clause of the four sets,
// dead ones included; `by_rank` weighs each by 1/length.
void count_occurrences(const SolverState *s, float *p, float *q, uint32_t n, bool by_rank) {
    for (uint32_t set = 0; set < clause_set_count; set++) {
        const GrowArray<Clause *> &list = s->clause_lists[set];
        for (uint64_t k = 0; k < list.count; k++) {
            const Clause *c = list.data[k];
            if (c == nullptr) continue;
            float weight = by_rank ? 1.0f / static_cast<float>(c->length) : 1.0f;
            for (uint32_t j = 0; j < c->length; j++) {
                uint32_t lit = c->lits[j];
                uint32_t var = lit_var(lit);
                if (var == 0 || var >= n) continue;
                (lit_sign(lit) ? q : p)[var] += weight;
            }
        }
    }
}

void compute_scores(SolverState *s, SortKind kind, float *p, float *q, uint32_t n) {
    std::fill(p, p + n, 0.0f);
    std::fill(q, q + n, 0.0f);
    switch (kind) {
    case SortKind::none:
        break;
    case SortKind::identity:
        for (uint32_t i = 1; i < n; i++) {
            p[i] = static_cast<float>(i + 0.1);
            q[i] = static_cast<float>(i);
        }
        break;
    case SortKind::random:
        for (uint32_t i = 1; i < n; i++) {
            p[i] = random_score(s);
            q[i] = random_score(s);
        }
        break;
    case SortKind::degree:
        count_occurrences(s, p, q, n, false);
        break;
    case SortKind::rank:
        count_occurrences(s, p, q, n, true);
        break;
    case SortKind::user:
        for (uint32_t i = 1; i < n; i++) {
            const Variable *v = var_record(s, i);
            p[i] = static_cast<float>(user_count(&v->pos));
            q[i] = static_cast<float>(user_count(&v->neg));
        }
        break;
    }
}

}  // namespace

int order_sort(SolverState *s, SortKey key1, SortKey key2, uint32_t seed) {
    auto n = static_cast<uint32_t>(s->variables.count);
    SortScratch scratch(n);
    if (scratch.block == nullptr) return -1;

    if (key1.kind == SortKind::random || key2.kind == SortKind::random) rng_seed(s, seed);
    if (key1.kind == SortKind::none) {
        key1 = key2;
        key2 = SortKey{};
    }
    if (key1.kind == key2.kind) key2 = SortKey{};

    compute_scores(s, key1.kind, scratch.p1, scratch.q1, n);
    compute_scores(s, key2.kind, scratch.p2, scratch.q2, n);

    uint32_t *order = scratch.order;
    uint32_t count = 0;
    for (uint32_t i = 1; i < n; i++)
        if (s->value_table.data[2 * i] == val_unassigned) order[count++] = i;

    order_clear(s);

    const float *p1 = scratch.p1, *q1 = scratch.q1, *p2 = scratch.p2, *q2 = scratch.q2;
    const bool second = key2.kind != SortKind::none;
    auto before = [&](uint32_t x, uint32_t y) {
        float a = std::max(p1[x], q1[x]), b = std::max(p1[y], q1[y]);
        if (a != b) return key1.descending ? a > b : a < b;
        if (!second) return false;
        a = std::max(p2[x], q2[x]);
        b = std::max(p2[y], q2[y]);
        if (a != b) return key2.descending ? a > b : a < b;
        return false;
    };
    std::sort(order, order + count, before);

    const bool first = key1.kind != SortKind::none;
    for (uint32_t k = 0; k < count; k++) {
        uint32_t i = order[k];
        float d = first ? p1[i] - q1[i] : 0.0f;
        if (second && std::fabs(d) < phase_tie_band) d = p2[i] - q2[i];
        Variable *v = var_record(s, i);
        uint32_t phase = d >= 0.0f ? val_true : val_false;
        v->flags = (v->flags & ~varf_phase_mask) | (phase << varf_phase_shift);
        order_link_tail(s, v);
    }
    order_renumber(s);
    cursor_reset(s);
    return 0;
}

}  // namespace mirl
