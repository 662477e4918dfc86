// The decision order list: links and keys after every primitive, the
// cursor rules, renumbering when midpoints run out, variables a bump must
// not move, the order sort's handling of fixed variables, and random runs
// of every list operation against a plain vector model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
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

// Random runs of bumps (plain counts, `next`, `log2`), insertions, pushes,
// links at either end, sorts, clears and new variables, with variables
// bound and freed in between. After every step the list must be the
// model's, read both ways, and the link table must mirror it, skips
// included while they are kept.
TEST_F(OrderList, RandomOperationsMatchAPlainListModel) {
    std::mt19937 rng(20261209);
    auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    for (int run = 0; run < 6; run++) {
        make(3 + below(40));
        std::vector<int> model = order();
        auto where = [&](int i) {
            return static_cast<int64_t>(std::find(model.begin(), model.end(), i) - model.begin());
        };
        auto listed = [&](int i) { return where(i) < static_cast<int64_t>(model.size()); };
        auto move_to = [&](int i, int64_t position) {
            model.erase(model.begin() + where(i));
            model.insert(model.begin() + position, i);
        };
        auto any_listed = [&]() { return model[below(static_cast<uint32_t>(model.size()))]; };
        int kept = 0;  // steps that ended with the skips kept
        for (int step = 0; step < 3000; step++) {
            const uint32_t n = static_cast<uint32_t>(s->variables.count) - 1;
            const int i = static_cast<int>(1 + below(n));
            Variable *v = var(static_cast<uint32_t>(i));
            const uint32_t op = below(100);
            if (op < 55) {
                static const int32_t rules[] = {1, 2, 3, 7, 32, 40, 78, bump_next, bump_log2};
                int32_t d = below(3) == 0 ? static_cast<int32_t>(below(n + 3)) : rules[below(9)];
                const int64_t x = n;
                int64_t places = d == bump_next ? x : d == bump_log2 ? static_cast<int64_t>(std::log2(x)) : d;
                const bool movable = listed(i) && !(v->level == 0 && !var_unassigned(s, v)) && places > 0;
                if (movable && places < x) {
                    move_to(i, std::max<int64_t>(0, where(i) - places));
                } else if (movable && s->decision_cursor == nullptr) {
                    move_to(i, 0);
                } else if (movable && s->decision_cursor != v) {
                    int64_t at = where(s->decision_cursor->index);
                    move_to(i, at > where(i) ? at - 1 : at);
                }
                order_bump(s, v, d);
            } else if (op < 65 && !model.empty()) {
                int a = any_listed();
                if (listed(i) && a != i) {
                    order_unlink(s, v);
                    order_insert_before(s, v, var(static_cast<uint32_t>(a)));
                    move_to(i, where(a) > where(i) ? where(a) - 1 : where(a));
                }
            } else if (op < 70 && listed(i)) {
                order_unlink(s, v);
                order_push_front(s, v);
                move_to(i, 0);
            } else if (op < 76 && listed(i)) {
                // As order_first and order_last do it, at level 0.
                bool front = below(2) == 0;
                order_unlink(s, v);
                if (front) {
                    order_link_head(s, v);
                    move_to(i, 0);
                } else {
                    order_link_tail(s, v);
                    move_to(i, static_cast<int64_t>(model.size()) - 1);
                }
                order_renumber(s);
                cursor_reset(s);
            } else if (op < 90) {
                // Bind at level 1, fix at level 0, or free again.
                uint32_t choice = below(4);
                if (choice == 0 && !var_unassigned(s, v)) {
                    s->value_table.data[2 * i] = val_unassigned;
                    s->value_table.data[2 * i + 1] = val_unassigned;
                    v->level = -1;
                    if (listed(i)) cursor_offer(s, v);
                } else if (var_unassigned(s, v)) {
                    fix(static_cast<uint32_t>(i), choice == 1 ? 0 : 1);
                }
            } else if (op < 94) {
                uint32_t first;
                uint32_t more = 1 + below(3);
                ASSERT_EQ(variables_create(s, more, false, true, &first), CreateResult::ok);
                for (uint32_t k = 0; k < more; k++) model.push_back(static_cast<int>(first + k));
            } else if (op < 97) {
                ASSERT_EQ(order_sort(s, SortKey{SortKind::identity, false}, SortKey{}, 0), 0);
                model.clear();
                for (uint32_t k = 1; k <= n; k++)
                    if (var_unassigned(s, var(k))) model.push_back(static_cast<int>(k));
            } else {
                // As an order sort rebuilds it, in a random order.
                order_clear(s);
                std::shuffle(model.begin(), model.end(), rng);
                for (int k : model) order_link_tail(s, var(static_cast<uint32_t>(k)));
                order_renumber(s);
                cursor_reset(s);
            }
            ASSERT_EQ(order(), model) << "run " << run << " step " << step;
            const int64_t size = static_cast<int64_t>(model.size());
            auto at_or_0 = [&](int64_t position) { return position >= 0 && position < size ? model[position] : 0; };
            kept += s->order_links.stale == 0;
            for (uint32_t k = 0; k < s->variables.count; k++) {
                const OrderLink &link = s->order_links.data[k];
                int64_t at = where(static_cast<int>(k));
                if (at == size) at = -size - 2;  // unlisted: every link 0
                ASSERT_EQ(link.prev, at_or_0(at - 1)) << "variable " << k << ", step " << step;
                ASSERT_EQ(link.next, at_or_0(at + 1)) << "variable " << k << ", step " << step;
                if (s->order_links.stale == 0 && at >= 0) {
                    ASSERT_EQ(link.skip, at_or_0(at - order_skip_span)) << "variable " << k << ", step " << step;
                }
            }
        }
        EXPECT_GT(kept, 300);  // long bumps after short ones rebuilt the skips
    }
}

}  // namespace
