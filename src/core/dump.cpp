// The clause dump propagation prints when it meets a watched clause of one
// literal: the clause's set, position, size class and watch positions, then
// its literals by symbol name or index, on standard output.
#include "core/dump.h"

#include <cstdio>

namespace mirl {

namespace {

// Writes one literal as the dump shows it: t, f, a symbol name or $index.
void format_literal(const SolverState *s, uint32_t code, char *out, size_t size) {
    if (code == lit_true) {
        std::snprintf(out, size, "t");
        return;
    }
    if (code == lit_false) {
        std::snprintf(out, size, "f");
        return;
    }
    const char *prefix = lit_sign(code) ? "!" : "";
    const Variable *v = var_record(s, lit_var(code));
    const SymbolList *symbols = symbols_of(s, v->pos.code);
    if (symbols != nullptr && symbols->count > 0 && symbols->data[0].symbol != nullptr) {
        const Symbol *sym = symbols->data[0].symbol;
        const char *name = (sym->flags & symf_encoded) || sym->key == nullptr
                               ? "term"
                               : reinterpret_cast<const char *>(sym->key);
        std::snprintf(out, size, "%s%s", prefix, name);
    } else {
        std::snprintf(out, size, "%s$%d", prefix, v->index);
    }
}

}  // namespace

void dump_clause(const SolverState *s, const Clause *c) {
    int set = static_cast<int>(clause_ref_set(c->id));
    int position = static_cast<int>(clause_ref_position(c->id));
    std::printf("clause %d:%d select=%d\r\n", set, position, static_cast<int>(clause_size_class(c)));
    std::printf("%s id=%d:%d,[%ld:%ld] ", "  bcp: ", set, position, static_cast<long>(c->watch[0].position),
                static_cast<long>(c->watch[1].position));
    if (c->length == 0) {
        std::printf("[]");
    } else {
        std::printf("[");
        for (uint32_t k = 0; k < c->length; k++) {
            char text[32];
            format_literal(s, c->lits[k], text, sizeof text);
            std::printf(k == 0 ? "%s" : ",%s", text);
        }
        std::printf("]");
    }
    if (c->flags & clf_dead) std::printf(" dead");
    std::printf("\r\n");
    std::fflush(stdout);
}

}  // namespace mirl
