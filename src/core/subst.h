// Substitution: declaring two literals equivalent at level 0. When neither
// is assigned, the second literal's variable is eliminated: its clause
// occurrences are rewritten to the first literal and it gets a link that
// the representative walk (variables.h) follows from then on.
#pragma once

#include <cstdint>

#include "core/clauses.h"
#include "core/state.h"

namespace mirl {

constexpr int subst_holds = 1;         // the equivalence holds (or was made to hold)
constexpr int subst_contradicts = 0;   // complementary, or assigned different values
constexpr int subst_no_memory = -1;    // an occurrence list could not grow; nothing changed

// Requires level 0, option xref on, and representatives `a` and `b` (the
// caller checks all three). Makes b equal to a: by assigning the unassigned
// one when the other has a value, else by eliminating b's variable.
int subst_literals(SolverState *s, uint32_t a, uint32_t b);

// Brings a stored clause that the rewrite could not reach (a passive clause
// outside the occurrence lists) up to date before it goes to work: each
// literal of a substituted variable is replaced the way the rewrite would
// have replaced it, in place and keeping the clause's length: by its
// representative, by `false` when the clause holds the representative
// already, or by `true` when it holds its complement (the clause is then
// dead). The hash and any hash-index entry follow. The caller detaches the
// clause and takes it out of the occurrence lists before, and lists and
// attaches it after. Returns true when a literal changed.
bool subst_resolve_clause(SolverState *s, Clause *c);

}  // namespace mirl
