// clone/2: a new solver handle holding an independent copy of another one.
// The options map is walked in its own order; a pair that fits no rule is
// ignored, so cloning never fails because of an option. The copy itself is
// made by core/clone.h.
#include "core/clone.h"
#include "nif/functions.h"
#include "nif/handle.h"
#include "nif/solver_functions.h"

namespace mirl {

namespace {

// A clause set, or a list of at most four, adds bits to the mask. In a list
// the elements are taken in order until one is not a clause set; a longer
// list fits no rule and is ignored like any other odd value.
void parse_clone_sets(ErlNifEnv *env, ERL_NIF_TERM value, uint32_t *mask) {
    uint32_t set;
    if (decode_clause_set(env, value, &set)) {
        *mask |= 1u << set;
        return;
    }
    const ERL_NIF_TERM *items;
    unsigned n;
    if (!enif_get_list_items(env, value, &items, &n) || n > 4) return;
    for (unsigned k = 0; k < n && decode_clause_set(env, items[k], &set); k++) *mask |= 1u << set;
}

void apply_clone_option(ErlNifEnv *env, ERL_NIF_TERM key, ERL_NIF_TERM value, CloneOptions *how) {
    // Creation options as new/1 reads them, except that any integer size is
    // taken as it is: a size 0 copy is made as size 1 would be, and one too
    // large to allocate fails the call.
    if (parse_creation_option(env, key, value, &how->options, true)) return;
    if (is_atom_arg(env, key, atoms.level)) {
        int level;
        if (enif_get_int(env, value, &level) && level >= -1) how->copy_level = level;
        return;
    }
    if (is_atom_arg(env, key, atoms.set)) {
        parse_clone_sets(env, value, &how->set_mask);
        return;
    }
    if (is_atom_arg(env, key, atoms.queue)) {
        bool copy_queue;
        if (decode_bool(value, &copy_queue)) how->copy_queue = copy_queue;
    }
}

}  // namespace

// clone(S, Options): a new handle with S's settings (overridden by the
// creation options in Options), variables, assignments up to `level`
// (default 0, -1 for all), substitutions, symbols, the clause sets named by
// `set` besides set 0, and with `queue` true the propagation queue. badarg
// when S is no handle, Options no map, or the copy cannot be made;
// memory_limit when the symbols cannot be copied.
MIRL_NIF(clone) {
    SolverState *source = get_solver(env, argc, argv);
    if (source == nullptr || !enif_is_map(env, argv[1])) return enif_make_badarg(env);
    CloneOptions how;
    how.options = source->options;
    ErlNifMapIterator iter;
    if (!enif_map_iterator_create(env, argv[1], &iter, ERL_NIF_MAP_ITERATOR_FIRST)) return enif_make_badarg(env);
    ERL_NIF_TERM key, value;
    while (enif_map_iterator_get_pair(env, &iter, &key, &value)) {
        apply_clone_option(env, key, value, &how);
        enif_map_iterator_next(env, &iter);
    }
    enif_map_iterator_destroy(env, &iter);

    ERL_NIF_TERM handle;
    SolverState *copy = make_solver_handle(env, how.options, &handle);
    if (copy == nullptr) return nullptr;  // badarg is set
    // On failure the half-built copy goes with the call's environment, whose
    // release runs the handle's destructor.
    switch (clone_into(source, copy, how)) {
    case CloneResult::ok:
        return handle;
    case CloneResult::memory_limit:
        return raise(env, atoms.memory_limit);
    case CloneResult::failed:
        break;
    }
    return enif_make_badarg(env);
}

}  // namespace mirl
