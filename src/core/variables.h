// Variables and literals: creation of variable records with their two
// literal records, and the representative walk through substitution links.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace mirl {

enum class CreateResult { ok, system_limit, memory_limit };

// Creates n variables with the given flags; `first` gets the first index.
CreateResult variables_create(SolverState *s, uint32_t n, bool is_atom, bool is_used, uint32_t *first);
// Initialises a variable record's fields (index, literal records, phase).
void variable_record_init(SolverState *s, Variable *v, int32_t index);

// Follows substitution links to the literal that currently stands for code.
inline uint32_t resolve_code(const SolverState *s, uint32_t code) {
    for (;;) {
        Variable *v = s->variables.data[code >> 1];
        if (v->subst == nullptr) return code;
        code = v->subst->code ^ (code & 1u);
    }
}

}  // namespace mirl
