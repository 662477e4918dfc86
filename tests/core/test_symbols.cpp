// The symbol table: key identity, bucket growth and moves, table order,
// back-references from literals, and the recycling of deleted entries.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/symbols.h"
#include "core/variables.h"
#include "state_fixture.h"

namespace {

using namespace mirl;

// "s" + std::to_string(k), built by appending: GCC 12 misreads the operator+
// form at -O2 (a false -Wrestrict).
std::string numbered(const char *prefix, int k) {
    std::string text(prefix);
    text += std::to_string(k);
    return text;
}

class SymbolTable : public ::testing::Test {
  protected:
    void SetUp() override {
        uint32_t first;
        ASSERT_EQ(variables_create(s, 10, false, false, &first), CreateResult::ok);
    }

    SymbolKey raw(const std::string &text) {
        keep.push_back(text);
        return symbol_key(reinterpret_cast<const uint8_t *>(keep.back().data()), keep.back().size(), false);
    }
    SymbolKey encoded(const std::string &text) {
        keep.push_back(text);
        return symbol_key(reinterpret_cast<const uint8_t *>(keep.back().data()), keep.back().size(), true);
    }
    SymbolAddResult add(const SymbolKey &key, std::vector<uint32_t> codes, bool single = false) {
        return symbol_add(s, key, codes.data(), static_cast<uint32_t>(codes.size()), single);
    }
    std::vector<std::string> keys_in_table_order() {
        std::vector<std::string> out;
        for (Symbol *sym = symbol_first(s); sym != nullptr; sym = symbol_next(s, sym))
            out.emplace_back(reinterpret_cast<const char *>(sym->key), sym->key_length);
        return out;
    }
    std::vector<std::pair<Symbol *, uint32_t>> refs(uint32_t code) {
        std::vector<std::pair<Symbol *, uint32_t>> out;
        SymbolList *list = symbols_of(s, code);
        if (list != nullptr)
            for (uint64_t k = 0; k < list->count; k++) out.emplace_back(list->data[k].symbol, list->data[k].position);
        return out;
    }

    mirl_test::StateFixture state;
    SolverState *s = state.s;
    std::deque<std::string> keep;  // key bytes stay put while the table is used
};

TEST(SymbolHash, IsDjb2Wrapping) {
    EXPECT_EQ(symbol_hash(nullptr, 0), 5381u);
    EXPECT_EQ(symbol_hash(reinterpret_cast<const uint8_t *>("a"), 1), 5381u * 33 + 97);
    // Bytes are unsigned, and the sum wraps at 32 bits.
    const uint8_t high[] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    uint32_t expected = 5381;
    for (uint8_t b : high) expected = expected * 33u + b;
    EXPECT_EQ(symbol_hash(high, sizeof high), expected);
}

TEST_F(SymbolTable, KeyKindIsPartOfTheIdentity) {
    ASSERT_EQ(add(raw("a"), {2}), SymbolAddResult::added);
    EXPECT_EQ(symbol_lookup(s, encoded("a")), nullptr);
    EXPECT_EQ(add(encoded("a"), {4}), SymbolAddResult::added);
    EXPECT_EQ(s->symbol_count, 2u);
    EXPECT_EQ(symbol_lookup(s, raw("a"))->value.data[0], 2u);
    EXPECT_EQ(symbol_lookup(s, encoded("a"))->value.data[0], 4u);
}

TEST_F(SymbolTable, SameValueAgainIsUnchangedOtherValueConflicts) {
    ASSERT_EQ(add(raw("k"), {2, 5}), SymbolAddResult::added);
    EXPECT_EQ(add(raw("k"), {2, 5}, true), SymbolAddResult::unchanged);
    EXPECT_EQ(add(raw("k"), {5, 2}), SymbolAddResult::conflict);
    EXPECT_EQ(add(raw("k"), {2}), SymbolAddResult::conflict);
    EXPECT_EQ(s->symbol_count, 1u);
    EXPECT_EQ(refs(2).size(), 1u);  // no second back-reference
}

TEST_F(SymbolTable, EmptyValueHasNoArray) {
    ASSERT_EQ(add(raw("none"), {}), SymbolAddResult::added);
    Symbol *sym = symbol_lookup(s, raw("none"));
    ASSERT_NE(sym, nullptr);
    EXPECT_EQ(sym->value.data, nullptr);
    EXPECT_EQ(add(raw("none"), {}), SymbolAddResult::unchanged);
}

TEST_F(SymbolTable, KeyCopyIsOwnedAndTerminated) {
    std::string text("x\0y", 3);
    ASSERT_EQ(add(raw(text), {2}), SymbolAddResult::added);
    Symbol *sym = symbol_lookup(s, raw(text));
    ASSERT_NE(sym, nullptr);
    EXPECT_NE(reinterpret_cast<const char *>(sym->key), keep[0].data());
    EXPECT_EQ(sym->key_length, 3u);
    EXPECT_EQ(sym->key[3], 0);
    EXPECT_EQ(std::memcmp(sym->key, text.data(), 3), 0);
}

TEST_F(SymbolTable, EighthSymbolDoublesTheBucketsFirst) {
    for (int k = 0; k < 7; k++) ASSERT_EQ(add(raw(numbered("s", k)), {2}), SymbolAddResult::added);
    EXPECT_EQ(s->symbol_buckets.count, 8u);
    ASSERT_EQ(add(raw("s7"), {2}), SymbolAddResult::added);
    EXPECT_EQ(s->symbol_buckets.count, 16u);
    for (int k = 8; k < 40; k++) ASSERT_EQ(add(raw(numbered("s", k)), {2}), SymbolAddResult::added);
    EXPECT_EQ(s->symbol_buckets.count, 64u);
    EXPECT_GT(s->symbol_buckets.count, s->symbol_count);
}

TEST_F(SymbolTable, EveryEntrySitsInTheBucketOfItsHashAfterGrowth) {
    for (int k = 0; k < 100; k++) ASSERT_EQ(add(raw(numbered("key", k)), {2}), SymbolAddResult::added);
    uint64_t total = 0;
    for (uint64_t b = 0; b < s->symbol_buckets.count; b++) {
        const SymbolBucket &bucket = s->symbol_buckets.data[b];
        uint64_t n = 0;
        Symbol *prev = nullptr;
        for (Symbol *sym = bucket.head; sym != nullptr; sym = sym->next) {
            EXPECT_EQ(sym->hash & (s->symbol_buckets.count - 1), b);
            EXPECT_EQ(sym->prev, prev);
            prev = sym;
            n++;
        }
        EXPECT_EQ(bucket.tail, prev);
        EXPECT_EQ(bucket.count, n);
        total += n;
    }
    EXPECT_EQ(total, 100u);
    for (int k = 0; k < 100; k++) EXPECT_NE(symbol_lookup(s, raw(numbered("key", k))), nullptr);
}

TEST_F(SymbolTable, TableOrderIsBucketOrderThenInsertionOrder) {
    // Two keys with equal djb2 hashes ('A'*33 + 'a' == 'B'*33 + '@') share a
    // bucket under any mask, so the walk shows their insertion order.
    ASSERT_EQ(symbol_hash(reinterpret_cast<const uint8_t *>("Aa"), 2),
              symbol_hash(reinterpret_cast<const uint8_t *>("B@"), 2));
    ASSERT_EQ(add(raw("B@"), {2}), SymbolAddResult::added);
    ASSERT_EQ(add(raw("Aa"), {2}), SymbolAddResult::added);
    std::vector<std::string> order = keys_in_table_order();
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], "B@");
    EXPECT_EQ(order[1], "Aa");
}

