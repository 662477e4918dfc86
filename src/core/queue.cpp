// Read access to the propagation queue and its wholesale reset. Records are
// linked through their `queue_next` field from the head; the count, not the
// links, says whether anything is queued, because a cleared queue leaves the
// old links in place.
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

}  // namespace mirl
