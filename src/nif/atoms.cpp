// The library's atoms: one row per name in registration order, with the slot
// of `atoms` that keeps its term (null for a name that is only registered).
// The host numbers atoms in the order they are first registered, after false
// and true, so this order is what callers see as atom terms; python/mirl/
// atoms.py lists the same names and a test holds the two together.
#include "nif/atoms.h"

namespace mirl {

AtomSlots atoms;

namespace {

struct AtomRow {
    const char *name;
    ERL_NIF_TERM AtomSlots::*slot;
};

constexpr AtomRow atom_rows[] = {
    {"alpha", &AtomSlots::alpha},
    {"atom", &AtomSlots::atom},
    {"bcp_counter", &AtomSlots::bcp_counter},
    {"beta", &AtomSlots::beta},
    {"clause_2_counter", &AtomSlots::clause_2_counter},
    {"clause_3_counter", &AtomSlots::clause_3_counter},
    {"clause_d_counter", &AtomSlots::clause_d_counter},
    {"clause_n_counter", &AtomSlots::clause_n_counter},
    {"conflict_counter", &AtomSlots::conflict_counter},
    {"dead", &AtomSlots::dead},
    {"default", &AtomSlots::default_},
    {"delta", &AtomSlots::delta},
    {"done", nullptr},
    {"error", nullptr},
    {"false", &AtomSlots::false_},
    {"fifo", &AtomSlots::fifo},
    {"flags", nullptr},
    {"gamma", &AtomSlots::gamma},
    {"hash", &AtomSlots::hash},
    {"implication", &AtomSlots::implication},
    {"implication_clause", &AtomSlots::implication_clause},
    {"inqueue", nullptr},
    {"is_atom", &AtomSlots::is_atom},
    {"is_used", &AtomSlots::is_used},
    {"jump", &AtomSlots::jump},
    {"length", &AtomSlots::length},
    {"level", &AtomSlots::level},
    {"lifo", &AtomSlots::lifo},
    {"literal", &AtomSlots::literal},
    {"literal_integer", &AtomSlots::literal_integer},
    {"literal_size", &AtomSlots::literal_size},
    {"local", &AtomSlots::local},
    {"global", &AtomSlots::global},
    {"mark", &AtomSlots::mark},
    {"max_bound", &AtomSlots::max_bound},
    {"max_conflicting", &AtomSlots::max_conflicting},
    {"max_level", &AtomSlots::max_level},
    {"min_level", &AtomSlots::min_level},
    {"number_of_bound_variables", &AtomSlots::number_of_bound_variables},
    {"number_of_clauses", &AtomSlots::number_of_clauses},
    {"number_of_conflicting_clauses", &AtomSlots::number_of_conflicting_clauses},
    {"number_of_dead_clauses", &AtomSlots::number_of_dead_clauses},
    {"number_of_learnt_clauses", &AtomSlots::number_of_learnt_clauses},
    {"number_of_subst_variables", &AtomSlots::number_of_subst_variables},
    {"number_of_unbound_variables", &AtomSlots::number_of_unbound_variables},
    {"number_of_variables", &AtomSlots::number_of_variables},
    {"off", nullptr},
    {"phase", &AtomSlots::phase},
    {"init_phase", &AtomSlots::init_phase},
    {"qtype", &AtomSlots::qtype},
    {"queue", &AtomSlots::queue},
    {"recursive", &AtomSlots::recursive},
    {"reset", nullptr},
    {"set", &AtomSlots::set},
    {"size", &AtomSlots::size},
    {"status", &AtomSlots::status},
    {"symbol", &AtomSlots::symbol},
    {"system_limit", &AtomSlots::system_limit},
    {"memory_limit", &AtomSlots::memory_limit},
    {"toggle", nullptr},
    {"true", nullptr},
    {"turbo", &AtomSlots::turbo},
    {"undefined", &AtomSlots::undefined},
    {"unit", nullptr},
    {"use", nullptr},
    {"use_phase", &AtomSlots::use_phase},
    {"all_used", &AtomSlots::all_used},
    {"value_packing", &AtomSlots::value_packing},
    {"variable", &AtomSlots::variable},
    {"mirl", &AtomSlots::mirl},
    {"watch", &AtomSlots::watch},
    {"watch0", &AtomSlots::watch0},
    {"watch1", &AtomSlots::watch1},
    {"xref", &AtomSlots::xref},
    {"vsids", &AtomSlots::vsids},
    {"none", &AtomSlots::none},
    {"log2", &AtomSlots::log2},
    {"log10", &AtomSlots::log10},
    {"next", &AtomSlots::next},
    {"version", &AtomSlots::version},
    {"seed", &AtomSlots::seed},
    {"!", nullptr},
    {"identity", &AtomSlots::identity},
    {"+identity", &AtomSlots::plus_identity},
    {"-identity", &AtomSlots::minus_identity},
    {"=identity", &AtomSlots::eq_identity},
    {"random", &AtomSlots::random},
    {"+random", &AtomSlots::plus_random},
    {"-random", &AtomSlots::minus_random},
    {"=random", &AtomSlots::eq_random},
    {"degree", &AtomSlots::degree},
    {"+degree", &AtomSlots::plus_degree},
    {"-degree", &AtomSlots::minus_degree},
    {"=degree", &AtomSlots::eq_degree},
    {"rank", &AtomSlots::rank},
    {"+rank", &AtomSlots::plus_rank},
    {"-rank", &AtomSlots::minus_rank},
    {"=rank", &AtomSlots::eq_rank},
    {"user", &AtomSlots::user},
    {"+user", &AtomSlots::plus_user},
    {"-user", &AtomSlots::minus_user},
    {"=user", &AtomSlots::eq_user},
    {"memory_literal_size", &AtomSlots::memory_literal_size},
    {"memory_clause_size", &AtomSlots::memory_clause_size},
    {"memory_variable_size", &AtomSlots::memory_variable_size},
    {"memory_symbol_size", &AtomSlots::memory_symbol_size},
    {"memory_size", &AtomSlots::memory_size},
};
static_assert(sizeof(atom_rows) / sizeof(atom_rows[0]) == atom_row_count);

}  // namespace

int register_atoms(ErlNifEnv *env) {
    for (const AtomRow &row : atom_rows) {
        ERL_NIF_TERM term = enif_make_atom(env, row.name);
        if (term == nullptr) return -1;  // the host has set the exception
        if (row.slot != nullptr) atoms.*row.slot = term;
    }
    return 0;
}

}  // namespace mirl
