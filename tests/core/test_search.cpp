// The caller-driven search without Python: nbcp/undo enumerate exactly the
// models of small formulas, a flipped decision that a level-0 fact falsified
// fails its pass and leaves undo to carry on, and the statistics and
// subscriber records read and reset what they should.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <vector>

#include "core/search.h"
#include "core/statistics.h"
#include "core/subscriptions.h"
#include "core/trail.h"
#include "state_fixture.h"

namespace {

using namespace mirl;
using mirl_test::StateFixture;

using Formula = std::vector<std::vector<int>>;

std::set<uint32_t> brute_force_models(int n, const Formula &f) {
    std::set<uint32_t> models;
    for (uint32_t bits = 0; bits < (1u << n); bits++) {
        bool all = true;
        for (const auto &clause : f) {
            bool some = false;
            for (int l : clause) some |= ((bits >> (std::abs(l) - 1)) & 1u) == (l > 0 ? 1u : 0u);
            all &= some;
        }
        if (all) models.insert(bits);
    }
    return models;
}

// Drives nbcp/undo to exhaustion, as a caller enumerating models does.
std::vector<uint32_t> enumerate(StateFixture &e, int n) {
    std::vector<uint32_t> found;
    for (int runs = 0; runs < 1000; runs++) {
        SearchResult result = search_run(e.s);
        EXPECT_NE(result, SearchResult::bad_state);
        if (result == SearchResult::complete) {
            uint32_t bits = 0;
            for (int v = 1; v <= n; v++) {
                EXPECT_NE(e.value(v), val_unassigned);
                if (e.value(v) == val_true) bits |= 1u << (v - 1);
            }
            found.push_back(bits);
        }
        if (!search_undo(e.s)) return found;
    }
    ADD_FAILURE() << "the search did not end";
    return found;
}

TEST(Search, RunAndUndoEnumerateEveryModelOnce) {
    std::mt19937 rng(11);
    for (int round = 0; round < 60; round++) {
        const int n = 3 + round % 5;
        // Clauses of 2 to 4 distinct variables: nothing is fixed at level 0,
        // so they are stored as they are.
        Formula f;
        const int clauses = static_cast<int>(rng() % (2 * n + 1));
        for (int k = 0; k < clauses; k++) {
            std::vector<int> vars;
            for (int v = 1; v <= n; v++) vars.push_back(v);
            std::shuffle(vars.begin(), vars.end(), rng);
            std::vector<int> clause;
            for (int i = 0, width = 2 + static_cast<int>(rng() % 3); i < width && i < n; i++)
                clause.push_back(rng() % 2 ? vars[i] : -vars[i]);
            f.push_back(clause);
        }
        SolverOptions options;
        options.queue_type = static_cast<int32_t>(round % 3);
        options.init_phase = round % 2 ? val_true : val_false;
        StateFixture e(static_cast<uint32_t>(n), options);
        std::set<uint32_t> expected = brute_force_models(n, f);
        for (const auto &clause : f) e.add(clause);
        std::vector<uint32_t> found = enumerate(e, n);
        std::set<uint32_t> distinct(found.begin(), found.end());
        EXPECT_EQ(distinct.size(), found.size()) << "round " << round;
        EXPECT_EQ(distinct, expected) << "round " << round;
    }
}

TEST(Search, FlippedDecisionFalsifiedAtLevel0FailsThePassAndUndoCarriesOn) {
    StateFixture e(2);
    ASSERT_EQ(search_run(e.s), SearchResult::complete);
    ASSERT_EQ(e.s->level, 2);
    ASSERT_TRUE(search_undo(e.s));
    EXPECT_EQ(e.s->levels.data[2].state, level_flipped);
    // The flip would make 2 false; a level-0 fact makes it true first.
    trail_assign_root(e.s, StateFixture::lit(2));
    ASSERT_GT(e.s->queue.count, 0u);
    const uint64_t passes = e.s->bcp_counter, conflicts = e.s->conflict_counter;
    EXPECT_EQ(search_run(e.s), SearchResult::conflict);
    EXPECT_EQ(e.s->bcp_counter, passes + 1);
    EXPECT_EQ(e.s->conflict_counter, conflicts + 1);
    EXPECT_EQ(e.s->conflicting_count, 0);
    EXPECT_EQ(e.s->queue.count, 0u);
    EXPECT_EQ(e.s->queue.head, nullptr);
    EXPECT_FALSE(lit_record(e.s, StateFixture::lit(-2))->flags & litf_in_queue);
    EXPECT_EQ(e.s->levels.data[2].state, level_second);
    // Running again without backtracking is refused and changes nothing.
    EXPECT_EQ(search_run(e.s), SearchResult::bad_state);
    EXPECT_EQ(e.s->bcp_counter, passes + 1);
    // Undo leaves level 2 and flips level 1's decision.
    ASSERT_TRUE(search_undo(e.s));
    EXPECT_EQ(e.s->level, 1);
    EXPECT_EQ(e.s->levels.data[2].state, level_open);
    EXPECT_EQ(e.s->levels.data[1].state, level_flipped);
    EXPECT_EQ(search_run(e.s), SearchResult::complete);
    EXPECT_EQ(e.value(1), val_false);
    EXPECT_EQ(e.value(2), val_true);
    EXPECT_FALSE(search_undo(e.s));
}

TEST(Search, DecisionTakesThePhaseRuleAndOpensTheFirstBranch) {
    SolverOptions options;
    options.init_phase = val_false;
    StateFixture e(3, options);
    trail_push(e.s);
    search_decide_variable(e.s, var_record(e.s, 2));
    const LevelRecord &r = e.s->levels.data[1];
    EXPECT_EQ(r.decision, static_cast<int32_t>(StateFixture::lit(2)));
    EXPECT_EQ(r.value, val_false);
    EXPECT_EQ(r.state, level_first);
    EXPECT_EQ(e.value(2), val_false);
    EXPECT_EQ(var_record(e.s, 2)->level, 1);
    EXPECT_EQ(var_record(e.s, 2)->reason, -1);
}

TEST(Search, BacktrackingSavesPhasesButNotOfALevelsFirstEntry) {
    SolverOptions options;
    options.use_phase = true;  // the initial phase of every variable is true
    StateFixture e(3, options);
    e.add({1, -2});
    trail_push(e.s);
    // Both the decision and its implication take the value opposite to their
    // initial phase, so a phase saved for either shows.
    ASSERT_TRUE(record_and_assign(e.s, StateFixture::lit(-1), val_true));
    ASSERT_TRUE(propagation_pass(e.s));
    ASSERT_EQ(e.value(2), val_false);
    trail_pop_to(e.s, 0);
    EXPECT_EQ(phase_for(e.s, var_record(e.s, 1)), val_true);   // the level's first entry: not saved
    EXPECT_EQ(phase_for(e.s, var_record(e.s, 2)), val_false);  // saved
    EXPECT_EQ(phase_for(e.s, var_record(e.s, 3)), val_true);   // never assigned
}

TEST(Statistics, ExtremesStartOverWhenRead) {
    StateFixture e(4);
    EXPECT_EQ(stats_take_min_level(e.s), min_level_none);
    trail_push(e.s);
    trail_push(e.s);
    assign(e.s, StateFixture::lit(1), val_true, -1, 2);
    ASSERT_TRUE(propagation_pass(e.s));
    trail_pop_to(e.s, 1);
    EXPECT_EQ(stats_take_max_level(e.s), 2);
    EXPECT_EQ(stats_take_max_level(e.s), 0);
    EXPECT_EQ(stats_take_min_level(e.s), 1);
    EXPECT_EQ(stats_take_min_level(e.s), min_level_none);
    EXPECT_EQ(stats_take_max_bound(e.s), 1u);
    EXPECT_EQ(stats_take_max_bound(e.s), 0u);
    e.add({1, 2}, 1);
    e.add({3}, 3);
    e.s->dead_count[2] = 2;
    EXPECT_EQ(stats_clause_total(e.s), 2);
    EXPECT_EQ(stats_dead_total(e.s), 2);
}

TEST(Subscriptions, NewestFirstAndOnlyAskedStatisticsAreReadAndReset) {
    StateFixture e(3);
    Subscriber *atoms_only = subscriber_add(e.s, 7, topic_atom | stat_bound);
    Subscriber *everything = subscriber_add(e.s, 8, topic_variable | stat_levels | stat_max_bound);
    ASSERT_NE(atoms_only, nullptr);
    ASSERT_NE(everything, nullptr);
    EXPECT_EQ(e.s->subscribers.head, everything);
    EXPECT_EQ(e.s->subscribers.tail, atoms_only);
    EXPECT_EQ(e.s->subscribers.count, 2u);
    EXPECT_TRUE(subscriber_wants(everything, false));
    EXPECT_FALSE(subscriber_wants(atoms_only, false));
    EXPECT_TRUE(subscriber_wants(atoms_only, true));

    trail_push(e.s);
    assign(e.s, StateFixture::lit(1), val_true, -1, 1);
    ASSERT_TRUE(propagation_pass(e.s));
    SubscriberStats bound = subscriber_read_stats(e.s, atoms_only->mask);
    EXPECT_EQ(bound.present, stat_bound);
    EXPECT_EQ(bound.bound, 1u);
    EXPECT_EQ(e.s->max_level, 1);  // not asked for: left alone
    EXPECT_EQ(e.s->max_bound, 1u);
    SubscriberStats levels = subscriber_read_stats(e.s, everything->mask);
    EXPECT_EQ(levels.present, stat_levels | stat_max_bound);
    EXPECT_EQ(levels.max_level, 1);
    EXPECT_FALSE(levels.has_min_level);
    EXPECT_EQ(levels.max_bound, 1u);
    EXPECT_EQ(e.s->max_level, 0);
    EXPECT_EQ(e.s->max_bound, 0u);

    subscriber_remove_first(e.s);
    EXPECT_EQ(e.s->subscribers.head, atoms_only);
    EXPECT_EQ(atoms_only->prev, nullptr);
    subscriber_remove_first(e.s);
    subscriber_remove_first(e.s);
    EXPECT_EQ(e.s->subscribers.head, nullptr);
    EXPECT_EQ(e.s->subscribers.tail, nullptr);
    EXPECT_EQ(e.s->subscribers.count, 0u);
}

}  // namespace
