// The decision order list, its keys and the decision cursor (see order.h).
#include "core/order.h"

namespace mirl {

void order_append(SolverState *s, Variable *v) {
    Variable *tail = s->order_list.tail;
    v->prev = tail;
    v->next = nullptr;
    v->order_key = tail != nullptr ? tail->order_key + 0.1 : 0.0;
    if (tail != nullptr)
        tail->next = v;
    else
        s->order_list.head = v;
    s->order_list.tail = v;
    s->order_list.count++;
    if (s->decision_cursor == nullptr) s->decision_cursor = v;
}

void cursor_offer(SolverState *s, Variable *v) {
    if (s->decision_cursor == nullptr || s->decision_cursor->order_key > v->order_key) s->decision_cursor = v;
}

}  // namespace mirl
