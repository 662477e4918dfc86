// Diagnostic output for broken invariants met on the way: the clause dump.
#pragma once

#include "core/clauses.h"
#include "core/state.h"

namespace mirl {

// Prints the clause (set, position, size class, watch positions, literals,
// dead or not) on standard output and flushes it.
void dump_clause(const SolverState *s, const Clause *c);

}  // namespace mirl
