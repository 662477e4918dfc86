// Solver state creation, variable creation, the generator keying, the
// memory figure and teardown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include "core/clauses.h"
#include "core/state.h"
#include "core/variables.h"
#include "state_fixture.h"

namespace {

using namespace mirl;

using mirl_test::StateFixture;

SolverOptions with_size(uint64_t size) {
    SolverOptions o;
    o.size = size;
    return o;
}

SolverOptions with_seed(uint64_t seed) {
    SolverOptions o;
    o.seed = seed;
    return o;
}

std::vector<uint8_t> draw(SolverState *s, int n) {
    std::vector<uint8_t> out;
    for (int k = 0; k < n; k++) out.push_back(rng_byte(s));
    return out;
}

TEST(StateInit, HoldsTheCreationValues) {
    StateFixture f;
    SolverState *s = f.s;
    ASSERT_EQ(f.init_result, 0);
    EXPECT_EQ(s->variables.count, 1u);
    EXPECT_EQ(s->variables.capacity, 1024u);
    EXPECT_EQ(s->variables.data[0], &s->constant_variable);
    EXPECT_EQ(s->trail.capacity, 1024u);
    EXPECT_EQ(s->trail.count, 0u);
    EXPECT_GE(s->mark_table.capacity, 2048u);
    EXPECT_GE(s->value_table.capacity, 2048u);
    EXPECT_EQ(s->value_table.data[lit_true], val_true);
    EXPECT_EQ(s->value_table.data[lit_false], val_false);
    EXPECT_EQ(s->levels.count, 8u);
    for (int k = 0; k < 8; k++) {
        const LevelRecord &r = s->levels.data[k];
        EXPECT_EQ(r.decision, 1);
        EXPECT_EQ(r.state, 0);
        EXPECT_EQ(r.start, 0);
        EXPECT_EQ(r.count, 0);
    }
    EXPECT_EQ(s->level, 0);
    EXPECT_EQ(s->max_level, 0);
    EXPECT_EQ(s->min_level, 2147483647);
    EXPECT_EQ(s->max_conflicting, 1024);
    EXPECT_EQ(s->symbol_buckets.count, 8u);
    EXPECT_EQ(s->symbol_count, 0u);
    EXPECT_EQ(s->clause_hash.capacity, 8u);
    EXPECT_EQ(s->clause_hash.count, 0u);
    EXPECT_EQ(s->clause_lists[0].capacity, 1024u);
    for (int set = 1; set < 4; set++) EXPECT_EQ(s->clause_lists[set].data, nullptr);
    EXPECT_EQ(s->phase_bits, 8);
    EXPECT_EQ(s->marked_list.tail, &s->marked_list.head);
    EXPECT_EQ(s->order_list.count, 0u);
    EXPECT_EQ(s->decision_cursor, nullptr);
    EXPECT_EQ(s->list_pool.item_size, 32u);
    EXPECT_EQ(s->variable_pool.item_size, sizeof(Variable));
    EXPECT_EQ(s->symbol_pool.item_size, 80u);
    EXPECT_EQ(s->subscription_pool.item_size, 64u);
    EXPECT_EQ(s->hash_node_pool.item_size, 16u);
}

TEST(StateInit, ZeroSizeIsTakenAsOne) {
    StateFixture f(with_size(0));
    ASSERT_EQ(f.init_result, 0);
    EXPECT_EQ(f.s->variables.capacity, 1u);
    uint32_t first = 0;
    ASSERT_EQ(variables_create(f.s, 1, false, false, &first), CreateResult::ok);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(f.s->variables.capacity, 2u);
}

TEST(StateVariables, SizeTwoGrowsEveryTableTogether) {
    StateFixture f(with_size(2));
    SolverState *s = f.s;
    EXPECT_EQ(s->variables.capacity, 2u);
    EXPECT_EQ(s->trail.capacity, 2u);
    uint32_t first = 0;
    ASSERT_EQ(variables_create(s, 1, false, false, &first), CreateResult::ok);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(s->variables.capacity, 2u);  // variable 0 and one more fit
    ASSERT_EQ(variables_create(s, 1, false, false, &first), CreateResult::ok);
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(s->variables.capacity, 4u);
    EXPECT_EQ(s->trail.capacity, 4u);
    EXPECT_EQ(s->mark_table.capacity, 8u);
    EXPECT_EQ(s->value_table.capacity, 8u);
    for (uint32_t code = 2; code < 8; code++) EXPECT_EQ(s->mark_table.data[code], 0) << code;
    for (uint32_t code = 2; code < 6; code++) EXPECT_EQ(s->value_table.data[code], 0) << code;
    EXPECT_EQ(s->value_table.data[0], val_true);
    EXPECT_EQ(s->value_table.data[1], val_false);
}

TEST(StateVariables, PerLiteralTablesAppearOnFirstUseAndGrowWithTheVariables) {
    SolverOptions o = with_size(2);
    o.xref = true;
    StateFixture f(o);
    SolverState *s = f.s;
    uint32_t first = 0;
    ASSERT_EQ(variables_create(s, 1, false, true, &first), CreateResult::ok);
    EXPECT_EQ(s->occurrence_table.data, nullptr);  // nothing listed yet
    EXPECT_EQ(s->symbol_table.data, nullptr);
    const uint32_t early = f.add({1, -1})->id;  // kept as it is: add() does not normalise
    EXPECT_EQ(s->occurrence_table.count, 2 * s->variables.capacity);
    ASSERT_EQ(variables_create(s, 100, false, true, &first), CreateResult::ok);
    EXPECT_EQ(s->occurrence_table.count, 2 * s->variables.capacity);
    EXPECT_EQ(s->symbol_table.count, 0u);
    const uint32_t late = f.add({-101, 50})->id;
    ASSERT_NE(occurrences_of(s, StateFixture::lit(1)), nullptr);
    EXPECT_EQ(occurrences_of(s, StateFixture::lit(-1))->data[0], early);
    EXPECT_EQ(occurrences_of(s, StateFixture::lit(-101))->data[0], late);
    EXPECT_EQ(occurrences_of(s, StateFixture::lit(101)), nullptr);
    EXPECT_EQ(solver_memory_size(s), 5688u + 8 * 24 + 102 * 136 + 2 * (56 + 8) + 4 * 4);
}

TEST(ClauseRecords, PooledRecordsTakeWholeUnitsAndComeBackBySize) {
    StateFixture f;
    SolverState *s = f.s;
    // Up to four literals fit 64 bytes, five to twelve 96.
    // Records of an even number of units start a 64-byte line.
    Clause *a = clause_new(s, 3), *c = clause_new(s, 5), *b = clause_new(s, 4), *e = clause_new(s, 6),
           *d = clause_new(s, 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 64, 0u);
    EXPECT_EQ(reinterpret_cast<char *>(b) - reinterpret_cast<char *>(a), 64);
    EXPECT_EQ(reinterpret_cast<char *>(d) - reinterpret_cast<char *>(b), 64);
    EXPECT_EQ(reinterpret_cast<char *>(e) - reinterpret_cast<char *>(c), 96);
    a->id = 7;
    a->hash = 9;
    a->watch[0].position = 2;
    a->watch[1].position = 1;
    a->watch[1].link = &b->watch[0];
    EXPECT_EQ(a->id, 7u);
    EXPECT_EQ(a->hash, 9u);
    EXPECT_EQ(slot_clause(&a->watch[1]), a);
    EXPECT_EQ(slot_index(&a->watch[1]), 1);
    // A record whose clause shrank still goes back to the list of its size.
    c->length = 2;
    clause_release(s, c);
    EXPECT_NE(clause_new(s, 2), c);
    EXPECT_EQ(clause_new(s, 12), c);
    for (Clause *x : {a, b, d, e}) clause_release(s, x);
}

TEST(StateVariables, NewRecordsAreFilledAndOrdered) {
    SolverOptions o;
    o.init_phase = val_false;
    StateFixture f(o);
    SolverState *s = f.s;
    uint32_t first = 0;
    ASSERT_EQ(variables_create(s, 3, true, false, &first), CreateResult::ok);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(s->variables.count, 4u);
    EXPECT_EQ(s->order_list.count, 3u);
    EXPECT_EQ(s->decision_cursor, var_record(s, 1));
    const double keys[] = {0.0, 0.1, 0.2};
    Variable *prev = nullptr;
    for (uint32_t i = 1; i <= 3; i++) {
        Variable *v = var_record(s, i);
        EXPECT_EQ(v->index, static_cast<int32_t>(i));
        EXPECT_EQ(v->level, -1);
        EXPECT_EQ(v->reason, -1);
        EXPECT_EQ(v->subst, nullptr);
        EXPECT_EQ(v->prev, prev);
        if (prev != nullptr) {
            EXPECT_EQ(prev->next, v);
        }
        EXPECT_DOUBLE_EQ(v->order_key, keys[i - 1]);
        EXPECT_EQ(v->flags & varf_is_atom, varf_is_atom);
        EXPECT_EQ(v->flags & varf_is_used, 0u);
        EXPECT_EQ((v->flags & varf_phase_mask) >> varf_phase_shift, uint32_t(val_false));
        EXPECT_EQ(v->pos.code, 2 * i);
        EXPECT_EQ(v->neg.code, 2 * i + 1);
        EXPECT_EQ(v->neg.flags, litf_negative);
        EXPECT_EQ(v->pos.flags, 0u);
        EXPECT_EQ(occurrences_of(s, 2 * i), nullptr);
        EXPECT_EQ(symbols_of(s, 2 * i + 1), nullptr);
        EXPECT_EQ(lit_record(s, 2 * i + 1), &v->neg);
        prev = v;
    }
    EXPECT_EQ(s->order_list.head, var_record(s, 1));
    EXPECT_EQ(s->order_list.tail, var_record(s, 3));
    EXPECT_EQ(var_record(s, 3)->next, nullptr);
}

TEST(StateVariables, TheVariableLimitRefusesWithoutChange) {
    StateFixture f;
    SolverState *s = f.s;
    uint32_t first = 0;
    // 1 + 0x7ffffff - 1 reaches the limit: nothing is allocated.
    EXPECT_EQ(variables_create(s, max_variable_count, false, false, &first), CreateResult::system_limit);
    EXPECT_EQ(variables_create(s, 0xffffffffu, false, false, &first), CreateResult::system_limit);
    EXPECT_EQ(s->variables.count, 1u);
    EXPECT_EQ(s->variables.capacity, 1024u);
    EXPECT_EQ(s->order_list.count, 0u);

    // A table already at the limit takes no single variable more. The check
    // comes before any record or table is touched.
    uint64_t saved = s->variables.count;
    s->variables.count = max_variable_count;
    EXPECT_EQ(variables_create(s, 1, false, false, &first), CreateResult::system_limit);
    EXPECT_EQ(s->variables.count, uint64_t(max_variable_count));
    s->variables.count = max_variable_count - 1;
    EXPECT_EQ(variables_create(s, 2, false, false, &first), CreateResult::system_limit);
    s->variables.count = saved;
    EXPECT_EQ(s->variables.capacity, 1024u);
}

TEST(StateVariables, RunningOutOfRecordsPartWayKeepsTheCompletedVariables) {
    StateFixture f;
    SolverState *s = f.s;
    uint32_t first = 0;
    ASSERT_EQ(variables_create(s, 1, false, false, &first), CreateResult::ok);
    // Two records wait on the free list; after them the pool can carve no
    // more (its items no longer fit a chunk), as when the heap runs dry.
    void *spare[2] = {pool_alloc(s->variable_pool), pool_alloc(s->variable_pool)};
    pool_release(s->variable_pool, spare[0]);
    pool_release(s->variable_pool, spare[1]);
    uint64_t item_size = s->variable_pool.item_size;
    s->variable_pool.item_size = pool_chunk_span + 8;
    EXPECT_EQ(variables_create(s, 5, true, false, &first), CreateResult::memory_limit);
    s->variable_pool.item_size = item_size;

    ASSERT_EQ(s->variables.count, 4u);  // variable 0, the first one, and two of the five
    EXPECT_EQ(s->order_list.count, 3u);
    EXPECT_EQ(s->order_list.tail, var_record(s, 3));
    for (uint32_t i = 1; i < 4; i++) {
        Variable *v = var_record(s, i);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->index, static_cast<int32_t>(i));
        EXPECT_EQ(lit_value(s, 2 * i), val_unassigned);
    }
    EXPECT_EQ(var_record(s, 3)->flags & varf_is_atom, varf_is_atom);
    // The next creation carries on after the last completed variable.
    ASSERT_EQ(variables_create(s, 1, false, false, &first), CreateResult::ok);
    EXPECT_EQ(first, 4u);
}

