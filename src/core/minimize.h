// Minimisation of learnt clauses: literals implied false by the rest of the
// clause through the trail's implication clauses are dropped, the clause is
// rewritten in place under its id, or deleted when the result duplicates
// another learnt clause.
#pragma once

#include <cstdint>

#include "core/clauses.h"
#include "core/state.h"

namespace mirl {

// Bit value 2 of a mark-table byte: the literal is in the clause being
// minimised or was found redundant. Bit value 1 belongs to normalisation.
constexpr uint8_t lit_keep = 2;

// Result of `minimize_clause` when the shortened clause duplicated another
// clause of set 3 and was deleted.
constexpr int64_t minimize_deleted = 0;
// Result when `learnt_buffer` could not grow; the clause is unchanged.
constexpr int64_t minimize_no_memory = -1;

// require: c is a stored clause of set 3; the trail that produced it is
//          still in place (otherwise literals are just kept).
// ensure:  no lit_keep bit is left set; learnt_buffer holds the kept
//          literals. Returns the clause's literal count afterwards,
//          minimize_deleted or minimize_no_memory. `global` also drops the
//          literals implied through levels 1 .. level-1 (what a forward
//          pass over those levels would mark, asked only where needed), and
//          leaves no other mark bit set either.
int64_t minimize_clause(SolverState *s, Clause *c, bool global);

}  // namespace mirl
