// Watches and unit propagation: every attached clause is watched on two of
// its literals through the intrusive slots of its record. `assign` writes
// the trail and values and queues the literal that became false;
// `propagate` drains the propagation queue (queue.h).
#pragma once

#include <cstdint>

#include "core/clauses.h"
#include "core/state.h"

namespace mirl {

// Watches the clause on its two best literals; may assign the last free
// literal. 0 when every literal is false, else 1.
int attach(SolverState *s, Clause *c);
// Unlinks both slots from their chains (a slot at position -1 is skipped).
void detach(SolverState *s, Clause *c);
// Makes the literal's variable assigned: value 2 makes `code` true, 3 false.
void assign(SolverState *s, uint32_t code, uint8_t value, int32_t reason, int32_t level);
// Drains the queue; negative when it stopped on a conflict.
int propagate(SolverState *s);
// After a drain: detaches the clauses touched (marked dead) and, when
// conflicts were recorded, counts the conflict, empties the queue and clears
// the conflicting flags. False when the pass found a conflict.
bool end_of_pass(SolverState *s);
// One propagation pass as bcp/1 runs it: counter, drain, end of pass.
// Returns false on a conflict.
bool propagation_pass(SolverState *s);

}  // namespace mirl
