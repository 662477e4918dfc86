// The propagation queue: the false literals whose watching clauses are still
// to be visited. Binding a literal pushes (`queue_push`, in the discipline of
// option `qtype`), propagation pops (`queue_pop`), a conflict or a failed
// pass empties it (`queue_clear_all`), backtracking keeps only what is still
// false (`queue_drop_unassigned`) and cloning appends in the source's order
// (`queue_push_back`). Records are linked through their `queue_next` field;
// the `in_queue` bit says whether one is queued, and the count, not the
// links, says whether anything is, because a cleared queue leaves the old
// links in place.
//
// Push and pop run inside the propagation loop, so they are inline here.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// Links `l` at the tail (the order `fifo` drains in). The caller has checked
// that `l` is not queued.
inline void queue_link_at_tail(SolverState *s, Literal *l) {
    l->queue_next = nullptr;
    if (s->queue.tail != nullptr)
        s->queue.tail->queue_next = l;
    else
        s->queue.head = l;
    s->queue.tail = l;
    s->queue.count++;
    l->flags |= litf_in_queue;
}

// Links `l` at the head (the order `lifo` and `recursive` drain in). The
// caller has checked that `l` is not queued.
inline void queue_link_at_head(SolverState *s, Literal *l) {
    l->queue_next = s->queue.head;
    s->queue.head = l;
    if (s->queue.tail == nullptr) s->queue.tail = l;
    s->queue.count++;
    l->flags |= litf_in_queue;
}

// Queues a false literal unless it is queued already: at the tail under
// `fifo`, at the head otherwise.
inline void queue_push(SolverState *s, Literal *l) {
    if (l->flags & litf_in_queue) return;
    if (s->options.queue_type == qtype_fifo)
        queue_link_at_tail(s, l);
    else
        queue_link_at_head(s, l);
}

// Queues `l` at the tail whatever the discipline, unless it is queued
// already: copying a queue keeps the source's order.
inline void queue_push_back(SolverState *s, Literal *l) {
    if (l->flags & litf_in_queue) return;
    queue_link_at_tail(s, l);
}

// Takes the head record off the queue and clears its `in_queue` bit; null
// when the queue is empty.
inline Literal *queue_pop(SolverState *s) {
    Literal *l = s->queue.head;
    if (l == nullptr) return nullptr;
    s->queue.head = l->queue_next;
    if (s->queue.head == nullptr) s->queue.tail = nullptr;
    s->queue.count--;
    l->flags &= ~litf_in_queue;
    return l;
}

// Empties the queue: clears `in_queue` on every queued record, count 0,
// head and tail null. The records' own links are left as they are.
void queue_clear_all(SolverState *s);

// Takes every literal that is no longer false off the queue, keeping the
// order of the rest (backtracking leaves none of them to be visited).
void queue_drop_unassigned(SolverState *s);

// The literal record at the head of the queue, or null when it is empty.
Literal *queue_head_literal(const SolverState *s);

// The record queued after the literal `code` (a representative), or null
// when the queue is empty or the record has no successor. The link is read
// whether or not `code` itself is queued.
Literal *queue_literal_after(const SolverState *s, uint32_t code);

// The signed integer a caller sees for a queued record (0 for the constants).
inline int32_t queue_literal_int(const Literal *l) { return lit_to_int(l->code); }

}  // namespace mirl