TEST(StateRandom, SameSeedGivesTheSameSequence) {
    StateFixture a(with_seed(12345)), b(with_seed(12345)), c(with_seed(12346));
    std::vector<uint8_t> from_a = draw(a.s, 64);
    EXPECT_EQ(from_a, draw(b.s, 64));
    EXPECT_NE(from_a, draw(c.s, 64));
    EXPECT_EQ(a.s->options.seed, 12345u);
}

TEST(StateRandom, KnownOutputOfTheKeySchedule) {
    // The key bytes are the seed's, little-endian, repeated every 8 steps.
    StateFixture one(with_seed(1)), wide(with_seed(0x0102030405060708ull));
    EXPECT_EQ(draw(one.s, 8), (std::vector<uint8_t>{225, 151, 62, 61, 43, 211, 208, 54}));
    EXPECT_EQ(draw(wide.s, 8), (std::vector<uint8_t>{203, 139, 37, 18, 30, 166, 51, 97}));
}

TEST(StateRandom, ReseedingRestartsTheSequence) {
    StateFixture f(with_seed(99));
    std::vector<uint8_t> first = draw(f.s, 32);
    draw(f.s, 100);
    rng_seed(f.s, 99);
    EXPECT_EQ(draw(f.s, 32), first);
}

TEST(StateRandom, ClockSeedKeepsAPermutation) {
    StateFixture f(with_seed(5));
    draw(f.s, 10);
    rng_seed(f.s, 0);
    EXPECT_EQ(f.s->options.seed, 0u);
    std::vector<uint8_t> perm(f.s->rng_s, f.s->rng_s + 256);
    std::sort(perm.begin(), perm.end());
    std::vector<uint8_t> identity(256);
    std::iota(identity.begin(), identity.end(), 0);
    EXPECT_EQ(perm, identity);
}

