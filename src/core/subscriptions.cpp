// The subscriber list (newest first, records from the subscription pool) and
// the statistics a subscriber's message carries.
#include "core/subscriptions.h"

#include "core/statistics.h"

namespace mirl {

Subscriber *subscriber_add(SolverState *s, uint32_t thread, uint32_t mask) {
    auto *subscriber = pool_new<Subscriber>(s->subscription_pool);
    if (subscriber == nullptr) return nullptr;
    subscriber->thread = thread;
    subscriber->mask = mask;
    subscriber->prev = nullptr;
    subscriber->next = s->subscribers.head;
    if (s->subscribers.head != nullptr)
        s->subscribers.head->prev = subscriber;
    else
        s->subscribers.tail = subscriber;
    s->subscribers.head = subscriber;
    s->subscribers.count++;
    return subscriber;
}

void subscriber_remove_first(SolverState *s) {
    Subscriber *first = s->subscribers.head;
    if (first == nullptr) return;
    s->subscribers.head = first->next;
    if (first->next != nullptr)
        first->next->prev = nullptr;
    else
        s->subscribers.tail = nullptr;
    s->subscribers.count--;
    pool_release(s->subscription_pool, first);
}

SubscriberStats subscriber_read_stats(SolverState *s, uint32_t mask) {
    SubscriberStats stats{};
    stats.present = mask & (stat_variables | stat_bound | stat_clauses | stat_dead | stat_levels | stat_max_bound |
                            stat_subst);
    if (mask & stat_variables) stats.variables = static_cast<int32_t>(s->variables.count - 1);
    if (mask & stat_bound) stats.bound = bound_count(s);
    if (mask & stat_clauses) stats.clauses = stats_clause_total(s);
    if (mask & stat_dead) stats.dead = stats_dead_total(s);
    if (mask & stat_levels) {
        stats.max_level = stats_take_max_level(s);
        stats.min_level = stats_take_min_level(s);
        stats.has_min_level = stats.min_level != min_level_none;
    }
    if (mask & stat_max_bound) stats.max_bound = stats_take_max_bound(s);
    if (mask & stat_subst) stats.subst = s->subst_count;
    return stats;
}

}  // namespace mirl
