// The solver state the core tests work on: zeroed as a handle's payload
// provides it, initialised from options, with variables 1..n created (used,
// not atoms), and destroyed when the test ends. Helpers write literals as
// signed integers and store clauses the way add_clause/2 does.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/clauses.h"
#include "core/propagate.h"
#include "core/state.h"
#include "core/variables.h"

namespace mirl_test {

using namespace mirl;

struct StateFixture {
    std::unique_ptr<SolverState> owned{new SolverState};
    SolverState *s = owned.get();
    int init_result = -1;

    explicit StateFixture(uint32_t variables = 0, const SolverOptions &options = SolverOptions{}) {
        std::memset(static_cast<void *>(s), 0, sizeof(SolverState));
        init_result = solver_state_init(s, options);
        EXPECT_EQ(init_result, 0);
        if (init_result != 0 || variables == 0) return;
        uint32_t first;
        EXPECT_EQ(variables_create(s, variables, false, true, &first), CreateResult::ok);
    }
    explicit StateFixture(const SolverOptions &options) : StateFixture(0, options) {}
    ~StateFixture() { solver_state_destroy(s); }
    StateFixture(const StateFixture &) = delete;
    StateFixture &operator=(const StateFixture &) = delete;

    // The code of the signed literal v (1 is variable 1, -1 its negation).
    static uint32_t lit(int v) { return v > 0 ? lit_make(v, false) : lit_make(-v, true); }

    // Stores the literals as they are in `set` and, unless the set is
    // passive, enters them in the occurrence lists (option xref) and watches
    // the clause (which may assign its last free literal).
    Clause *add(const std::vector<int> &lits, uint32_t set = set_delta) {
        std::vector<uint32_t> codes;
        for (int l : lits) codes.push_back(lit(l));
        return add_codes(codes, set);
    }
    Clause *add_codes(const std::vector<uint32_t> &codes, uint32_t set = set_delta) {
        Clause *c = clause_alloc(static_cast<uint32_t>(codes.size()));
        for (size_t k = 0; k < codes.size(); k++) c->lits[k] = codes[k];
        c->hash = clause_hash_codes(c->lits, c->length);
        EXPECT_EQ(clause_register(s, c, set), 0);
        if (set == set_alpha) return c;
        if (s->options.xref) {
            EXPECT_EQ(occurrences_add_clause(s, c), 0);
        }
        attach(s, c);
        return c;
    }

    uint8_t value(int v) const { return lit_value(s, lit(v)); }
};

}  // namespace mirl_test
