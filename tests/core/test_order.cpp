// The decision order list: links and keys after every primitive, the
// cursor rules, renumbering when midpoints run out, variables a bump must
// not move, and the order sort's handling of fixed variables.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/order.h"
#include "core/sort.h"
#include "core/state.h"
#include "core/variables.h"
#include "state_fixture.h"

namespace {

using namespace mirl;

class OrderList : public ::testing::Test {
  protected:
    void make(uint32_t n, bool used = true) {
        SolverOptions options;
        options.seed = 7;
        state = std::make_unique<mirl_test::StateFixture>(options);
        s = state->s;
        uint32_t first;
        ASSERT_EQ(variables_create(s, n, false, used, &first), CreateResult::ok);
    }

    Variable *var(uint32_t i) { return var_record(s, i); }
    void fix(uint32_t i, int32_t level) {
        s->value_table.data[2 * i] = val_true;
        s->value_table.data[2 * i + 1] = val_false;
        var(i)->level = level;
    }

    // The indexes from head to tail; checks the links both ways, the count
    // and that the keys ascend strictly.
    std::vector<int> order() {
        std::vector<int> out;
        Variable *prev = nullptr;
        for (Variable *v = s->order_list.head; v != nullptr; v = v->next) {
            EXPECT_EQ(v->prev, prev);
            if (prev != nullptr) {
                EXPECT_LT(prev->order_key, v->order_key);
            }
            out.push_back(v->index);
            prev = v;
        }
        EXPECT_EQ(s->order_list.tail, prev);
        EXPECT_EQ(s->order_list.count, out.size());
        return out;
    }
    int cursor() { return s->decision_cursor != nullptr ? s->decision_cursor->index : 0; }

    std::unique_ptr<mirl_test::StateFixture> state;
    SolverState *s = nullptr;
};

TEST_F(OrderList, CreationAppendsWithKeysOneStepApart) {
    make(4);
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(var(1)->order_key, 0.0);
    EXPECT_DOUBLE_EQ(var(4)->order_key, 0.30000000000000004);
    EXPECT_EQ(cursor(), 1);
}

TEST_F(OrderList, UnlinkingTheCursorMovesItToTheSuccessor) {
    make(4);
    s->decision_cursor = var(2);
    order_unlink(s, var(2));
    EXPECT_EQ(order(), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(cursor(), 3);
    EXPECT_FALSE(order_contains(s, var(2)));
}

TEST_F(OrderList, UnlinkingTheCursorAtTheTailFallsBackAndSaysSo) {
    make(4);
    s->decision_cursor = var(4);
    testing::internal::CaptureStdout();
    order_unlink(s, var(4));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "set top = 3\r\n");
    EXPECT_EQ(cursor(), 3);
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));
}

