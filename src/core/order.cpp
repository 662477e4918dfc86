// The decision order list, its keys and the decision cursor (see order.h).
// Activity is position: bumps move a variable towards the front by a
// distance, landing at a key halfway between its new neighbours; when those
// halves run out the keys around it are relabelled (relabel_around). The
// cursor only ever moves back over variables that may be decided, so a
// search from it finds the first unbound eligible variable of the list.
#include "core/order.h"

#include <cmath>
#include <cstdio>

#include "core/clauses.h"

namespace mirl {

namespace {

constexpr double key_step = 0.1;
constexpr double midpoint_factor = 0.5;
constexpr double renumber_gap = 8.881784197001252e-16;  // 2^-50
// A relabelled window spaces its keys at least this far apart.
constexpr double relabel_spacing = 9.313225746154785e-10;  // 2^-30

// Bumps of at least this many places keep the skips in step; shorter ones
// walk one by one and let them go stale.
constexpr int64_t long_bump = 4 * order_skip_span;

// ---- the link table (order_links) -----------------------------------------
// Every change of a record's links goes through set_prev and set_next, which
// keep the table's mirror in step. While the skips are kept (stale 0), every
// listed record's skip names the record order_skip_span places before it:
// linking and unlinking then redo the skips of the span records after the
// place (skips_after_link, skips_before_unlink), a few spans of steps that
// a long bump repays many times over. Bumps too short to repay them let the
// skips go stale instead; the steps walked one by one from then on are
// counted, and once they outnumber the list a long bump rebuilds the skips
// in one pass, so staleness never costs more than the plain walk did.

inline void set_prev(SolverState *s, Variable *v, Variable *p) {
    v->prev = p;
    s->order_links.data[v->index].prev = p != nullptr ? p->index : 0;
}

inline void set_next(SolverState *s, Variable *v, Variable *n) {
    v->next = n;
    s->order_links.data[v->index].next = n != nullptr ? n->index : 0;
}

// Before v leaves the list: the span records after it reach one record
// further back.
void skips_before_unlink(SolverState *s, const Variable *v) {
    OrderLink *links = s->order_links.data;
    if (s->order_links.stale != 0) return;
    int32_t x = links[v->index].next;
    for (uint32_t i = 0; i < order_skip_span && x != 0; i++) {
        int32_t j = links[x].skip;
        links[x].skip = j != 0 ? links[j].prev : 0;
        x = links[x].next;
    }
    links[v->index].skip = 0;
}

// After v joined the list: v's skip, and those of the span records after
// it, which now reach one record less far back.
void skips_after_link(SolverState *s, const Variable *v) {
    OrderLink *links = s->order_links.data;
    if (s->order_links.stale != 0) return;
    int32_t back[order_skip_span + 1];  // back[k]: the record k places before v, 0 past the head
    back[0] = v->index;
    for (uint32_t k = 1; k <= order_skip_span; k++) back[k] = back[k - 1] != 0 ? links[back[k - 1]].prev : 0;
    links[v->index].skip = back[order_skip_span];
    int32_t x = links[v->index].next;
    for (uint32_t i = 1; i <= order_skip_span && x != 0; i++) {
        links[x].skip = back[order_skip_span - i];
        x = links[x].next;
    }
}

void skips_go_stale(SolverState *s) {
    if (s->order_links.stale == 0) s->order_links.stale = 1;
}

void rebuild_skips(SolverState *s) {
    OrderLink *links = s->order_links.data;
    const int32_t head = s->order_list.head != nullptr ? s->order_list.head->index : 0;
    int32_t behind = head;  // the record order_skip_span places before x, once there is one
    uint32_t seen = 0;
    for (int32_t x = head; x != 0; x = links[x].next) {
        if (seen < order_skip_span) {
            links[x].skip = 0;
            seen++;
        } else {
            links[x].skip = behind;
            behind = links[behind].next;
        }
    }
    s->order_links.stale = 0;
}

// The record d places towards the head from v, or the head when fewer than
// d records precede v, read from the link table alone: the records the list
// passes through are spread over memory, the table is not. Kept skips
// cover whole spans; steps one by one while the skips are stale are counted.
Variable *walk_back(SolverState *s, Variable *v, int64_t d) {
    const OrderLink *links = s->order_links.data;
    int32_t at = v->index;
    const bool skips = s->order_links.stale == 0;
    if (skips) {
        for (; d >= order_skip_span; d -= order_skip_span) {
            int32_t j = links[at].skip;
            if (j == 0) break;  // fewer than a span precede `at`: the head is near
            at = j;
        }
    }
    int64_t k = 0;
    for (; k < d; k++) {
        int32_t p = links[at].prev;
        if (p == 0) break;
        at = p;
    }
    // Counting stops once a rebuild is due: the count stays far below 2^32.
    if (!skips && s->order_links.stale <= s->order_list.count) s->order_links.stale += static_cast<uint32_t>(k);
    return s->variables.data[at];
}

// Offers v to the cursor after an insertion: only a variable that may be
// decided can pull the cursor back.
void offer_if_decidable(SolverState *s, Variable *v) {
    if (var_unassigned(s, v) && var_eligible(s, v)) cursor_offer(s, v);
}

// Resolves a bump rule to a count of places; 0 or less means no move.
int64_t resolve_distance(SolverState *s, Variable *v, int32_t distance, int64_t x) {
    switch (distance) {
    case bump_next:
        return x;
    case bump_log2:
        return static_cast<int64_t>(std::log2(static_cast<double>(x)));
    case bump_log10:
        return static_cast<int64_t>(std::log10(static_cast<double>(x)));
    case bump_rank: {
        if (v->reason == -1) return 0;
        const Clause *c = clause_lookup(s, static_cast<uint32_t>(v->reason));
        return c != nullptr ? static_cast<int64_t>(c->length) : 0;
    }
    default:
        return distance;  // a plain count, or an unknown rule (negative)
    }
}

// Gives new keys to the records around v once a midpoint has run out of
// room there. Bumps to the front land just before the cursor one after the
// other, each halving the same gap, so the gap runs out every few dozen
// bumps; renumbering the whole list each time made the bumps of a conflict
// cost a walk over every variable. Instead the window of records around v
// doubles (8, 16, ... records) until the keys of its outer neighbours leave
// relabel_spacing per record, and the window's records get evenly spaced
// keys between those two. The list order, and so every comparison of keys,
// stays what it was. A window that reaches either end of the list
// renumbers the whole list.
void relabel_around(SolverState *s, Variable *v) {
    Variable *lo = v;
    Variable *hi = v;
    uint64_t n = 1;
    for (uint64_t want = 8;; want *= 2) {
        while (n < want && lo->prev != nullptr && hi->next != nullptr) {
            lo = lo->prev;
            hi = hi->next;
            n += 2;
        }
        if (lo->prev == nullptr || hi->next == nullptr) {
            order_renumber(s);
            return;
        }
        double left = lo->prev->order_key;
        double right = hi->next->order_key;
        double step = (right - left) / static_cast<double>(n + 1);
        if (!(step > relabel_spacing)) continue;
        double key = left;
        uint64_t k = 1;
        for (Variable *w = lo;; w = w->next, k++) {
            double next = left + step * static_cast<double>(k);
            if (!(next > key && next < right)) {
                order_renumber(s);  // rounding; not expected at this spacing
                return;
            }
            w->order_key = key = next;
            if (w == hi) return;
        }
    }
}

}  // namespace

void order_append(SolverState *s, Variable *v) {
    Variable *tail = s->order_list.tail;
    set_prev(s, v, tail);
    set_next(s, v, nullptr);
    v->order_key = tail != nullptr ? tail->order_key + key_step : 0.0;
    if (tail != nullptr)
        set_next(s, tail, v);
    else
        s->order_list.head = v;
    s->order_list.tail = v;
    s->order_list.count++;
    skips_after_link(s, v);
    if (s->decision_cursor == nullptr) s->decision_cursor = v;
}

void cursor_offer(SolverState *s, Variable *v) {
    if (s->decision_cursor == nullptr || s->decision_cursor->order_key > v->order_key) s->decision_cursor = v;
}

void order_unlink(SolverState *s, Variable *v) {
    if (s->decision_cursor == v) {
        if (v == s->order_list.tail) {
            // The cursor falls back onto the predecessor. When v is the only
            // record there is none: the cursor becomes null, which the next
            // search or insertion sets right.
            s->decision_cursor = v->prev;
            if (v->prev != nullptr) {
                std::printf("set top = %d\r\n", v->prev->index);
                std::fflush(stdout);
            }
        } else {
            s->decision_cursor = v->next;
        }
    }
    skips_before_unlink(s, v);
    if (v->prev != nullptr)
        set_next(s, v->prev, v->next);
    else
        s->order_list.head = v->next;
    if (v->next != nullptr)
        set_prev(s, v->next, v->prev);
    else
        s->order_list.tail = v->prev;
    set_prev(s, v, nullptr);
    set_next(s, v, nullptr);
    s->order_list.count--;
}

void order_link_head(SolverState *s, Variable *v) {
    Variable *head = s->order_list.head;
    set_prev(s, v, nullptr);
    set_next(s, v, head);
    if (head != nullptr)
        set_prev(s, head, v);
    else
        s->order_list.tail = v;
    s->order_list.head = v;
    s->order_list.count++;
    skips_after_link(s, v);
}

void order_link_tail(SolverState *s, Variable *v) {
    Variable *tail = s->order_list.tail;
    set_next(s, v, nullptr);
    set_prev(s, v, tail);
    if (tail != nullptr)
        set_next(s, tail, v);
    else
        s->order_list.head = v;
    s->order_list.tail = v;
    s->order_list.count++;
    skips_after_link(s, v);
}

void order_push_front(SolverState *s, Variable *v) {
    Variable *head = s->order_list.head;
    order_link_head(s, v);
    v->order_key = head != nullptr ? head->order_key - key_step : 0.0;
    offer_if_decidable(s, v);
}

void order_insert_before(SolverState *s, Variable *v, Variable *anchor) {
    if (anchor == s->order_list.head) {
        order_push_front(s, v);
        return;
    }
    Variable *p = anchor->prev;
    set_prev(s, v, p);
    set_next(s, v, anchor);
    set_next(s, p, v);
    set_prev(s, anchor, v);
    s->order_list.count++;
    skips_after_link(s, v);
    double m = (p->order_key + anchor->order_key) * midpoint_factor;
    // Besides the gap running out, a midpoint that rounds onto the anchor's
    // key would break the ascending order: both relabel.
    if (m - p->order_key <= renumber_gap || m >= anchor->order_key)
        relabel_around(s, v);
    else
        v->order_key = m;
    offer_if_decidable(s, v);
}

void order_clear(SolverState *s) {
    for (uint64_t i = 1; i < s->variables.count; i++) {
        Variable *v = s->variables.data[i];
        v->next = nullptr;
        v->prev = nullptr;
        s->order_links.data[i] = OrderLink{0, 0, 0};
    }
    s->order_list.head = nullptr;
    s->order_list.tail = nullptr;
    s->order_list.count = 0;
    s->decision_cursor = nullptr;
}

void order_bump(SolverState *s, Variable *v, int32_t distance) {
    if (!s->options.vsids || distance == 0) return;
    uint8_t value = s->value_table.data[2u * static_cast<uint32_t>(v->index)];
    if (value == val_substituted) return;
    if (value != val_unassigned && v->level == 0) return;
    // Variables outside the list (the constants, variables an order sort
    // dropped) have no place to move from.
    if (!order_contains(s, v)) return;

    int64_t x = static_cast<int64_t>(s->variables.count) - 1;
    int64_t d = resolve_distance(s, v, distance, x);
    if (d <= 0) return;

    if (d < x) {
        if (d < long_bump)
            skips_go_stale(s);
        else if (s->order_links.stale > s->order_list.count)
            rebuild_skips(s);
        Variable *target = walk_back(s, v, d);
        if (target == v) return;
        order_unlink(s, v);
        order_insert_before(s, v, target);
        return;
    }
    // The front in this sense is just before the cursor: ahead of every
    // variable that may be decided, behind the assigned ones before it.
    Variable *cursor = s->decision_cursor;
    if (cursor == nullptr) {
        order_unlink(s, v);
        order_push_front(s, v);  // offers v to the cursor
    } else if (cursor != v) {
        order_unlink(s, v);
        order_insert_before(s, v, cursor);
    }
}

void order_renumber(SolverState *s) {
    double denominator = static_cast<double>(s->order_list.count + 1);
    uint64_t k = 1;
    for (Variable *v = s->order_list.head; v != nullptr; v = v->next, k++)
        v->order_key = static_cast<double>(k) / denominator;
}

void cursor_reset(SolverState *s) {
    Variable *v = s->order_list.head;
    while (v != nullptr && !(var_unassigned(s, v) && var_eligible(s, v))) v = v->next;
    s->decision_cursor = v;
}

Variable *next_decision_variable(SolverState *s) {
    Variable *v = s->decision_cursor;
    while (v != nullptr && !(var_unassigned(s, v) && var_eligible(s, v))) v = v->next;
    s->decision_cursor = v;
    return v;
}

Variable *next_unbound_after(SolverState *s, Variable *v) {
    Variable *w = v->next;
    while (w != nullptr && !(var_unassigned(s, w) && var_eligible(s, w))) w = w->next;
    return w;
}

}  // namespace mirl