TEST_F(SymbolTable, WalkVisitsEverySymbolOnce) {
    for (int k = 0; k < 50; k++) ASSERT_EQ(add(encoded(numbered("e", k)), {}), SymbolAddResult::added);
    std::vector<std::string> order = keys_in_table_order();
    EXPECT_EQ(order.size(), 50u);
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()).size(), 50u);
}

TEST_F(SymbolTable, BackReferencesFollowValuePositions) {
    ASSERT_EQ(add(raw("p"), {4, 5, 4}), SymbolAddResult::added);
    Symbol *p = symbol_lookup(s, raw("p"));
    ASSERT_EQ(add(raw("q"), {4}), SymbolAddResult::added);
    Symbol *q = symbol_lookup(s, raw("q"));
    using Ref = std::pair<Symbol *, uint32_t>;
    EXPECT_EQ(refs(4), (std::vector<Ref>{{p, 0}, {p, 2}, {q, 0}}));
    EXPECT_EQ(refs(5), (std::vector<Ref>{{p, 1}}));
    EXPECT_TRUE(refs(6).empty());
}

TEST_F(SymbolTable, DeleteRemovesItsPairsAndKeepsTheOthersInOrder) {
    ASSERT_EQ(add(raw("a"), {4}), SymbolAddResult::added);
    ASSERT_EQ(add(raw("b"), {6, 4, 4}), SymbolAddResult::added);
    ASSERT_EQ(add(raw("c"), {4}), SymbolAddResult::added);
    Symbol *a = symbol_lookup(s, raw("a"));
    Symbol *c = symbol_lookup(s, raw("c"));
    EXPECT_TRUE(symbol_delete(s, raw("b")));
    using Ref = std::pair<Symbol *, uint32_t>;
    EXPECT_EQ(refs(4), (std::vector<Ref>{{a, 0}, {c, 0}}));
    EXPECT_TRUE(refs(6).empty());
    EXPECT_EQ(s->symbol_count, 2u);
    EXPECT_EQ(symbol_lookup(s, raw("b")), nullptr);
    EXPECT_FALSE(symbol_delete(s, raw("b")));
}

TEST_F(SymbolTable, DeletedEntriesAreReusedFirstInFirstOut) {
    ASSERT_EQ(add(raw("a"), {2}), SymbolAddResult::added);
    ASSERT_EQ(add(raw("b"), {2}), SymbolAddResult::added);
    Symbol *a = symbol_lookup(s, raw("a"));
    Symbol *b = symbol_lookup(s, raw("b"));
    ASSERT_TRUE(symbol_delete(s, raw("a")));
    ASSERT_TRUE(symbol_delete(s, raw("b")));
    ASSERT_EQ(add(raw("c"), {2}), SymbolAddResult::added);
    ASSERT_EQ(add(raw("d"), {2}), SymbolAddResult::added);
    EXPECT_EQ(symbol_lookup(s, raw("c")), a);
    EXPECT_EQ(symbol_lookup(s, raw("d")), b);
}

TEST_F(SymbolTable, DeletingEverySymbolEmptiesTheWalk) {
    for (int k = 0; k < 20; k++) ASSERT_EQ(add(raw(numbered("k", k)), {2, 3}), SymbolAddResult::added);
    for (int k = 19; k >= 0; k--) ASSERT_TRUE(symbol_delete(s, raw(numbered("k", k))));
    EXPECT_EQ(symbol_first(s), nullptr);
    EXPECT_EQ(s->symbol_count, 0u);
    EXPECT_TRUE(refs(2).empty());
    EXPECT_TRUE(refs(3).empty());
}

}  // namespace
