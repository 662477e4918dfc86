// Subscriptions: subscribe/2 registers the calling thread with a mask of
// topics, and build_event_messages turns each root-level event into a
// {mirl, Subject, Stats} message per interested subscriber, newest first.
// Messages are built in the state's message environment, which is cleared
// after each one: nothing receives them, but reading their statistics
// (subscriptions.h) performs the read-and-reset of the level and bound
// extremes that subscribers ask for.
#include "core/subscriptions.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {

namespace {

struct Topic {
    ERL_NIF_TERM AtomSlots::*atom;
    uint32_t bit;
};

constexpr Topic topics[] = {
    {&AtomSlots::variable, topic_variable},
    {&AtomSlots::atom, topic_atom},
    {&AtomSlots::number_of_variables, stat_variables},
    {&AtomSlots::number_of_bound_variables, stat_bound},
    {&AtomSlots::number_of_clauses, stat_clauses},
    {&AtomSlots::number_of_dead_clauses, stat_dead},
    {&AtomSlots::max_level, stat_levels},
    {&AtomSlots::min_level, stat_levels},
    {&AtomSlots::max_bound, stat_max_bound},
    {&AtomSlots::number_of_subst_variables, stat_subst},
};

// The bit of one topic atom, or 0 when the argument names none.
uint32_t topic_bit(ErlNifEnv *env, ERL_NIF_TERM arg) {
    for (const Topic &topic : topics)
        if (is_atom_arg(env, arg, atoms.*topic.atom)) return topic.bit;
    return 0;
}

// A topic atom or a list of them; false for anything else.
bool decode_topics(ErlNifEnv *env, ERL_NIF_TERM arg, uint32_t *mask) {
    const ERL_NIF_TERM *items;
    unsigned count;
    if (enif_get_list_items(env, arg, &items, &count)) {
        uint32_t bits = 0;
        for (unsigned i = 0; i < count; i++) {
            uint32_t bit = topic_bit(env, items[i]);
            if (bit == 0) return false;
            bits |= bit;
        }
        *mask = bits;
        return true;
    }
    *mask = topic_bit(env, arg);
    return *mask != 0;
}

// The Stats map for one subscriber from the statistics read for it;
// unrequested keys hold `undefined`. False when the map cannot be made.
bool build_stats(ErlNifEnv *env, const SubscriberStats &read, ERL_NIF_TERM *stats) {
    const ERL_NIF_TERM undefined = atoms.undefined;
    const ERL_NIF_TERM keys[8] = {atoms.number_of_variables,
                                  atoms.number_of_bound_variables,
                                  atoms.number_of_clauses,
                                  atoms.number_of_dead_clauses,
                                  atoms.max_level,
                                  atoms.max_bound,
                                  atoms.number_of_subst_variables,
                                  atoms.min_level};
    ERL_NIF_TERM values[8] = {undefined, undefined, undefined, undefined,
                              undefined, undefined, undefined, undefined};
    const uint32_t present = read.present;
    if (present & stat_variables) values[0] = enif_make_int(env, read.variables);
    if (present & stat_bound) values[1] = enif_make_int64(env, static_cast<int64_t>(read.bound));
    if (present & stat_clauses) values[2] = enif_make_int(env, read.clauses);
    if (present & stat_dead) values[3] = enif_make_int(env, read.dead);
    if (present & stat_levels) {
        values[4] = enif_make_int(env, read.max_level);
        if (read.has_min_level) values[7] = enif_make_int(env, read.min_level);
    }
    if (present & stat_max_bound) values[5] = enif_make_uint64(env, read.max_bound);
    if (present & stat_subst) values[6] = enif_make_uint64(env, read.subst);
    return enif_make_map_from_arrays(env, keys, values, 8, stats) != 0;
}

// The subject of a message: the fixed literal, or {Replacement, Substituted}.
ERL_NIF_TERM subject_term(ErlNifEnv *env, EventKind kind, uint32_t subject, uint32_t other) {
    if (kind == EventKind::fixed) return encode_literal_term(env, subject);
    return enif_make_tuple(env, 2, encode_literal_term(env, subject), encode_literal_term(env, other));
}

// The EventHook installed when a solver gets its first subscriber: one
// message per interested subscriber for a literal fixed at level 0 or a
// substitution.
void build_event_messages(SolverState *s, EventKind kind, uint32_t subject, uint32_t other) {
    auto *env = static_cast<ErlNifEnv *>(s->message_env);
    if (env == nullptr) return;
    const bool is_atom = (var_record(s, lit_var(subject))->flags & varf_is_atom) != 0;
    for (Subscriber *subscriber = s->subscribers.head; subscriber != nullptr; subscriber = subscriber->next) {
        if (!subscriber_wants(subscriber, is_atom)) continue;
        ERL_NIF_TERM stats;
        if (build_stats(env, subscriber_read_stats(s, subscriber->mask), &stats)) {
            ERL_NIF_TERM message = enif_make_tuple(env, 3, atoms.mirl, subject_term(env, kind, subject, other), stats);
            (void)message;  // built for the subscriber; there is no receiver to hand it to
        }
        enif_clear_env(env);
    }
}

}  // namespace

MIRL_NIF(subscribe) {
    SolverState *s = get_solver(env, argc, argv);
    uint32_t mask;
    if (s == nullptr || !decode_topics(env, argv[1], &mask)) return enif_make_badarg(env);
    ErlNifPid self;
    enif_self(env, &self);
    if (subscriber_add(s, self.pid, mask) == nullptr) return raise(env, atoms.memory_limit);
    s->event_hook = build_event_messages;
    return enif_make_none(env);
}

}  // namespace mirl