TEST(StateMemory, FigureCountsVariablesAndBuckets) {
    StateFixture f;
    EXPECT_EQ(solver_memory_size(f.s), 5688u + 136u + 24u * 8u);
    EXPECT_EQ(solver_memory_size(f.s), 6016u);
    uint32_t first = 0;
    ASSERT_EQ(variables_create(f.s, 5, false, false, &first), CreateResult::ok);
    EXPECT_EQ(solver_memory_size(f.s), 6016u + 5u * 136u);
}

TEST(StateDestroy, ReleasesEverythingAndMayRepeat) {
    auto s = std::make_unique<SolverState>();
    std::memset(static_cast<void *>(s.get()), 0, sizeof(SolverState));
    ASSERT_EQ(solver_state_init(s.get(), with_size(2)), 0);
    uint32_t first = 0;
    ASSERT_EQ(variables_create(s.get(), 2000, true, true, &first), CreateResult::ok);
    solver_state_destroy(s.get());
    EXPECT_EQ(s->variables.data, nullptr);
    EXPECT_EQ(s->variables.count, 0u);
    EXPECT_EQ(s->value_table.data, nullptr);
    EXPECT_EQ(s->levels.data, nullptr);
    EXPECT_EQ(s->symbol_buckets.data, nullptr);
    EXPECT_EQ(s->variable_pool.chunk_count, 0u);
    EXPECT_EQ(s->order_list.head, nullptr);
    EXPECT_EQ(s->decision_cursor, nullptr);
    EXPECT_FALSE(s->options.hash);
    solver_state_destroy(s.get());  // nothing left to release twice
}

