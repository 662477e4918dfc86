// Subscribers and what they are told. subscribe/2 adds a subscriber (newest
// first) with a mask of topic and statistic bits; the library surface turns
// each level-0 event into one message per interested subscriber, whose
// statistics `subscriber_read_stats` reads, resetting the extremes it reports.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// Topic bits: which events a subscriber hears of.
constexpr uint32_t topic_variable = 0x1;  // every fixed or substituted variable
constexpr uint32_t topic_atom = 0x2;      // only variables that are atoms
// Statistic bits: what its messages carry.
constexpr uint32_t stat_variables = 0x10;
constexpr uint32_t stat_bound = 0x20;
constexpr uint32_t stat_clauses = 0x40;
constexpr uint32_t stat_dead = 0x80;
constexpr uint32_t stat_levels = 0x100;  // max_level and min_level together
constexpr uint32_t stat_max_bound = 0x200;
constexpr uint32_t stat_subst = 0x400;

// Adds a subscriber at the head of the list; null when no record can be had
// (nothing changes then).
Subscriber *subscriber_add(SolverState *s, uint32_t thread, uint32_t mask);
// Takes the head subscriber off the list; nothing when there is none.
void subscriber_remove_first(SolverState *s);
// Whether a subscriber hears of an event on a variable (an atom or not).
inline bool subscriber_wants(const Subscriber *subscriber, bool is_atom) {
    return (subscriber->mask & topic_variable) || ((subscriber->mask & topic_atom) && is_atom);
}

// The statistics a message carries; `present` holds the statistic bits that
// were asked for (and `has_min_level` whether a lowest level was reached).
struct SubscriberStats {
    uint32_t present;
    int32_t variables;
    uint64_t bound;
    int32_t clauses;
    int32_t dead;
    int32_t max_level;
    bool has_min_level;
    int32_t min_level;
    uint64_t max_bound;
    uint64_t subst;
};

// Reads the statistics `mask` asks for; the level extremes and the bound
// extreme start over when read.
SubscriberStats subscriber_read_stats(SolverState *s, uint32_t mask);

}  // namespace mirl
