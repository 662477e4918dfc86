// Clause store, watches and trail internals: normalisation results, the
// hash index growth rule, record alignment, watch chains, the trail after
// late level-0 facts and the queue after backtracking.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/clauses.h"
#include "core/propagate.h"
#include "core/state.h"
#include "core/trail.h"
#include "core/variables.h"
#include "state_fixture.h"

namespace {

using namespace mirl;

// The shared state fixture with the views of normalisation and watch chains
// these tests read.
struct Engine : mirl_test::StateFixture {
    using StateFixture::StateFixture;

    std::vector<uint32_t> normalise(std::vector<uint32_t> codes, bool adding) {
        codes.resize(normalise_literals(s, codes.data(), static_cast<uint32_t>(codes.size()), adding));
        return codes;
    }

    size_t chain_length(int v) {
        size_t n = 0;
        for (WatchSlot *w = lit_record(s, lit(v))->watches; w != nullptr; w = w->link) n++;
        return n;
    }
};

TEST(EngineNormalisation, KeptCodesThenOneTrueWhenSatisfied) {
    Engine e(4);
    EXPECT_EQ(e.normalise({4, 6, 4}, false), (std::vector<uint32_t>{4, 6}));
    EXPECT_EQ(e.normalise({4, 6, 5}, false), (std::vector<uint32_t>{4, 6, 0}));
    EXPECT_EQ(e.normalise({1, 1}, false), (std::vector<uint32_t>{1}));
    EXPECT_EQ(e.normalise({}, false), (std::vector<uint32_t>{}));
    for (uint64_t code = 0; code < e.s->mark_table.count; code++) ASSERT_EQ(e.s->mark_table.data[code], 0);
}

TEST(EngineNormalisation, OnlyTheAddingFormReadsLevel0Values) {
    Engine e(4);
    assign(e.s, Engine::lit(2), val_false, -1, 0);
    EXPECT_EQ(e.normalise({2, 4, 6}, true), (std::vector<uint32_t>{2, 6}));
    EXPECT_EQ(e.normalise({2, 4, 6}, false), (std::vector<uint32_t>{2, 4, 6}));
}

TEST(EngineClauses, RecordsStartACacheLine) {
    for (uint32_t n = 1; n < 40; n++) {
        Clause *c = clause_alloc(n);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(c) % 64, 0u);
        EXPECT_EQ(slot_clause(&c->watch[1]), c);
        EXPECT_EQ(slot_index(&c->watch[1]), 1);
        EXPECT_EQ(clause_size_class(c), n >= 4 ? 3u : n - 1);
        clause_free(c);
    }
}

TEST(EngineClauses, HashIgnoresSignsOrderAndFalse) {
    uint32_t a[] = {4, 7, 1}, b[] = {6, 5};
    EXPECT_EQ(clause_hash_codes(a, 3), clause_hash_codes(b, 2));
    EXPECT_EQ(clause_hash_codes(a, 3), (2u * 2 + 1) + (3u * 3 + 1));
}

TEST(EngineHashIndex, BucketsGrowBeforeTheyFill) {
    SolverOptions options;
    options.hash = true;
    Engine e(40, options);
    std::vector<uint64_t> buckets;
    for (int v = 1; v <= 9; v++) {
        e.add({v, v + 1});
        buckets.push_back(e.s->clause_hash.count);
    }
    EXPECT_EQ(buckets, (std::vector<uint64_t>{1, 2, 4, 8, 8, 8, 8, 16, 16}));
    for (uint64_t b = 0; b < e.s->clause_hash.count; b++)
        for (HashNode *node = e.s->clause_hash.data[b].head; node != nullptr; node = node->next)
            EXPECT_EQ(node->hash & (e.s->clause_hash.count - 1), b);
}

