// Watches and unit propagation: every attached clause is watched on two of
// its literals through the slots of its record, which the watched literals
// list in their watch arrays (newest last). `assign` writes
// the trail and values and queues the literal that became false;
// `propagate` drains the propagation queue (queue.h).
#pragma once

#include <cstdint>

#include "core/clauses.h"
#include "core/state.h"

namespace mirl {

// Grows a literal's watch list by about twice; -1 when it cannot grow (the
// list is then unchanged).
int watch_list_grow(Literal *l);
inline bool watch_list_full(const Literal *l) {
    return l->watches == nullptr || l->watches->count == l->watches->capacity;
}
// Appends a slot to a literal's watch list as its newest entry; -1 when the
// list cannot grow (nothing changed).
inline int watch_append(Literal *l, WatchSlot *slot) {
    if (watch_list_full(l) && watch_list_grow(l) != 0) return -1;
    l->watches->slots[l->watches->count++] = slot;
    return 0;
}
// Room for `extra` more entries in a literal's watch list; -1 when it
// cannot be had (the list keeps what room it got).
int watch_list_reserve(Literal *l, uint64_t extra);
// Room for one more watch on each of the literals: a clause of these
// literals can then be attached without failing. -1 when it cannot be had.
int watch_reserve_codes(SolverState *s, const uint32_t *codes, uint32_t n);
inline uint32_t watch_count(const Literal *l) { return l->watches == nullptr ? 0 : l->watches->count; }
// Test hook: the next `n` growths of watch lists succeed and every one after
// fails, until it is set again; a negative n (the default) never fails.
void watch_grow_fail_after(int64_t n);

// Watches the clause on its two best literals; may assign the last free
// literal. 0 when every literal is false, else 1. -1 when a watch array
// cannot grow: the clause is then left unwatched and nothing was assigned.
int attach(SolverState *s, Clause *c);
// Takes both slots out of their lists, keeping the order of the rest (a slot
// at position -1 is skipped).
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
