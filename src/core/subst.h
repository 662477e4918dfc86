// Substitution: declaring two literals equivalent at level 0. When neither
// is assigned, the second literal's variable is eliminated: its clause
// occurrences are rewritten to the first literal and it gets a link that
// the representative walk (variables.h) follows from then on.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

constexpr int subst_holds = 1;         // the equivalence holds (or was made to hold)
constexpr int subst_contradicts = 0;   // complementary, or assigned different values
constexpr int subst_no_memory = -1;    // an occurrence list could not grow; nothing changed

// Requires level 0, option xref on, and representatives `a` and `b` (the
// caller checks all three). Makes b equal to a: by assigning the unassigned
// one when the other has a value, else by eliminating b's variable.
int subst_literals(SolverState *s, uint32_t a, uint32_t b);

}  // namespace mirl
