// The propagation queue's whole-queue operations: emptying it, filtering it
// after backtracking, and reading it for the caller. Pushing and popping are
// inline in queue.h.
#include "core/queue.h"

namespace mirl {

Literal *queue_head_literal(const SolverState *s) { return s->queue.head; }

Literal *queue_literal_after(const SolverState *s, uint32_t code) {
    if (s->queue.count == 0) return nullptr;
    return lit_record(s, code)->queue_next;
}

void queue_clear_all(SolverState *s) {
    // At most `count` records are queued; bounding the walk by it keeps a
    // stale link past the tail from leading anywhere.
    uint64_t left = s->queue.count;
    for (Literal *l = s->queue.head; l != nullptr && left > 0; l = l->queue_next, left--) l->flags &= ~litf_in_queue;
    s->queue.head = nullptr;
    s->queue.tail = nullptr;
    s->queue.count = 0;
}

void queue_drop_unassigned(SolverState *s) {
    const uint8_t *values = s->value_table.data;
    Literal *kept_head = nullptr, *kept_tail = nullptr;
    uint64_t kept = 0;
    for (Literal *l = s->queue.head; l != nullptr;) {
        Literal *next = l->queue_next;
        if (values[l->code] == val_false) {
            if (kept_tail != nullptr)
                kept_tail->queue_next = l;
            else
                kept_head = l;
            kept_tail = l;
            kept++;
        } else {
            l->flags &= ~litf_in_queue;
        }
        l = next;
    }
    if (kept_tail != nullptr) kept_tail->queue_next = nullptr;
    s->queue.head = kept_head;
    s->queue.tail = kept_tail;
    s->queue.count = kept;
}

}  // namespace mirl
