// Looking into the propagation queue: its first literal record, the record
// linked after a given one, and dropping everything that is queued. The
// queue itself is filled and drained by propagation (propagate.h).
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// The literal record at the head of the queue, or null when it is empty.
Literal *queue_head_literal(const SolverState *s);

// The record queued after the literal `code` (a representative), or null
// when the queue is empty or the record has no successor. The link is read
// whether or not `code` itself is queued.
Literal *queue_literal_after(const SolverState *s, uint32_t code);

// Empties the queue: clears `in_queue` on every queued record, count 0,
// head and tail null. The records' own links are left as they are.
void queue_clear_all(SolverState *s);

// The signed integer a caller sees for a queued record (0 for the constants).
inline int32_t queue_literal_int(const Literal *l) { return lit_to_int(l->code); }

}  // namespace mirl
