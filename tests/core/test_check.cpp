// The consistency checker: a sound state built through the core passes, and
// each kind of disagreement planted by hand is reported by the check that
// covers it. Skipped in builds without MIRL_CHECKS.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/check.h"
#include "core/clauses.h"
#include "core/marks.h"
#include "core/propagate.h"
#include "core/state.h"
#include "core/subst.h"
#include "core/trail.h"
#include "core/variables.h"
#include "state_fixture.h"

namespace {

using namespace mirl;

struct Checked : ::testing::Test {
    std::unique_ptr<mirl_test::StateFixture> state;
    SolverState *s = nullptr;

    void SetUp() override {
        if (!state_checks_compiled) GTEST_SKIP() << "built without MIRL_CHECKS";
        SolverOptions options;
        options.xref = true;
        options.hash = true;
        state = std::make_unique<mirl_test::StateFixture>(6, options);
        s = state->s;
        add({1, 2});
        add({-1, 3, 4});
        add({2, -5, 6});
        trail_push(s);
        record_and_assign(s, lit(-1), val_true);
        ASSERT_TRUE(propagation_pass(s));
    }
    static uint32_t lit(int v) { return mirl_test::StateFixture::lit(v); }
    Clause *add(const std::vector<int> &lits) { return state->add(lits); }

    std::string violation() {
        std::string text;
        return check_state(s, &text) ? std::string("consistent") : text;
    }
};

TEST_F(Checked, ASoundStateIsConsistent) {
    EXPECT_EQ(violation(), "consistent");
    // -1 at level 1 implied 2 through [1, 2].
    EXPECT_EQ(lit_value(s, lit(2)), val_true);
}

TEST_F(Checked, TrailBaseOffByOne) {
    s->trail_base++;
    EXPECT_NE(violation().find("trail_base"), std::string::npos);
}

TEST_F(Checked, AssignedVariableMissingFromTheTrail) {
    s->value_table.data[lit(6)] = val_true;
    s->value_table.data[lit(-6)] = val_false;
    EXPECT_NE(violation().find("not on the trail"), std::string::npos);
}

TEST_F(Checked, WatchSlotLeftOffItsChain) {
    Clause *c = clause_lookup(s, 1);
    Literal *l = lit_record(s, c->lits[c->watch[0].position]);
    ASSERT_EQ(l->watches, &c->watch[0]);
    l->watches = c->watch[0].link;
    EXPECT_NE(violation().find("chains"), std::string::npos);
}

TEST_F(Checked, QueueBitWithoutAQueueEntry) {
    lit_record(s, lit(4))->flags |= litf_in_queue;
    EXPECT_NE(violation().find("queue bit"), std::string::npos);
}

TEST_F(Checked, MarkWithoutTheMarkedList) {
    var_record(s, 3)->flags |= varf_mark_seen;
    EXPECT_NE(violation().find("not listed"), std::string::npos);
    var_record(s, 3)->flags &= ~varf_mark_seen;
    mark_append(s, var_record(s, 3));
    var_record(s, 3)->flags |= varf_mark_seen | varf_mark_both;
    EXPECT_NE(violation().find("transient"), std::string::npos);
}

TEST_F(Checked, UnboundEligibleVariableBeforeTheCursor) {
    s->decision_cursor = var_record(s, 5);
    EXPECT_NE(violation().find("precedes the decision cursor"), std::string::npos);
}

TEST_F(Checked, OrderKeysOutOfOrder) {
    var_record(s, 4)->order_key = var_record(s, 2)->order_key;
    EXPECT_NE(violation().find("ascend"), std::string::npos);
}

TEST_F(Checked, OrderLinkTableOutOfStep) {
    OrderLink &link = s->order_links.data[3];
    link.prev = 1;
    EXPECT_NE(violation().find("predecessor"), std::string::npos);
    link.prev = 2;
    ASSERT_EQ(violation(), "consistent");
    ASSERT_EQ(s->order_links.stale, 0u);
    link.skip = 1;  // fewer than a span precede variable 3
    EXPECT_NE(violation().find("skip"), std::string::npos);
    s->order_links.stale = 1;  // stale skips are not read
    EXPECT_EQ(violation(), "consistent");
}

TEST_F(Checked, OccurrenceListMissingAClause) {
    OccurrenceList *list = occurrences_of(s, lit(3));
    ASSERT_EQ(list->count, 1u);
    list->count = 0;
    EXPECT_NE(violation().find("listed for 2 of its 3"), std::string::npos);
}

TEST_F(Checked, HashIndexEntryWithAStaleHash) {
    Clause *c = clause_lookup(s, 2);
    c->hash += 1;
    EXPECT_NE(violation().find("stale hash"), std::string::npos);
    c->hash -= 1;
    EXPECT_EQ(violation(), "consistent");
}

TEST_F(Checked, LevelAboveTheCurrentOneStillHoldingEntries) {
    trail_pop_one(s);
    EXPECT_NE(violation().find("above the current level"), std::string::npos);
}

TEST_F(Checked, LegalSequencesThatLeaveUnusualStatesPass) {
    // Two substitutions into one clause leave `false` twice; its dead
    // sibling keeps `true` twice.
    trail_pop_to(s, 0);
    Clause *both = add({3, 4, 5, 6});
    Clause *dead = add({-3, 4, 5});
    ASSERT_EQ(subst_literals(s, lit(3), lit(4)), subst_holds);
    ASSERT_EQ(subst_literals(s, lit(3), lit(5)), subst_holds);
    EXPECT_EQ(both->lits[1], lit_false);
    EXPECT_EQ(both->lits[2], lit_false);
    EXPECT_EQ(dead->lits[1], lit_true);
    EXPECT_EQ(dead->lits[2], lit_true);
    EXPECT_EQ(violation(), "consistent");
    // The conflicts of a pass stay readable under a limit lowered after it.
    s->conflicting_count = 2;
    s->max_conflicting = 1;
    EXPECT_EQ(violation(), "consistent");
    s->conflicting_count = conflict_slots + 1;
    EXPECT_NE(violation().find("conflict count"), std::string::npos);
}

TEST_F(Checked, ClauseAtWorkHoldingASubstitutedLiteral) {
    trail_pop_to(s, 0);
    ASSERT_EQ(subst_literals(s, lit(3), lit(4)), subst_holds);
    clause_lookup(s, 1)->lits[2] = lit(4);  // [-1, 3, false] back to [-1, 3, 4] by hand
    clause_lookup(s, 1)->hash = clause_hash_codes(clause_lookup(s, 1)->lits, 3);
    EXPECT_NE(violation().find("substituted variable"), std::string::npos);
}

}  // namespace
