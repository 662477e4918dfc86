// A consistency checker for a solver state, for debug and sanitizer builds.
// `check_state` walks every redundant structure of the state (watch chains,
// trail and values, level records, marks, occurrence lists, hash index,
// order list and cursor, propagation queue, symbol back-references) and
// reports the first place where two of them disagree. It is compiled in
// only when MIRL_CHECKS is defined; otherwise it always answers "consistent".
#pragma once

#include <string>

#include "core/state.h"

namespace mirl {

// True when the build carries the checker (MIRL_CHECKS).
#ifdef MIRL_CHECKS
constexpr bool state_checks_compiled = true;
#else
constexpr bool state_checks_compiled = false;
#endif

// Checks the state between two calls (no call in progress). True when
// consistent; otherwise false with a description of the first violation in
// *violation. Reads only; costs time linear in the size of the state.
bool check_state(const SolverState *s, std::string *violation);

}  // namespace mirl
