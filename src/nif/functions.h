// The library's NIF functions, one per name; a name with several arities is
// one function that looks at argc. Each is defined in the file of its
// concern; the table in entry.cpp lists them in their fixed order.
//
// The declarations are hidden: a reference to a hidden symbol that nothing
// defines fails the link, so a function missing from the build cannot slip
// through to the import.
#pragma once

#include "nif/erl_nif.h"

namespace mirl {

#define MIRL_NIF(name) ERL_NIF_TERM nif_##name(ErlNifEnv *env, int argc, const ERL_NIF_TERM argv[])

#pragma GCC visibility push(hidden)

MIRL_NIF(new);
MIRL_NIF(clone);
MIRL_NIF(info);
MIRL_NIF(config);
MIRL_NIF(add_variable);
MIRL_NIF(add_variables);
MIRL_NIF(value);
MIRL_NIF(level);
MIRL_NIF(bound);
MIRL_NIF(bind);
MIRL_NIF(decide);
MIRL_NIF(subst);
MIRL_NIF(implication_clause);
MIRL_NIF(implication_level);
MIRL_NIF(conflicting_clause);
MIRL_NIF(is_variable);
MIRL_NIF(is_bound);
MIRL_NIF(is_equal);
MIRL_NIF(isused);
MIRL_NIF(isatom);
MIRL_NIF(push);
MIRL_NIF(pop);
MIRL_NIF(bcp);
MIRL_NIF(nbcp);
MIRL_NIF(undo);
MIRL_NIF(add_clause);
MIRL_NIF(get_clause);
MIRL_NIF(find_clause);
MIRL_NIF(compress_clause);
MIRL_NIF(clause_info);
MIRL_NIF(variable_info);
MIRL_NIF(literal_info);
MIRL_NIF(del_clause);
MIRL_NIF(clean_clause);
MIRL_NIF(get_clauses);
MIRL_NIF(get_decision);
MIRL_NIF(get_undo_state);
MIRL_NIF(get_bindings);
MIRL_NIF(get_nbindings);
MIRL_NIF(get_number_of_bindings);
MIRL_NIF(order_sort);
MIRL_NIF(order_first);
MIRL_NIF(order_last);
MIRL_NIF(next_unbound);
MIRL_NIF(queue_first);
MIRL_NIF(queue_next);
MIRL_NIF(queue_clear);
MIRL_NIF(add_symbol);
MIRL_NIF(find_symbol);
MIRL_NIF(first_symbol);
MIRL_NIF(next_symbol);
MIRL_NIF(del_symbol);
MIRL_NIF(use_clause);
MIRL_NIF(bump);
MIRL_NIF(subscribe);
MIRL_NIF(clauseset_size);
MIRL_NIF(clauseset_offset);
MIRL_NIF(clauseset_sort);
MIRL_NIF(clauseset_first);
MIRL_NIF(clauseset_next);
MIRL_NIF(set_user_count);
MIRL_NIF(conflict);
MIRL_NIF(minimize);
MIRL_NIF(move_clause);
MIRL_NIF(unmark);
MIRL_NIF(mark);
MIRL_NIF(intersect_marks);
MIRL_NIF(intersect_var);
MIRL_NIF(get_marked);
MIRL_NIF(rand);

// The plain functions: each only reads the state, decodes at most one
// literal or variable and answers True, False, None or an int (or fails with
// an atom right before returning). They make no Python container and run no
// Python code, so no collector can start in the middle of one, and the host
// calls them without pausing it, each through an entry of its own.
inline constexpr ErlNifFunction plain_functions[] = {nif_value, nif_level, nif_bound, nif_is_bound,
                                                     nif_is_variable, nif_implication_level};

#pragma GCC visibility pop

}  // namespace mirl