TEST(StateDestroy, CopesWithAZeroedOrHalfBuiltState) {
    auto s = std::make_unique<SolverState>();
    std::memset(static_cast<void *>(s.get()), 0, sizeof(SolverState));
    solver_state_destroy(s.get());
    solver_state_destroy(s.get());
    // Creation stopped right after the variable table got its first, still
    // empty, position.
    ASSERT_EQ(array_init(s->variables, 4), 0);
    ASSERT_EQ(array_resize(s->variables, 1), 0);
    solver_state_destroy(s.get());
    EXPECT_EQ(s->variables.data, nullptr);
}

TEST(StateDestroy, ReleasesListsOfTheConstantLiterals) {
    // A symbol naming `true` gives the constant literal a symbol list; the
    // teardown must give it back like any other (a leak checker sees it).
    StateFixture f;
    SolverState *s = f.s;
    auto *list = static_cast<SymbolList *>(pool_alloc(s->list_pool));
    ASSERT_NE(list, nullptr);
    *list = SymbolList{};
    ASSERT_EQ(array_push(*list, SymbolRef{nullptr, 0}), 0);
    SymbolList **entry = literal_table_entry(s, s->symbol_table, lit_true);
    ASSERT_NE(entry, nullptr);
    *entry = list;
    EXPECT_EQ(solver_memory_size(s), 6016u + 16u);
    solver_state_destroy(s);
    EXPECT_EQ(symbols_of(s, lit_true), nullptr);
    EXPECT_EQ(s->symbol_table.data, nullptr);
}

