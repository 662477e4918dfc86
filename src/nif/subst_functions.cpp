// subst/3: declares two literals equivalent at level 0. The checks come
// before any change: both literals decode, occurrence lists exist, and the
// solver is at level 0; the core then assigns or eliminates.
#include "core/subst.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {

MIRL_NIF(subst) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    uint32_t a, b;
    if (!decode_literal(s, argv[1], &a) || !decode_literal(s, argv[2], &b)) return raise(env, atoms.literal);
    if (!s->options.xref) return raise(env, atoms.xref);
    if (s->level != 0) return raise(env, atoms.level);
    switch (subst_literals(s, a, b)) {
        case subst_holds:
            return enif_make_true(env);
        case subst_contradicts:
            return enif_make_false(env);
        default:
            return raise(env, atoms.memory_limit);
    }
}

}  // namespace mirl
