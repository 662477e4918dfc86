// Subscription events: the hook the core calls for every literal fixed at
// level 0 and every substitution, which builds one event message per
// interested subscriber.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

// The EventHook installed when a solver gets its first subscriber. A state
// that copies another's subscribers installs it too.
void build_event_messages(SolverState *s, EventKind kind, uint32_t subject, uint32_t other);

}  // namespace mirl
