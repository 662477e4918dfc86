// Creating a solver, changing its settings and reading its statistics:
// new/1 (with the creation-option parser clone/2 shares), config/3 and
// info/2. Keys are tested in a fixed order, identity first and name second,
// and the first that matches decides.
#include <cstdint>

#include "core/clauses.h"
#include "core/order.h"
#include "core/statistics.h"
#include "core/version.h"
#include "nif/functions.h"
#include "nif/handle.h"
#include "nif/solver_functions.h"

namespace mirl {

namespace {

// ---- option values ------------------------------------------------------------

// `lifo`, `fifo` or `recursive` as a queue type.
bool decode_queue_type(ErlNifEnv *env, ERL_NIF_TERM value, int32_t *queue_type) {
    if (is_atom_arg(env, value, atoms.fifo))
        *queue_type = qtype_fifo;
    else if (is_atom_arg(env, value, atoms.lifo))
        *queue_type = qtype_lifo;
    else if (is_atom_arg(env, value, atoms.recursive))
        *queue_type = qtype_recursive;
    else
        return false;
    return true;
}

// True, False or None as the phase of new variables: 2, 3 or 0 (random).
bool decode_init_phase(ERL_NIF_TERM value, int32_t *phase) {
    if (enif_is_true(value))
        *phase = val_true;
    else if (enif_is_false(value))
        *phase = val_false;
    else if (enif_is_none(value))
        *phase = 0;
    else
        return false;
    return true;
}

// The boolean option a key names, or null.
bool *boolean_option(ErlNifEnv *env, ERL_NIF_TERM key, SolverOptions *options) {
    if (is_atom_arg(env, key, atoms.xref)) return &options->xref;
    if (is_atom_arg(env, key, atoms.vsids)) return &options->vsids;
    if (is_atom_arg(env, key, atoms.hash)) return &options->hash;
    if (is_atom_arg(env, key, atoms.use_phase)) return &options->use_phase;
    if (is_atom_arg(env, key, atoms.all_used)) return &options->all_used;
    return nullptr;
}

// `default` or an unsigned 32-bit integer within the accepted bounds.
bool decode_size(ErlNifEnv *env, ERL_NIF_TERM value, bool for_clone, uint64_t *size) {
    if (is_atom_arg(env, value, atoms.default_)) {
        *size = 1024;
        return true;
    }
    unsigned n;
    if (!enif_get_uint(env, value, &n)) return false;
    if (!for_clone && (n < size_option_min || n > size_option_max)) return false;
    *size = n;
    return true;
}

// ---- config/3 -------------------------------------------------------------------

// Turning the occurrence lists on builds them for every stored clause;
// when that runs out of memory the option stays on with the lists built so
// far, and the caller hears memory_limit. The clause store keeps the option.
ERL_NIF_TERM config_xref(ErlNifEnv *env, SolverState *s, bool on) {
    if (on == s->options.xref) return enif_make_none(env);
    if (clause_store_set_xref(s, on) != 0) return raise(env, atoms.memory_limit);
    return enif_make_none(env);
}

ERL_NIF_TERM config_vsids(ErlNifEnv *env, SolverState *s, bool on) {
    if (on && !s->options.vsids) order_renumber(s);
    s->options.vsids = on;
    return enif_make_none(env);
}

// The clause hash is rebuilt from scratch when turned on and released when
// turned off. A rebuild that runs out of memory leaves the option off (the
// clause store keeps it) and is reported as memory_limit, so that a caller
// never believes lookups are indexed when they are not.
ERL_NIF_TERM config_hash(ErlNifEnv *env, SolverState *s, bool on) {
    if (on == s->options.hash) return enif_make_none(env);
    if (clause_store_set_hash(s, on) != 0) return raise(env, atoms.memory_limit);
    return enif_make_none(env);
}

// 0 and anything above the number of slots mean "as many as there are".
ERL_NIF_TERM config_max_conflicting(ErlNifEnv *env, SolverState *s, ERL_NIF_TERM value) {
    int n;
    if (!enif_get_int(env, value, &n) || n < 0) return enif_make_badarg(env);
    s->max_conflicting = (n == 0 || n > conflict_slots) ? conflict_slots : n;
    return enif_make_none(env);
}

// ---- info/2 ---------------------------------------------------------------------

ERL_NIF_TERM make_low32(ErlNifEnv *env, uint64_t value) {
    return enif_make_uint(env, static_cast<uint32_t>(value));
}

ERL_NIF_TERM queue_type_atom(int32_t queue_type) {
    switch (queue_type) {
        case qtype_lifo: return atoms.lifo;
        case qtype_fifo: return atoms.fifo;
        case qtype_recursive: return atoms.recursive;
        default: return atoms.undefined;
    }
}

ERL_NIF_TERM init_phase_term(ErlNifEnv *env, int32_t phase) {
    if (phase == val_true) return enif_make_true(env);
    if (phase == val_false) return enif_make_false(env);
    return enif_make_none(env);
}

using InfoReader = ERL_NIF_TERM (*)(ErlNifEnv *env, SolverState *s);

struct InfoRow {
    ERL_NIF_TERM AtomSlots::*key;
    InfoReader read;
};

// One row per key, in the order the keys are tested. max_level, min_level
// and max_bound report the extreme reached since they were last read and
// start over.
const InfoRow info_rows[] = {
    {&AtomSlots::bcp_counter, [](ErlNifEnv *env, SolverState *s) { return make_low32(env, s->bcp_counter); }},
    {&AtomSlots::level,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_uint(env, static_cast<uint32_t>(s->level)); }},
    {&AtomSlots::conflict_counter,
     [](ErlNifEnv *env, SolverState *s) { return make_low32(env, s->conflict_counter); }},
    {&AtomSlots::max_conflicting, [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, s->max_conflicting); }},
    {&AtomSlots::number_of_conflicting_clauses,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, s->conflicting_count); }},
    {&AtomSlots::number_of_variables,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, static_cast<int32_t>(s->variables.count - 1)); }},
    {&AtomSlots::number_of_clauses,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, stats_clause_total(s)); }},
    {&AtomSlots::number_of_dead_clauses,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, stats_dead_total(s)); }},
    {&AtomSlots::number_of_learnt_clauses,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, s->clause_count[set_gamma]); }},
    {&AtomSlots::number_of_bound_variables,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, static_cast<int32_t>(bound_count(s))); }},
    {&AtomSlots::number_of_subst_variables,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, static_cast<int32_t>(s->subst_count)); }},
    {&AtomSlots::number_of_unbound_variables,
     [](ErlNifEnv *env, SolverState *s) {
         return enif_make_int(env, static_cast<int32_t>(s->variables.count - bound_count(s) - 1));
     }},
    {&AtomSlots::clause_n_counter,
     [](ErlNifEnv *env, SolverState *s) { return make_low32(env, s->clause_n_counter); }},
    {&AtomSlots::clause_2_counter,
     [](ErlNifEnv *env, SolverState *s) { return make_low32(env, s->clause_2_counter); }},
    {&AtomSlots::clause_3_counter,
     [](ErlNifEnv *env, SolverState *s) { return make_low32(env, s->clause_3_counter); }},
    {&AtomSlots::clause_d_counter,
     [](ErlNifEnv *env, SolverState *s) { return make_low32(env, s->clause_d_counter); }},
    {&AtomSlots::size, [](ErlNifEnv *env, SolverState *s) { return make_low32(env, s->options.size); }},
    {&AtomSlots::qtype, [](ErlNifEnv *, SolverState *s) { return queue_type_atom(s->options.queue_type); }},
    {&AtomSlots::max_level, [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, stats_take_max_level(s)); }},
    {&AtomSlots::min_level, [](ErlNifEnv *env, SolverState *s) { return enif_make_int(env, stats_take_min_level(s)); }},
    {&AtomSlots::max_bound, [](ErlNifEnv *env, SolverState *s) { return make_low32(env, stats_take_max_bound(s)); }},
    {&AtomSlots::literal_size, [](ErlNifEnv *env, SolverState *) { return enif_make_int(env, 32); }},
    {&AtomSlots::literal_integer, [](ErlNifEnv *env, SolverState *) { return enif_make_true(env); }},
    {&AtomSlots::value_packing, [](ErlNifEnv *env, SolverState *) { return enif_make_int(env, 1); }},
    {&AtomSlots::xref, [](ErlNifEnv *env, SolverState *s) { return enif_make_bool(env, s->options.xref); }},
    {&AtomSlots::vsids, [](ErlNifEnv *env, SolverState *s) { return enif_make_bool(env, s->options.vsids); }},
    {&AtomSlots::hash, [](ErlNifEnv *env, SolverState *s) { return enif_make_bool(env, s->options.hash); }},
    {&AtomSlots::init_phase, [](ErlNifEnv *env, SolverState *s) { return init_phase_term(env, s->options.init_phase); }},
    {&AtomSlots::use_phase,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_bool(env, s->options.use_phase); }},
    {&AtomSlots::all_used, [](ErlNifEnv *env, SolverState *s) { return enif_make_bool(env, s->options.all_used); }},
    {&AtomSlots::version, [](ErlNifEnv *env, SolverState *) { return enif_make_string(env, library_version, ERL_NIF_LATIN1); }},
    {&AtomSlots::seed, [](ErlNifEnv *env, SolverState *s) { return make_low32(env, s->options.seed); }},
    {&AtomSlots::memory_literal_size, [](ErlNifEnv *env, SolverState *) { return enif_make_int(env, figure_literal_size); }},
    {&AtomSlots::memory_variable_size, [](ErlNifEnv *env, SolverState *) { return enif_make_int(env, figure_variable_size); }},
    {&AtomSlots::memory_clause_size, [](ErlNifEnv *env, SolverState *) { return enif_make_int(env, figure_clause_size); }},
    {&AtomSlots::memory_symbol_size, [](ErlNifEnv *env, SolverState *) { return enif_make_int(env, figure_symbol_size); }},
    {&AtomSlots::memory_size,
     [](ErlNifEnv *env, SolverState *s) { return enif_make_uint(env, solver_memory_size(s)); }},
};
static_assert(sizeof(info_rows) / sizeof(info_rows[0]) == 37, "info/2 answers 37 keys");

}  // namespace