TEST_F(OrderList, UnlinkingTheOnlyRecordUnderTheCursorLeavesNoCursor) {
    make(1);
    testing::internal::CaptureStdout();
    order_unlink(s, var(1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(s->decision_cursor, nullptr);
    EXPECT_EQ(order(), std::vector<int>{});
    order_push_front(s, var(1));
    EXPECT_EQ(order(), std::vector<int>{1});
    EXPECT_EQ(cursor(), 1);
}

TEST_F(OrderList, PushFrontTakesAKeyOneStepBelowTheHead) {
    make(3);
    order_unlink(s, var(3));
    order_push_front(s, var(3));
    EXPECT_EQ(order(), (std::vector<int>{3, 1, 2}));
    EXPECT_DOUBLE_EQ(var(3)->order_key, -0.1);
    EXPECT_EQ(cursor(), 3);
}

TEST_F(OrderList, InsertionTakesTheMidpointKey) {
    make(3);
    order_unlink(s, var(3));
    order_insert_before(s, var(3), var(2));
    EXPECT_EQ(order(), (std::vector<int>{1, 3, 2}));
    EXPECT_DOUBLE_EQ(var(3)->order_key, 0.05);
}

TEST_F(OrderList, InsertionRenumbersOnceTheMidpointsRunOut) {
    make(3);
    // Each insertion halves the gap between variable 1 and the anchor.
    Variable *anchor = var(2);
    for (int round = 0; round < 120; round++) {
        Variable *v = round % 2 == 0 ? var(3) : var(2);
        Variable *other = round % 2 == 0 ? var(2) : var(3);
        ASSERT_EQ(anchor, other);
        order_unlink(s, v);
        order_insert_before(s, v, anchor);
        anchor = v;
        order();
    }
    // After a renumbering the keys are k / (count + 1).
    bool renumbered = false;
    for (Variable *v = s->order_list.head; v != nullptr; v = v->next)
        if (v->order_key > 0.2) renumbered = true;
    EXPECT_TRUE(renumbered);
}

TEST_F(OrderList, RunOutMidpointsRelabelOnlyTheNeighbourhood) {
    // Bumps to the front land before the cursor one after the other: 1000
    // moves of the variable behind the anchor to just before it, against a
    // model of the list, keep the order right and the keys ascending, and
    // leave the keys far from the anchor as they were.
    make(3000);
    std::vector<int> model = order();
    Variable *anchor = var(1500);
    double head_key = s->order_list.head->order_key;
    double tail_key = s->order_list.tail->order_key;
    for (int round = 0; round < 1000; round++) {
        Variable *v = anchor->next;
        auto at = std::find(model.begin(), model.end(), v->index);
        model.erase(at);
        model.insert(std::find(model.begin(), model.end(), anchor->index), v->index);
        order_unlink(s, v);
        order_insert_before(s, v, anchor);
        ASSERT_EQ(order(), model);
    }
    EXPECT_DOUBLE_EQ(s->order_list.head->order_key, head_key);
    EXPECT_DOUBLE_EQ(s->order_list.tail->order_key, tail_key);
}

TEST_F(OrderList, RenumberGivesEvenlySpacedKeys) {
    make(3);
    order_renumber(s);
    EXPECT_DOUBLE_EQ(var(1)->order_key, 0.25);
    EXPECT_DOUBLE_EQ(var(2)->order_key, 0.5);
    EXPECT_DOUBLE_EQ(var(3)->order_key, 0.75);
}

TEST_F(OrderList, BumpLeavesFixedUnlistedOrUnbumpableVariablesAlone) {
    make(4);
    std::vector<int> start = {1, 2, 3, 4};
    fix(4, 0);
    order_bump(s, var(4), bump_next);
    EXPECT_EQ(order(), start);
    order_bump(s, var(3), 0);
    order_bump(s, var(3), bump_rank);  // no implication clause
    order_bump(s, var(3), -9);
    EXPECT_EQ(order(), start);
    order_bump(s, &s->constant_variable, bump_next);
    EXPECT_EQ(order(), start);
    s->options.vsids = false;
    order_bump(s, var(3), 1);
    EXPECT_EQ(order(), start);
}

TEST_F(OrderList, BumpingTheCursorForwardKeepsTheInvariant) {
    make(4);
    s->decision_cursor = var(3);
    fix(1, 1);
    fix(2, 1);
    order_bump(s, var(3), 1);
    EXPECT_EQ(order(), (std::vector<int>{1, 3, 2, 4}));
    EXPECT_EQ(cursor(), 3);
}

TEST_F(OrderList, SortDropsFixedVariablesForGood) {
    make(5);
    fix(2, 0);
    ASSERT_EQ(order_sort(s, SortKey{SortKind::identity, true}, SortKey{}, 0), 0);
    EXPECT_EQ(order(), (std::vector<int>{5, 4, 3, 1}));
    EXPECT_FALSE(order_contains(s, var(2)));
    order_bump(s, var(2), bump_next);
    EXPECT_EQ(order(), (std::vector<int>{5, 4, 3, 1}));
    EXPECT_DOUBLE_EQ(var(5)->order_key, 0.2);
    EXPECT_EQ(cursor(), 5);
}

}  // namespace
