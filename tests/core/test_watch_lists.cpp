// Watch lists under random attach, detach, decide, propagate and backtrack,
// in all three queue disciplines: after every step each list keeps the
// entries it kept in their old order with the new ones after them (a list
// reads newest last), every watched slot is listed once by the literal at
// its position (the consistency checker, when compiled in), and a complete
// assignment propagated without conflict satisfies every clause, also when
// watch lists refuse to grow part of the time.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/check.h"
#include "core/propagate.h"
#include "core/trail.h"
#include "state_fixture.h"

namespace {

using namespace mirl;
using Snapshot = std::map<uint32_t, std::vector<const WatchSlot *>>;

Snapshot lists_of(const SolverState *s) {
    Snapshot lists;
    for (uint32_t code = 0; code < 2 * variable_count(s); code++)
        if (const WatchList *l = lit_record(s, code)->watches) lists[code].assign(l->slots, l->slots + l->count);
    return lists;
}

// Entries that stayed on a list keep their order, and arrivals follow them.
void expect_order_kept(const Snapshot &before, const Snapshot &after) {
    for (const auto &[code, now] : after) {
        auto old = before.find(code);
        if (old == before.end()) continue;
        std::vector<const WatchSlot *> stayed;
        for (const WatchSlot *w : old->second)
            if (std::find(now.begin(), now.end(), w) != now.end()) stayed.push_back(w);
        ASSERT_GE(now.size(), stayed.size());
        EXPECT_TRUE(std::equal(stayed.begin(), stayed.end(), now.begin())) << "list of code " << code;
    }
}

bool satisfied(const SolverState *s, const Clause *c) {
    for (uint32_t k = 0; k < c->length; k++)
        if (lit_value(s, c->lits[k]) == val_true) return true;
    return false;
}

bool is_reason(const SolverState *s, const Clause *c) {
    for (uint32_t v = 1; v < variable_count(s); v++) {
        const Variable *r = var_record(s, v);
        if (r->level >= 0 && lit_value(s, 2 * v) >= val_true && static_cast<uint32_t>(r->reason) == c->id) return true;
    }
    return false;
}

// The number of complete assignments reached without conflict.
int random_run(int32_t queue_type, uint32_t seed, bool failing_growth) {
    SolverOptions options;
    options.queue_type = queue_type;
    const int n = 14;
    mirl_test::StateFixture f(n, options);
    SolverState *s = f.s;
    std::mt19937 rng(seed);
    auto pick = [&](int bound) { return static_cast<int>(rng() % static_cast<uint32_t>(bound)); };
    std::vector<Clause *> clauses;
    int complete_assignments = 0;
    for (int step = 0; step < 400; step++) {
        const Snapshot before = lists_of(s);
        const int op = pick(10);
        if (op < 3 && clauses.size() < 60) {
            std::vector<int> lits;
            const int size = 2 + pick(4);
            while (static_cast<int>(lits.size()) < size) {
                int v = 1 + pick(n);
                if (std::find(lits.begin(), lits.end(), v) != lits.end() ||
                    std::find(lits.begin(), lits.end(), -v) != lits.end())
                    continue;
                lits.push_back(pick(2) ? v : -v);
            }
            if (s->level > 0) trail_pop_to(s, 0);
            clauses.push_back(f.add(lits));
        } else if (op == 3 && !clauses.empty()) {
            const int k = pick(static_cast<int>(clauses.size()));
            if (!is_reason(s, clauses[k])) {
                clause_remove(s, clauses[k]);
                clauses.erase(clauses.begin() + k);
            }
        } else if (op < 7) {
            std::vector<uint32_t> free;
            for (uint32_t v = 1; v <= n; v++)
                if (lit_value(s, 2 * v) == val_unassigned) free.push_back(v);
            if (!free.empty() && s->queue.count == 0) {
                trail_push(s);
                assign(s, 2 * free[pick(static_cast<int>(free.size()))] + pick(2), val_true, -1, s->level);
            }
        } else if (op < 9) {
            if (failing_growth) watch_grow_fail_after(pick(2));
            const bool fine = propagation_pass(s);
            watch_grow_fail_after(-1);
            if (!fine && s->level > 0) trail_pop_to(s, pick(s->level));
            // A pass that leaves a clause stranded answers memory_limit at
            // the interface; the next one without failures repairs it.
            if (fine && !s->watches_stranded && bound_count(s) == static_cast<uint64_t>(n)) {
                complete_assignments++;
                for (const Clause *c : clauses) {
                    const bool ok = (c->flags & clf_dead) || satisfied(s, c);
                    EXPECT_TRUE(ok) << "clause " << c->id;
                }
                trail_pop_to(s, 0);
            }
        } else if (s->level > 0) {
            trail_pop_to(s, pick(s->level));
        }
        // Clause removal at level 0 and propagation may drop entries;
        // nothing else reorders a list (a stranded clause watched afresh
        // is new to its lists).
        if (!failing_growth) expect_order_kept(before, lists_of(s));
        std::string violation;
        EXPECT_TRUE(check_state(s, &violation)) << "step " << step << ": " << violation;
        if (::testing::Test::HasFailure()) return complete_assignments;
    }
    return complete_assignments;
}

TEST(WatchLists, KeepOrderAndSlotsUnderRandomSearch) {
    int complete = 0;
    for (int32_t queue_type : {qtype_lifo, qtype_fifo, qtype_recursive})
        for (uint32_t seed = 1; seed <= 30; seed++) {
            SCOPED_TRACE("queue " + std::to_string(queue_type) + " seed " + std::to_string(seed));
            complete += random_run(queue_type, seed, false);
        }
    EXPECT_GT(complete, 10);
}

// A list that cannot grow during propagation leaves the watch where it was
// and the clause stranded until it can be watched again; a clause that
// cannot be watched at all is refused with nothing changed.
TEST(WatchLists, GrowthFailuresLoseNoClause) {
    int complete = 0;
    for (int32_t queue_type : {qtype_lifo, qtype_fifo, qtype_recursive})
        for (uint32_t seed = 1; seed <= 30; seed++) {
            SCOPED_TRACE("queue " + std::to_string(queue_type) + " seed " + std::to_string(seed));
            complete += random_run(queue_type, seed, true);
        }
    EXPECT_GT(complete, 10);
    mirl_test::StateFixture f(4);
    watch_grow_fail_after(0);
    Clause *c = clause_alloc(2);
    c->lits[0] = mirl_test::StateFixture::lit(1);
    c->lits[1] = mirl_test::StateFixture::lit(2);
    ASSERT_EQ(clause_register(f.s, c, set_delta), 0);
    EXPECT_EQ(attach(f.s, c), -1);
    watch_grow_fail_after(-1);
    EXPECT_EQ(c->watch[0].position, -1);
    EXPECT_EQ(c->watch[1].position, -1);
    EXPECT_EQ(watch_count(lit_record(f.s, c->lits[0])), 0u);
    EXPECT_EQ(attach(f.s, c), 1);
}

}  // namespace
