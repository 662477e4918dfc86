// Substitution in the core: the clause rewrite (literals, hashes, occurrence
// lists, watches, dead flags), the counters, the event hook, and the
// level-0 contradiction the rewrite can uncover.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "core/clauses.h"
#include "core/propagate.h"
#include "core/state.h"
#include "core/subst.h"
#include "core/variables.h"
#include "state_fixture.h"

namespace {

using namespace mirl;

constexpr uint32_t pos(uint32_t v) { return 2 * v; }
constexpr uint32_t neg(uint32_t v) { return 2 * v + 1; }

struct SubstFixture : ::testing::Test {
    static SolverOptions with_xref_and_hash() {
        SolverOptions options;
        options.xref = true;
        options.hash = true;
        return options;
    }
    mirl_test::StateFixture state{6, with_xref_and_hash()};
    SolverState *s = state.s;

    Clause *add(std::initializer_list<uint32_t> codes) { return state.add_codes(codes); }

    std::vector<uint32_t> literals(const Clause *c) { return std::vector<uint32_t>(c->lits, c->lits + c->length); }
};

TEST_F(SubstFixture, ClauseHashesFollowTheRewrite) {
    Clause *both = add({pos(1), pos(2)});
    Clause *moved = add({pos(2), pos(3)});
    Clause *opposite = add({neg(1), pos(2), pos(4)});
    const uint32_t opposite_hash = opposite->hash;
    ASSERT_EQ(subst_literals(s, pos(1), pos(2)), subst_holds);

    EXPECT_EQ(literals(both), (std::vector<uint32_t>{pos(1), lit_false}));
    EXPECT_EQ(both->hash, 2u);
    EXPECT_EQ(literals(moved), (std::vector<uint32_t>{pos(1), pos(3)}));
    EXPECT_EQ(moved->hash, clause_hash_codes(moved->lits, moved->length));
    // The satisfied clause loses the eliminated variable's whole term.
    EXPECT_EQ(literals(opposite), (std::vector<uint32_t>{neg(1), lit_true, pos(4)}));
    EXPECT_EQ(opposite->hash, opposite_hash - 5u);
    EXPECT_TRUE(opposite->flags & clf_dead);
    EXPECT_EQ(s->dead_count[0], 1);

    const uint32_t lookup[] = {pos(3), pos(1)};
    EXPECT_EQ(clause_find(s, lookup, 2, clause_hash_codes(lookup, 2)), moved);
}

struct HookLog {
    static std::vector<std::vector<uint32_t>> calls;
    static void record(SolverState *, EventKind kind, uint32_t subject, uint32_t other) {
        calls.push_back({static_cast<uint32_t>(kind), subject, other});
    }
};
std::vector<std::vector<uint32_t>> HookLog::calls;

TEST_F(SubstFixture, SubscribersHearOfEliminationsOnly) {
    HookLog::calls.clear();
    s->event_hook = HookLog::record;
    ASSERT_EQ(subst_literals(s, pos(1), pos(2)), subst_holds);
    EXPECT_TRUE(HookLog::calls.empty());  // nobody subscribed

    s->subscribers.count = 1;  // the hook only looks at the count
    ASSERT_EQ(subst_literals(s, neg(3), pos(4)), subst_holds);
    assign(s, pos(5), val_true, -1, 0);
    ASSERT_EQ(subst_literals(s, pos(6), pos(5)), subst_holds);  // assigns 6 instead
    s->subscribers.count = 0;
    ASSERT_EQ(HookLog::calls.size(), 1u);
    EXPECT_EQ(HookLog::calls[0], (std::vector<uint32_t>{static_cast<uint32_t>(EventKind::substituted), neg(3), pos(4)}));
    EXPECT_EQ(lit_value(s, pos(6)), val_true);
}

TEST_F(SubstFixture, AnUncoveredContradictionNeverGivesALiteralTwoValues) {
    add({pos(1), pos(2)});
    Clause *other = add({neg(1), neg(2)});
    ASSERT_EQ(subst_literals(s, pos(1), pos(2)), subst_holds);
    EXPECT_EQ(lit_value(s, pos(1)), val_true);
    EXPECT_EQ(lit_value(s, neg(1)), val_false);
    EXPECT_EQ(s->levels.data[0].count, 1);  // variable 1 is on the trail once
    // The falsified clause is watched on a queued false literal.
    ASSERT_GE(other->watch[0].position, 0);
    EXPECT_TRUE(lit_record(s, other->lits[other->watch[0].position])->flags & litf_in_queue);
    EXPECT_FALSE(propagation_pass(s));
}

TEST_F(SubstFixture, TheReplacementIsImpliedWhenItIsTheOnlyFreeLiteral) {
    assign(s, neg(4), val_true, -1, 0);
    Clause *c = add({pos(2), pos(1), pos(4)});
    ASSERT_EQ(subst_literals(s, pos(1), pos(2)), subst_holds);
    EXPECT_EQ(lit_value(s, pos(1)), val_true);
    EXPECT_EQ(var_record(s, 1)->reason, static_cast<int32_t>(c->id));
}

TEST_F(SubstFixture, AClauseUnitOnAnotherLiteralImpliesThatLiteral) {
    // (1 or 2) makes 1 true once 2 stands for 1; (-1 or -2 or 3) then has
    // -1 false and only 3 free, so 3 is implied rather than -1 bound.
    add({pos(1), pos(2)});
    Clause *c = add({neg(1), neg(2), pos(3)});
    ASSERT_EQ(subst_literals(s, pos(1), pos(2)), subst_holds);
    EXPECT_EQ(lit_value(s, pos(1)), val_true);
    EXPECT_EQ(lit_value(s, pos(3)), val_true);
    EXPECT_EQ(var_record(s, 3)->reason, static_cast<int32_t>(c->id));
    EXPECT_TRUE(propagation_pass(s));
}

}  // namespace