bool parse_creation_option(ErlNifEnv *env, ERL_NIF_TERM key, ERL_NIF_TERM value, SolverOptions *options,
                           bool for_clone) {
    if (is_atom_arg(env, key, atoms.size)) return decode_size(env, value, for_clone, &options->size);
    if (is_atom_arg(env, key, atoms.qtype)) return decode_queue_type(env, value, &options->queue_type);
    if (bool *flag = boolean_option(env, key, options)) return decode_bool(value, flag);
    if (is_atom_arg(env, key, atoms.init_phase)) return decode_init_phase(value, &options->init_phase);
    if (is_atom_arg(env, key, atoms.seed)) {
        unsigned seed;
        if (!enif_get_uint(env, value, &seed)) return false;
        options->seed = seed;
        return true;
    }
    return false;
}

// new/1 (Options): a new solver handle. Options is a map of creation options
// (every one optional); any pair the parser refuses, or a value that is not
// a map, answers badarg before anything is allocated.
MIRL_NIF(new) {
    SolverOptions options;
    if (argc != 1 || !enif_is_map(env, argv[0])) return enif_make_badarg(env);
    ErlNifMapIterator it;
    if (!enif_map_iterator_create(env, argv[0], &it, ERL_NIF_MAP_ITERATOR_FIRST)) return enif_make_badarg(env);
    ERL_NIF_TERM key, value;
    bool accepted = true;
    while (accepted && enif_map_iterator_get_pair(env, &it, &key, &value)) {
        accepted = parse_creation_option(env, key, value, &options, false);
        enif_map_iterator_next(env, &it);
    }
    enif_map_iterator_destroy(env, &it);
    if (!accepted) return enif_make_badarg(env);
    ERL_NIF_TERM handle;
    if (make_solver_handle(env, options, &handle) == nullptr) return nullptr;
    return handle;
}

