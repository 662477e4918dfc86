// Atom registration in the fixed order the host's atom table follows.
#include "nif/atoms.h"

namespace mirl {

AtomSlots atoms;

const char *const atom_names[107] = {
    "alpha",
    "atom",
    "bcp_counter",
    "beta",
    "clause_2_counter",
    "clause_3_counter",
    "clause_d_counter",
    "clause_n_counter",
    "conflict_counter",
    "dead",
    "default",
    "delta",
    "done",
    "error",
    "false",
    "fifo",
    "flags",
    "gamma",
    "hash",
    "implication",
    "implication_clause",
    "inqueue",
    "is_atom",
    "is_used",
    "jump",
    "length",
    "level",
    "lifo",
    "literal",
    "literal_integer",
    "literal_size",
    "local",
    "global",
    "mark",
    "max_bound",
    "max_conflicting",
    "max_level",
    "min_level",
    "number_of_bound_variables",
    "number_of_clauses",
    "number_of_conflicting_clauses",
    "number_of_dead_clauses",
    "number_of_learnt_clauses",
    "number_of_subst_variables",
    "number_of_unbound_variables",
    "number_of_variables",
    "off",
    "phase",
    "init_phase",
    "qtype",
    "queue",
    "recursive",
    "reset",
    "set",
    "size",
    "status",
    "symbol",
    "system_limit",
    "memory_limit",
    "toggle",
    "true",
    "turbo",
    "undefined",
    "unit",
    "use",
    "use_phase",
    "all_used",
    "value_packing",
    "variable",
    "mirl",
    "watch",
    "watch0",
    "watch1",
    "xref",
    "vsids",
    "none",
    "log2",
    "log10",
    "next",
    "version",
    "seed",
    "!",
    "identity",
    "+identity",
    "-identity",
    "=identity",
    "random",
    "+random",
    "-random",
    "=random",
    "degree",
    "+degree",
    "-degree",
    "=degree",
    "rank",
    "+rank",
    "-rank",
    "=rank",
    "user",
    "+user",
    "-user",
    "=user",
    "memory_literal_size",
    "memory_clause_size",
    "memory_variable_size",
    "memory_symbol_size",
    "memory_size",
};

void register_atoms(ErlNifEnv *env) {
    atoms.alpha = enif_make_atom(env, "alpha");
    atoms.atom = enif_make_atom(env, "atom");
    atoms.bcp_counter = enif_make_atom(env, "bcp_counter");
    atoms.beta = enif_make_atom(env, "beta");
    atoms.clause_2_counter = enif_make_atom(env, "clause_2_counter");
    atoms.clause_3_counter = enif_make_atom(env, "clause_3_counter");
    atoms.clause_d_counter = enif_make_atom(env, "clause_d_counter");
    atoms.clause_n_counter = enif_make_atom(env, "clause_n_counter");
    atoms.conflict_counter = enif_make_atom(env, "conflict_counter");
    atoms.dead = enif_make_atom(env, "dead");
    atoms.default_ = enif_make_atom(env, "default");
    atoms.delta = enif_make_atom(env, "delta");
    enif_make_atom(env, "done");
    enif_make_atom(env, "error");
    atoms.false_ = enif_make_atom(env, "false");
    atoms.fifo = enif_make_atom(env, "fifo");
    enif_make_atom(env, "flags");
    atoms.gamma = enif_make_atom(env, "gamma");
    atoms.hash = enif_make_atom(env, "hash");
    atoms.implication = enif_make_atom(env, "implication");
    atoms.implication_clause = enif_make_atom(env, "implication_clause");
    enif_make_atom(env, "inqueue");
    atoms.is_atom = enif_make_atom(env, "is_atom");
    atoms.is_used = enif_make_atom(env, "is_used");
    atoms.jump = enif_make_atom(env, "jump");
    atoms.length = enif_make_atom(env, "length");
    atoms.level = enif_make_atom(env, "level");
    atoms.lifo = enif_make_atom(env, "lifo");
    atoms.literal = enif_make_atom(env, "literal");
    atoms.literal_integer = enif_make_atom(env, "literal_integer");
    atoms.literal_size = enif_make_atom(env, "literal_size");
    atoms.local = enif_make_atom(env, "local");
    atoms.global = enif_make_atom(env, "global");
    atoms.mark = enif_make_atom(env, "mark");
    atoms.max_bound = enif_make_atom(env, "max_bound");
    atoms.max_conflicting = enif_make_atom(env, "max_conflicting");
    atoms.max_level = enif_make_atom(env, "max_level");
    atoms.min_level = enif_make_atom(env, "min_level");
    atoms.number_of_bound_variables = enif_make_atom(env, "number_of_bound_variables");
    atoms.number_of_clauses = enif_make_atom(env, "number_of_clauses");
    atoms.number_of_conflicting_clauses = enif_make_atom(env, "number_of_conflicting_clauses");
    atoms.number_of_dead_clauses = enif_make_atom(env, "number_of_dead_clauses");
    atoms.number_of_learnt_clauses = enif_make_atom(env, "number_of_learnt_clauses");
    atoms.number_of_subst_variables = enif_make_atom(env, "number_of_subst_variables");
    atoms.number_of_unbound_variables = enif_make_atom(env, "number_of_unbound_variables");
    atoms.number_of_variables = enif_make_atom(env, "number_of_variables");
    enif_make_atom(env, "off");
    atoms.phase = enif_make_atom(env, "phase");
    atoms.init_phase = enif_make_atom(env, "init_phase");
    atoms.qtype = enif_make_atom(env, "qtype");
    atoms.queue = enif_make_atom(env, "queue");
    atoms.recursive = enif_make_atom(env, "recursive");
    enif_make_atom(env, "reset");
    atoms.set = enif_make_atom(env, "set");
    atoms.size = enif_make_atom(env, "size");
    atoms.status = enif_make_atom(env, "status");
    atoms.symbol = enif_make_atom(env, "symbol");
    atoms.system_limit = enif_make_atom(env, "system_limit");
    atoms.memory_limit = enif_make_atom(env, "memory_limit");
    enif_make_atom(env, "toggle");
    enif_make_atom(env, "true");
    atoms.turbo = enif_make_atom(env, "turbo");
    atoms.undefined = enif_make_atom(env, "undefined");
    enif_make_atom(env, "unit");
    enif_make_atom(env, "use");
    atoms.use_phase = enif_make_atom(env, "use_phase");
    atoms.all_used = enif_make_atom(env, "all_used");
    atoms.value_packing = enif_make_atom(env, "value_packing");
    atoms.variable = enif_make_atom(env, "variable");
    atoms.mirl = enif_make_atom(env, "mirl");
    atoms.watch = enif_make_atom(env, "watch");
    atoms.watch0 = enif_make_atom(env, "watch0");
    atoms.watch1 = enif_make_atom(env, "watch1");
    atoms.xref = enif_make_atom(env, "xref");
    atoms.vsids = enif_make_atom(env, "vsids");
    atoms.none = enif_make_atom(env, "none");
    atoms.log2 = enif_make_atom(env, "log2");
    atoms.log10 = enif_make_atom(env, "log10");
    atoms.next = enif_make_atom(env, "next");
    atoms.version = enif_make_atom(env, "version");
    atoms.seed = enif_make_atom(env, "seed");
    enif_make_atom(env, "!");
    atoms.identity = enif_make_atom(env, "identity");
    atoms.plus_identity = enif_make_atom(env, "+identity");
    atoms.minus_identity = enif_make_atom(env, "-identity");
    atoms.eq_identity = enif_make_atom(env, "=identity");
    atoms.random = enif_make_atom(env, "random");
    atoms.plus_random = enif_make_atom(env, "+random");
    atoms.minus_random = enif_make_atom(env, "-random");
    atoms.eq_random = enif_make_atom(env, "=random");
    atoms.degree = enif_make_atom(env, "degree");
    atoms.plus_degree = enif_make_atom(env, "+degree");
    atoms.minus_degree = enif_make_atom(env, "-degree");
    atoms.eq_degree = enif_make_atom(env, "=degree");
    atoms.rank = enif_make_atom(env, "rank");
    atoms.plus_rank = enif_make_atom(env, "+rank");
    atoms.minus_rank = enif_make_atom(env, "-rank");
    atoms.eq_rank = enif_make_atom(env, "=rank");
    atoms.user = enif_make_atom(env, "user");
    atoms.plus_user = enif_make_atom(env, "+user");
    atoms.minus_user = enif_make_atom(env, "-user");
    atoms.eq_user = enif_make_atom(env, "=user");
    atoms.memory_literal_size = enif_make_atom(env, "memory_literal_size");
    atoms.memory_clause_size = enif_make_atom(env, "memory_clause_size");
    atoms.memory_variable_size = enif_make_atom(env, "memory_variable_size");
    atoms.memory_symbol_size = enif_make_atom(env, "memory_symbol_size");
    atoms.memory_size = enif_make_atom(env, "memory_size");
}

}  // namespace mirl
