// The caller's marks on the marked list: the first mark of a variable wins,
// and an intersection keeps the hit marks in order while unlisting the rest
// with every mark bit cleared.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/mark_sets.h"
#include "core/marks.h"
#include "core/state.h"
#include "core/variables.h"

namespace {

using namespace mirl;

struct MarkFixture : ::testing::Test {
    std::unique_ptr<SolverState> owned{new SolverState};
    SolverState *s = owned.get();

    void SetUp() override {
        std::memset(static_cast<void *>(s), 0, sizeof(SolverState));
        ASSERT_EQ(solver_state_init(s, SolverOptions{}), 0);
        uint32_t first;
        ASSERT_EQ(variables_create(s, 6, false, true, &first), CreateResult::ok);
    }
    void TearDown() override { solver_state_destroy(s); }

    std::vector<int32_t> listed() {
        std::vector<int32_t> out;
        for (Variable *v = s->marked_list.head; v != nullptr; v = v->mark_next) out.push_back(marked_literal_int(v));
        return out;
    }
};

TEST_F(MarkFixture, TheFirstMarkOfAVariableKeepsItsPolarity) {
    mark_literal(s, 2 * 3 + 1);
    mark_literal(s, 2 * 3);
    mark_literal(s, 2 * 1);
    EXPECT_EQ(listed(), (std::vector<int32_t>{-3, 1}));
    EXPECT_EQ(s->marked_list.count, 2u);
    EXPECT_TRUE(mark_hit(s, 2 * 3 + 1));
    EXPECT_FALSE(mark_hit(s, 2 * 3));
    EXPECT_TRUE(mark_on_variable(s, 2 * 3));
}

TEST_F(MarkFixture, AnIntersectionKeepsHitMarksInOrderAndClearsTheRest) {
    for (uint32_t code : {2u * 4, 2u * 2 + 1, 2u * 5, 2u * 1})
        mark_literal(s, code);
    mark_flag_hit(s, 2 * 1);
    mark_flag_hit(s, 2 * 5 + 1);  // other polarity: no hit
    mark_flag_hit(s, 2 * 4);
    mark_flag_hit(s, 2 * 6);  // unmarked: nothing
    marks_keep_flagged(s);
    EXPECT_EQ(listed(), (std::vector<int32_t>{4, 1}));
    EXPECT_EQ(s->marked_list.count, 2u);
    EXPECT_EQ(*s->marked_list.tail, nullptr);
    for (uint32_t v = 1; v <= 6; v++) {
        const uint32_t flags = var_record(s, v)->flags;
        const bool kept = v == 4 || v == 1;
        EXPECT_EQ((flags & varf_mark_mask) != 0, kept) << v;
        EXPECT_FALSE(flags & varf_mark_both) << v;
    }
    // The list takes new marks at its tail afterwards.
    mark_literal(s, 2 * 2);
    EXPECT_EQ(listed(), (std::vector<int32_t>{4, 1, 2}));
}

TEST_F(MarkFixture, ClearingAfterAnIntersectionLeavesNoBits) {
    mark_literal(s, 2 * 2);
    mark_literal(s, 2 * 3);
    mark_flag_hit(s, 2 * 3);
    marks_keep_flagged(s);
    marks_clear(s);
    EXPECT_TRUE(listed().empty());
    for (uint32_t v = 1; v <= 6; v++) EXPECT_EQ(var_record(s, v)->flags & varf_mark_mask, 0u) << v;
}

}  // namespace
