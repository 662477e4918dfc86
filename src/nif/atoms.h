// The library's atom vocabulary: registered once at load, in a fixed order,
// and compared against arguments for the rest of the process's life.
#pragma once

#include "nif/erl_nif.h"

namespace mirl {

struct AtomSlots {
    ERL_NIF_TERM alpha;
    ERL_NIF_TERM atom;
    ERL_NIF_TERM bcp_counter;
    ERL_NIF_TERM beta;
    ERL_NIF_TERM clause_2_counter;
    ERL_NIF_TERM clause_3_counter;
    ERL_NIF_TERM clause_d_counter;
    ERL_NIF_TERM clause_n_counter;
    ERL_NIF_TERM conflict_counter;
    ERL_NIF_TERM dead;
    ERL_NIF_TERM default_;
    ERL_NIF_TERM delta;
    ERL_NIF_TERM false_;
    ERL_NIF_TERM fifo;
    ERL_NIF_TERM gamma;
    ERL_NIF_TERM hash;
    ERL_NIF_TERM implication;
    ERL_NIF_TERM implication_clause;
    ERL_NIF_TERM is_atom;
    ERL_NIF_TERM is_used;
    ERL_NIF_TERM jump;
    ERL_NIF_TERM length;
    ERL_NIF_TERM level;
    ERL_NIF_TERM lifo;
    ERL_NIF_TERM literal;
    ERL_NIF_TERM literal_integer;
    ERL_NIF_TERM literal_size;
    ERL_NIF_TERM local;
    ERL_NIF_TERM global;
    ERL_NIF_TERM mark;
    ERL_NIF_TERM max_bound;
    ERL_NIF_TERM max_conflicting;
    ERL_NIF_TERM max_level;
    ERL_NIF_TERM min_level;
    ERL_NIF_TERM number_of_bound_variables;
    ERL_NIF_TERM number_of_clauses;
    ERL_NIF_TERM number_of_conflicting_clauses;
    ERL_NIF_TERM number_of_dead_clauses;
    ERL_NIF_TERM number_of_learnt_clauses;
    ERL_NIF_TERM number_of_subst_variables;
    ERL_NIF_TERM number_of_unbound_variables;
    ERL_NIF_TERM number_of_variables;
    ERL_NIF_TERM phase;
    ERL_NIF_TERM init_phase;
    ERL_NIF_TERM qtype;
    ERL_NIF_TERM queue;
    ERL_NIF_TERM recursive;
    ERL_NIF_TERM set;
    ERL_NIF_TERM size;
    ERL_NIF_TERM status;
    ERL_NIF_TERM symbol;
    ERL_NIF_TERM system_limit;
    ERL_NIF_TERM memory_limit;
    ERL_NIF_TERM turbo;
    ERL_NIF_TERM undefined;
    ERL_NIF_TERM use_phase;
    ERL_NIF_TERM all_used;
    ERL_NIF_TERM value_packing;
    ERL_NIF_TERM variable;
    ERL_NIF_TERM mirl;
    ERL_NIF_TERM watch;
    ERL_NIF_TERM watch0;
    ERL_NIF_TERM watch1;
    ERL_NIF_TERM xref;
    ERL_NIF_TERM vsids;
    ERL_NIF_TERM none;
    ERL_NIF_TERM log2;
    ERL_NIF_TERM log10;
    ERL_NIF_TERM next;
    ERL_NIF_TERM version;
    ERL_NIF_TERM seed;
    ERL_NIF_TERM identity;
    ERL_NIF_TERM plus_identity;
    ERL_NIF_TERM minus_identity;
    ERL_NIF_TERM eq_identity;
    ERL_NIF_TERM random;
    ERL_NIF_TERM plus_random;
    ERL_NIF_TERM minus_random;
    ERL_NIF_TERM eq_random;
    ERL_NIF_TERM degree;
    ERL_NIF_TERM plus_degree;
    ERL_NIF_TERM minus_degree;
    ERL_NIF_TERM eq_degree;
    ERL_NIF_TERM rank;
    ERL_NIF_TERM plus_rank;
    ERL_NIF_TERM minus_rank;
    ERL_NIF_TERM eq_rank;
    ERL_NIF_TERM user;
    ERL_NIF_TERM plus_user;
    ERL_NIF_TERM minus_user;
    ERL_NIF_TERM eq_user;
    ERL_NIF_TERM memory_literal_size;
    ERL_NIF_TERM memory_clause_size;
    ERL_NIF_TERM memory_variable_size;
    ERL_NIF_TERM memory_symbol_size;
    ERL_NIF_TERM memory_size;
};

// Written by load, read-only afterwards.
extern AtomSlots atoms;

// The number of names registered (atoms.cpp lists them).
constexpr int atom_row_count = 107;

// Registers every atom (idempotent) and fills `atoms`. -1, with the host's
// exception set, when a registration fails; the load fails with it.
int register_atoms(ErlNifEnv *env);

}  // namespace mirl