TEST(EngineHashIndex, TurningOnSizesAboveTheLiveCount) {
    Engine e(40);
    for (int v = 1; v <= 4; v++) e.add({v, v + 1});
    e.add({7, 8}, 3);
    ASSERT_EQ(clause_store_set_hash(e.s, true), 0);
    EXPECT_EQ(e.s->clause_hash.count, 8u);
    EXPECT_EQ(e.s->clause_hash_count, 4u);
    ASSERT_EQ(clause_store_set_hash(e.s, false), 0);
    EXPECT_EQ(e.s->clause_hash.count, 0u);
    EXPECT_EQ(e.s->clause_hash_count, 0u);
}

TEST(EngineHashIndex, RewritingMovesTheEntryWithoutCountingIt) {
    SolverOptions options;
    options.hash = true;
    Engine e(10, options);
    Clause *c = e.add({1, 2, 3});
    uint64_t inserted = e.s->clause_hash_count;
    detach(e.s, c);
    uint32_t shorter[] = {Engine::lit(1), Engine::lit(3)};
    clause_rewrite(e.s, c, shorter, 2);
    attach(e.s, c);
    EXPECT_EQ(e.s->clause_hash_count, inserted);
    EXPECT_EQ(clause_size_class(c), 1u);
    EXPECT_EQ(clause_find(e.s, shorter, 2, clause_hash_codes(shorter, 2)), c);
}

TEST(EngineWatches, DetachLeavesNoEntryBehind) {
    Engine e(6);
    Clause *a = e.add({1, 2, 3});
    Clause *b = e.add({1, 4});
    EXPECT_EQ(e.chain_length(1), 2u);
    detach(e.s, a);
    EXPECT_EQ(e.chain_length(1), 1u);
    EXPECT_EQ(e.chain_length(2), 0u);
    EXPECT_EQ(a->watch[0].position, -1);
    detach(e.s, a);  // twice is harmless
    clause_remove(e.s, b);
    EXPECT_EQ(e.chain_length(1), 0u);
    EXPECT_EQ(e.s->clause_count[0], 1);
}

TEST(EngineWatches, AttachPicksTheTwoBestRanks) {
    Engine e(6);
    trail_push(e.s);
    assign(e.s, Engine::lit(-1), val_true, -1, 1);
    trail_push(e.s);
    assign(e.s, Engine::lit(-2), val_true, -1, 2);
    Clause *c = e.add({1, 2, 3, 4});
    EXPECT_EQ(c->watch[0].position, 2);  // unassigned, lowest position first
    EXPECT_EQ(c->watch[1].position, 3);
    Clause *falsified = e.add({1, 2});
    EXPECT_EQ(falsified->watch[0].position, 1);  // level 2 before level 1
    EXPECT_EQ(attach(e.s, e.add({1, -2}, 3)), 1);
}

TEST(EngineTrail, LateFactsEnterLevel0AndShiftTheLevelsAbove) {
    Engine e(6);
    assign(e.s, Engine::lit(1), val_true, -1, 0);
    trail_push(e.s);
    assign(e.s, Engine::lit(2), val_true, -1, 1);
    trail_push(e.s);
    assign(e.s, Engine::lit(3), val_true, -1, 2);
    EXPECT_EQ(clause_assert_unit(e.s, Engine::lit(4)), UnitResult::fixed);
    EXPECT_EQ(clause_assert_unit(e.s, Engine::lit(2)), UnitResult::fixed);
    EXPECT_EQ(clause_assert_unit(e.s, Engine::lit(-3)), UnitResult::falsified);
    const LevelRecord *levels = e.s->levels.data;
    EXPECT_EQ(levels[0].count, 3);
    EXPECT_EQ(levels[1].start, 3);
    EXPECT_EQ(levels[1].count, 0);
    EXPECT_EQ(levels[2].start, 3);
    EXPECT_EQ(levels[2].count, 1);
    std::vector<int32_t> order;
    for (int i = 0; i < 4; i++) order.push_back(e.s->trail.data[i]->index);
    EXPECT_EQ(order, (std::vector<int32_t>{1, 4, 2, 3}));
    EXPECT_EQ(e.s->trail_base, 3u);
    EXPECT_EQ(e.s->late_facts, 2u);
    trail_pop_to(e.s, 0);
    EXPECT_EQ(e.value(4), val_true);
    EXPECT_EQ(e.value(2), val_true);
    EXPECT_EQ(e.value(3), val_unassigned);
    EXPECT_EQ(e.s->trail_base, 0u);
    EXPECT_TRUE(propagation_pass(e.s));
    EXPECT_EQ(e.s->late_facts, 0u);
}