// config/3 (Handle, Key, Value): None. Changes one setting; `size` is fixed
// at creation. Raises memory_limit when the occurrence lists cannot be built.
MIRL_NIF(config) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 3) return enif_make_badarg(env);
    ERL_NIF_TERM key = argv[1], value = argv[2];
    if (is_atom_arg(env, key, atoms.max_conflicting)) return config_max_conflicting(env, s, value);
    bool on;
    if (is_atom_arg(env, key, atoms.xref)) {
        if (!decode_bool(value, &on)) return enif_make_badarg(env);
        return config_xref(env, s, on);
    }
    if (is_atom_arg(env, key, atoms.vsids)) {
        if (!decode_bool(value, &on)) return enif_make_badarg(env);
        return config_vsids(env, s, on);
    }
    if (is_atom_arg(env, key, atoms.hash)) {
        if (!decode_bool(value, &on)) return enif_make_badarg(env);
        return config_hash(env, s, on);
    }
    if (is_atom_arg(env, key, atoms.qtype)) {
        if (!decode_queue_type(env, value, &s->options.queue_type)) return enif_make_badarg(env);
        return enif_make_none(env);
    }
    if (is_atom_arg(env, key, atoms.use_phase)) {
        if (!decode_bool(value, &s->options.use_phase)) return enif_make_badarg(env);
        return enif_make_none(env);
    }
    if (is_atom_arg(env, key, atoms.all_used)) {
        bool was = s->options.all_used;
        if (!decode_bool(value, &s->options.all_used)) return enif_make_badarg(env);
        // Turning it on makes unused variables eligible, and some may lie
        // before the decision cursor: the cursor goes back to the first
        // decidable variable, or a search would pass them over for good.
        if (s->options.all_used && !was) cursor_reset(s);
        return enif_make_none(env);
    }
    if (is_atom_arg(env, key, atoms.init_phase)) {
        // Variables made earlier keep the phase they were given.
        if (!decode_init_phase(value, &s->options.init_phase)) return enif_make_badarg(env);
        return enif_make_none(env);
    }
    if (is_atom_arg(env, key, atoms.seed)) {
        unsigned seed;
        if (!enif_get_uint(env, value, &seed)) return enif_make_badarg(env);
        rng_seed(s, seed);
        return enif_make_none(env);
    }
    return enif_make_badarg(env);
}

// info/2 (Handle, Key): one statistic or setting; badarg for an unknown key.
MIRL_NIF(info) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    // Every key by identity first (the interned atom a caller passes back),
    // then by name: a key met late in the table no longer pays a name
    // comparison for each earlier one.
    for (const InfoRow &row : info_rows)
        if (argv[1] == atoms.*row.key) return row.read(env, s);
    for (const InfoRow &row : info_rows)
        if (enif_atom_matches(env, atoms.*row.key, argv[1])) return row.read(env, s);
    return enif_make_badarg(env);
}

}  // namespace mirl
