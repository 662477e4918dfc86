// The creation options shared by new/1 and clone/2: one (key, value) pair of
// an options map at a time, applied to a `SolverOptions` record.
#pragma once

#include "core/state.h"
#include "nif/erl_nif.h"

namespace mirl {

// Smallest and largest `size` new/1 accepts.
constexpr uint32_t size_option_min = 2;
constexpr uint32_t size_option_max = 1048576;

// Applies one pair: keys `size`, `qtype`, `xref`, `vsids`, `hash`,
// `use_phase`, `all_used`, `init_phase`, `seed`, tested in that order.
// Returns false, leaving `options` unchanged, when the key is none of them or
// its rule refuses the value. With `for_clone` an integer `size` outside
// 2..1048576 is taken as it is.
bool parse_creation_option(ErlNifEnv *env, ERL_NIF_TERM key, ERL_NIF_TERM value, SolverOptions *options,
                           bool for_clone);

}  // namespace mirl