TEST(EngineTrail, BacktrackingDropsUnassignedLiteralsFromTheQueue) {
    SolverOptions options;
    options.queue_type = qtype_fifo;
    Engine e(6, options);
    assign(e.s, Engine::lit(1), val_true, -1, 0);
    trail_push(e.s);
    assign(e.s, Engine::lit(2), val_true, -1, 1);
    assign(e.s, Engine::lit(3), val_false, -1, 1);
    ASSERT_EQ(e.s->queue.count, 3u);
    trail_pop_to(e.s, 0);
    ASSERT_EQ(e.s->queue.count, 1u);
    EXPECT_EQ(e.s->queue.head, e.s->queue.tail);
    EXPECT_EQ(e.s->queue.head->code, Engine::lit(-1));
    EXPECT_FALSE(lit_record(e.s, Engine::lit(-2))->flags & litf_in_queue);
    EXPECT_FALSE(lit_record(e.s, Engine::lit(3))->flags & litf_in_queue);
}

// Every visit counts towards its size class, also one that ends at once
// because the other watch is true; only that one counts as such.
TEST(EnginePropagation, EveryVisitCountsItsSizeClassAndATrueOtherWatchToo) {
    for (int length = 2; length <= 5; length++) {
        for (bool other_true : {false, true}) {
            Engine e(6);
            std::vector<int> lits;
            for (int v = 1; v <= length; v++) lits.push_back(v);
            Clause *c = e.add(lits);
            const int watched = lit_to_int(c->lits[c->watch[0].position]);
            const int other = lit_to_int(c->lits[c->watch[1].position]);
            trail_push(e.s);
            if (other_true) {
                assign(e.s, Engine::lit(other), val_true, -1, 1);
                ASSERT_TRUE(propagation_pass(e.s));
            }
            const uint64_t before[4] = {e.s->clause_2_counter, e.s->clause_3_counter, e.s->clause_n_counter,
                                        e.s->clause_d_counter};
            assign(e.s, Engine::lit(-watched), val_true, -1, 1);
            ASSERT_TRUE(propagation_pass(e.s));
            const uint64_t visits[4] = {e.s->clause_2_counter - before[0], e.s->clause_3_counter - before[1],
                                        e.s->clause_n_counter - before[2], e.s->clause_d_counter - before[3]};
            const int size_counter = length == 2 ? 0 : length == 3 ? 1 : 2;
            for (int k = 0; k < 3; k++)
                EXPECT_EQ(visits[k], k == size_counter ? 1u : 0u) << "length " << length << " other true " << other_true;
            EXPECT_EQ(visits[3], other_true ? 1u : 0u) << "length " << length;
        }
    }
}

TEST(EnginePropagation, CountersArePublishedOncePerDrain) {
    Engine e(8);
    e.add({1, 2});
    e.add({-2, 3, 4});
    e.add({-2, -3, 5, 6});
    trail_push(e.s);
    assign(e.s, Engine::lit(-1), val_true, -1, 1);
    EXPECT_TRUE(propagation_pass(e.s));
    EXPECT_EQ(e.s->clause_2_counter, 1u);
    EXPECT_EQ(e.s->clause_3_counter, 1u);
    EXPECT_EQ(e.s->clause_n_counter, 1u);
    EXPECT_EQ(e.s->max_bound, 2u);
    EXPECT_EQ(e.value(2), val_true);
    EXPECT_EQ(e.s->queue.count, 0u);
}

}  // namespace
