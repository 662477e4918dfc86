// The library entry: the record the host reads at import, the table of the
// 93 functions in their fixed order, the load/upgrade/unload hooks and the
// solver handle type.
#include <cstring>

#include "core/subscriptions.h"
#include "nif/atoms.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {
namespace {

ErlNifFunc nif_funcs[] = {
    {"new", 1, nif_new, 0},
    {"clone", 2, nif_clone, 0},
    {"info", 2, nif_info, 0},
    {"config", 3, nif_config, 0},
    {"add_variable", 1, nif_add_variable, 0},
    {"add_variable", 2, nif_add_variable, 0},
    {"add_variable", 3, nif_add_variable, 0},
    {"add_variables", 2, nif_add_variables, 0},
    {"add_variables", 3, nif_add_variables, 0},
    {"add_variables", 4, nif_add_variables, 0},
    {"value", 2, nif_value, 0},
    {"level", 1, nif_level, 0},
    {"bound", 2, nif_bound, 0},
    {"bind", 2, nif_bind, 0},
    {"decide", 2, nif_decide, 0},
    {"subst", 3, nif_subst, 0},
    {"implication_clause", 2, nif_implication_clause, 0},
    {"implication_level", 2, nif_implication_level, 0},
    {"conflicting_clause", 2, nif_conflicting_clause, 0},
    {"is_variable", 2, nif_is_variable, 0},
    {"is_bound", 2, nif_is_bound, 0},
    {"is_equal", 3, nif_is_equal, 0},
    {"isused", 2, nif_isused, 0},
    {"isused", 3, nif_isused, 0},
    {"isatom", 2, nif_isatom, 0},
    {"isatom", 3, nif_isatom, 0},
    {"push", 1, nif_push, 0},
    {"pop", 1, nif_pop, 0},
    {"pop", 2, nif_pop, 0},
    {"bcp", 1, nif_bcp, 0},
    {"bcp", 2, nif_bcp, 0},
    {"bcp", 3, nif_bcp, 0},
    {"nbcp", 1, nif_nbcp, 0},
    {"undo", 1, nif_undo, 0},
    {"add_clause", 2, nif_add_clause, 0},
    {"add_clause", 3, nif_add_clause, 0},
    {"get_clause", 2, nif_get_clause, 0},
    {"get_clause", 3, nif_get_clause, 0},
    {"get_clause", 4, nif_get_clause, 0},
    {"get_clause", 5, nif_get_clause, 0},
    {"find_clause", 2, nif_find_clause, 0},
    {"compress_clause", 2, nif_compress_clause, 0},
    {"clause_info", 3, nif_clause_info, 0},
    {"variable_info", 3, nif_variable_info, 0},
    {"literal_info", 3, nif_literal_info, 0},
    {"del_clause", 2, nif_del_clause, 0},
    {"clean_clause", 2, nif_clean_clause, 0},
    {"get_clauses", 3, nif_get_clauses, 0},
    {"get_decision", 2, nif_get_decision, 0},
    {"get_undo_state", 2, nif_get_undo_state, 0},
    {"get_bindings", 1, nif_get_bindings, 0},
    {"get_bindings", 2, nif_get_bindings, 0},
    {"get_bindings", 3, nif_get_bindings, 0},
    {"get_bindings", 4, nif_get_bindings, 0},
    {"get_nbindings", 3, nif_get_nbindings, 0},
    {"get_nbindings", 4, nif_get_nbindings, 0},
    {"get_number_of_bindings", 2, nif_get_number_of_bindings, 0},
    {"order_sort", 2, nif_order_sort, 0},
    {"order_sort", 3, nif_order_sort, 0},
    {"order_sort", 4, nif_order_sort, 0},
    {"order_first", 2, nif_order_first, 0},
    {"order_last", 2, nif_order_last, 0},
    {"next_unbound", 1, nif_next_unbound, 0},
    {"next_unbound", 2, nif_next_unbound, 0},
    {"queue_first", 1, nif_queue_first, 0},
    {"queue_next", 2, nif_queue_next, 0},
    {"queue_clear", 1, nif_queue_clear, 0},
    {"add_symbol", 3, nif_add_symbol, 0},
    {"find_symbol", 2, nif_find_symbol, 0},
    {"first_symbol", 1, nif_first_symbol, 0},
    {"next_symbol", 2, nif_next_symbol, 0},
    {"del_symbol", 2, nif_del_symbol, 0},
    {"use_clause", 2, nif_use_clause, 0},
    {"bump", 3, nif_bump, 0},
    {"subscribe", 2, nif_subscribe, 0},
    {"clauseset_size", 2, nif_clauseset_size, 0},
    {"clauseset_offset", 2, nif_clauseset_offset, 0},
    {"clauseset_offset", 3, nif_clauseset_offset, 0},
    {"clauseset_sort", 2, nif_clauseset_sort, 0},
    {"clauseset_first", 2, nif_clauseset_first, 0},
    {"clauseset_next", 2, nif_clauseset_next, 0},
    {"set_user_count", 3, nif_set_user_count, 0},
    {"conflict", 4, nif_conflict, 0},
    {"minimize", 2, nif_minimize, 0},
    {"minimize", 3, nif_minimize, 0},
    {"move_clause", 3, nif_move_clause, 0},
    {"unmark", 1, nif_unmark, 0},
    {"mark", 2, nif_mark, 0},
    {"mark", 3, nif_mark, 0},
    {"intersect_marks", 2, nif_intersect_marks, 0},
    {"intersect_var", 4, nif_intersect_var, 0},
    {"get_marked", 2, nif_get_marked, 0},
    {"rand", 1, nif_rand, 0},
};
static_assert(sizeof(nif_funcs) / sizeof(nif_funcs[0]) == 93);

// The Windows form of the interface hands the library a table of the
// runtime's callbacks; it is copied and never read, since the host serves
// every operation directly.
unsigned char host_callback_copy[1376];

void solver_handle_dtor(ErlNifEnv *, void *payload) {
    auto *s = static_cast<SolverState *>(payload);
    if (s->message_env != nullptr) {
        enif_free_env(static_cast<ErlNifEnv *>(s->message_env));
        s->message_env = nullptr;
    }
    solver_state_destroy(s);
}

void solver_handle_stop(ErlNifEnv *, void *, intptr_t, int) {}

// Takes the first node off the subscriber list (the host never calls it).
void solver_handle_down(ErlNifEnv *, void *payload, ErlNifPid *, void *) {
    subscriber_remove_first(static_cast<SolverState *>(payload));
}

// Opens the handle type and registers the atoms. A type that cannot be made
// ready, or an atom that cannot be registered, fails the load, so the import
// fails cleanly with the host's exception instead of leaving a module whose
// handle checks or atom comparisons would compare against null.
int open_library(ErlNifEnv *env) {
    static const ErlNifResourceTypeInit init = {solver_handle_dtor, solver_handle_stop, solver_handle_down};
    solver_handle_type = enif_open_resource_type(env, nullptr, "mirl", &init, ERL_NIF_RT_CREATE, nullptr);
    if (solver_handle_type == nullptr) return -1;
    return register_atoms(env);
}

int load(ErlNifEnv *env, void **priv_data, ERL_NIF_TERM) {
    *priv_data = nullptr;
    return open_library(env);
}

int upgrade(ErlNifEnv *env, void **priv_data, void **old_priv_data, ERL_NIF_TERM) {
    *priv_data = *old_priv_data;
    return open_library(env);
}

void unload(ErlNifEnv *, void *) {}

ErlNifEntry nif_entry = {
    2,
    15,
    "mirl_nif",
    93,
    nif_funcs,
    load,
    nullptr,
    upgrade,
    unload,
    "beam.vanilla",
    1,
    sizeof(ErlNifResourceTypeInit),
    "erts-10.4",
};

}  // namespace

ErlNifResourceType *solver_handle_type = nullptr;

}  // namespace mirl

extern "C" __attribute__((visibility("default"))) ErlNifEntry *nif_init(const void *callbacks) {
    if (callbacks != nullptr) std::memcpy(mirl::host_callback_copy, callbacks, sizeof(mirl::host_callback_copy));
    return &mirl::nif_entry;
}

extern "C" __attribute__((visibility("default"))) void xnif_init(void) {}
