// The marked-variable list and the mark bits shared by conflict analysis and
// the caller's marks.
#pragma once

#include "core/state.h"

namespace mirl {

inline void marked_list_init(SolverState *s) {
    s->marked_list.count = 0;
    s->marked_list.head = nullptr;
    s->marked_list.tail = &s->marked_list.head;
}

// Appends v to the marked list unless it is listed already.
inline void mark_append(SolverState *s, Variable *v) {
    if (v->flags & varf_mark_listed) return;
    v->mark_next = nullptr;
    *s->marked_list.tail = v;
    s->marked_list.tail = &v->mark_next;
    s->marked_list.count++;
    v->flags |= varf_mark_listed;
}

// Clears every mark bit and empties the list.
inline void marks_clear(SolverState *s) {
    for (Variable *v = s->marked_list.head; v != nullptr; v = v->mark_next) v->flags &= ~varf_mark_mask;
    marked_list_init(s);
}

}  // namespace mirl
