// Clause-set walks and the stamp sort: order, trimming, and the renumbering
// of clause ids in the occurrence lists and the hash index.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "core/clauses.h"
#include "core/clausesets.h"
#include "core/propagate.h"
#include "core/state.h"
#include "core/variables.h"

namespace {

using namespace mirl;

struct ClauseSetFixture : ::testing::Test {
    std::unique_ptr<SolverState> owned{new SolverState};
    SolverState *s = owned.get();

    void SetUp() override {
        std::memset(static_cast<void *>(s), 0, sizeof(SolverState));
        SolverOptions options;
        options.xref = true;
        options.hash = true;
        ASSERT_EQ(solver_state_init(s, options), 0);
        uint32_t first;
        ASSERT_EQ(variables_create(s, 8, false, true, &first), CreateResult::ok);
    }
    void TearDown() override { solver_state_destroy(s); }

    Clause *add(std::initializer_list<uint32_t> codes, uint32_t set, uint64_t stamp) {
        Clause *c = clause_alloc(static_cast<uint32_t>(codes.size()));
        std::copy(codes.begin(), codes.end(), c->lits);
        c->hash = clause_hash_codes(c->lits, c->length);
        EXPECT_EQ(clause_register(s, c, set), 0);
        EXPECT_EQ(occurrences_add_clause(s, c), 0);
        attach(s, c);
        c->stamp = stamp;
        return c;
    }

    void remove(Clause *c) {
        detach(s, c);
        occurrences_remove_clause(s, c);
        clause_delete(s, c);
    }

    std::vector<uint32_t> occurrences(uint32_t code) {
        const OccurrenceList *list = lit_record(s, code)->occurrences;
        return std::vector<uint32_t>(list->data, list->data + list->count);
    }
};

TEST_F(ClauseSetFixture, WalksStartAtTheOffsetAndSkipEmptyPositions) {
    add({2, 4}, 1, 0);
    Clause *gone = add({6, 8}, 1, 0);
    add({10, 12}, 1, 0);
    remove(gone);
    EXPECT_EQ(clauseset_first(s, 1), clause_ref(1, 0));
    EXPECT_EQ(clauseset_next(s, clause_ref(1, 0)), clause_ref(1, 2));
    EXPECT_EQ(clauseset_next(s, clause_ref(1, 2)), clause_no_ref);
    s->set_offset[1] = 1;
    EXPECT_EQ(clauseset_first(s, 1), clause_ref(1, 2));
    EXPECT_EQ(clauseset_first(s, 0), clause_no_ref);
    EXPECT_EQ(clauseset_next(s, clause_ref(0, 0x3fffffff)), clause_no_ref);
}

TEST_F(ClauseSetFixture, SortingOrdersByStampAndRenumbersEverywhere) {
    Clause *old = add({2, 4}, 2, 1);
    Clause *gone = add({2, 6}, 2, 9);
    Clause *newest = add({3, 8}, 2, 7);
    Clause *middle = add({2, 10}, 2, 4);
    Clause *elsewhere = add({2, 12}, 0, 0);
    remove(gone);
    ASSERT_EQ(clauseset_sort(s, 2), 0);

    ASSERT_EQ(s->clause_lists[2].count, 3u);
    EXPECT_EQ(s->clause_lists[2].data[0], newest);
    EXPECT_EQ(s->clause_lists[2].data[1], middle);
    EXPECT_EQ(s->clause_lists[2].data[2], old);
    EXPECT_EQ(newest->id, clause_ref(2, 0));
    EXPECT_EQ(middle->id, clause_ref(2, 1));
    EXPECT_EQ(old->id, clause_ref(2, 2));
    EXPECT_EQ(elsewhere->id, clause_ref(0, 0));
    EXPECT_EQ(s->clause_count[2], 3);

    EXPECT_EQ(occurrences(2), (std::vector<uint32_t>{clause_ref(0, 0), clause_ref(2, 1), clause_ref(2, 2)}));
    EXPECT_EQ(occurrences(3), (std::vector<uint32_t>{clause_ref(2, 0)}));
    for (Clause *c : {old, newest, middle, elsewhere})
        EXPECT_EQ(clause_find(s, c->lits, c->length, c->hash), c);
}

TEST_F(ClauseSetFixture, SortingAnEmptySetChangesNothing) {
    EXPECT_EQ(clauseset_sort(s, 3), 0);
    EXPECT_EQ(s->clause_lists[3].count, 0u);
}

}  // namespace