// Stores the clause (a, b) in `set` without watching it.
void store_clause(SolverState *s, uint32_t set, uint32_t a, uint32_t b) {
    Clause *c = clause_alloc(2);
    ASSERT_NE(c, nullptr);
    c->lits[0] = a;
    c->lits[1] = b;
    c->hash = clause_hash_codes(c->lits, 2);
    ASSERT_EQ(clause_register(s, c, set), 0);
}

// Buckets after turning the clause hash on with `per_set[k]` clauses in set k.
uint64_t buckets_for(std::vector<uint32_t> per_set) {
    StateFixture f;
    uint32_t first = 0;
    EXPECT_EQ(variables_create(f.s, 8, false, false, &first), CreateResult::ok);
    for (uint32_t set = 0; set < per_set.size(); set++)
        for (uint32_t k = 0; k < per_set[set]; k++) store_clause(f.s, set, 2 + 2 * k % 16, 3 + 2 * set);
    EXPECT_EQ(clause_store_set_hash(f.s, true), 0);
    EXPECT_TRUE(f.s->options.hash);
    return f.s->clause_hash.count;
}

TEST(StateOptions, HashBucketsExceedTheLiveClausesOfTheIndexedSets) {
    EXPECT_EQ(buckets_for({}), 1u);
    EXPECT_EQ(buckets_for({1}), 2u);
    EXPECT_EQ(buckets_for({4}), 8u);
    EXPECT_EQ(buckets_for({5}), 8u);
    EXPECT_EQ(buckets_for({2, 2, 1}), 8u);
    EXPECT_EQ(buckets_for({7}), 8u);
    EXPECT_EQ(buckets_for({8}), 16u);
    // The passive set is never indexed, so it does not count.
    EXPECT_EQ(buckets_for({1, 0, 0, 6}), 2u);
}

TEST(StateOptions, HashOffReleasesTheIndex) {
    StateFixture f;
    uint32_t first = 0;
    ASSERT_EQ(variables_create(f.s, 4, false, false, &first), CreateResult::ok);
    store_clause(f.s, 0, 2, 4);
    store_clause(f.s, 2, 3, 5);
    ASSERT_EQ(clause_store_set_hash(f.s, true), 0);
    EXPECT_EQ(f.s->clause_hash_count, 2u);
    ASSERT_EQ(clause_store_set_hash(f.s, false), 0);
    EXPECT_FALSE(f.s->options.hash);
    EXPECT_EQ(f.s->clause_hash_count, 0u);
}

}  // namespace
