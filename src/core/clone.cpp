// The copy of a solver state (see clone.h). Variables come first, so that
// substitution links, symbol back-references, queued literals and clause
// watches of the copy can all point at the copy's own literal records; then
// symbols, the queue and the chosen clause sets, in that order.
#include "core/clone.h"

#include <cstdlib>
#include <cstring>

#include "core/clauses.h"
#include "core/propagate.h"
#include "core/queue.h"
#include "core/symbols.h"
#include "core/variables.h"

namespace mirl {

namespace {

// Makes the copy's variable v a level-0 fact with the source's value, unless
// it holds one already.
void copy_fact(const SolverState *src, SolverState *dst, uint32_t v) {
    const uint8_t x = src->value_table.data[2 * v];
    if (dst->value_table.data[2 * v] != val_unassigned) return;
    dst->value_table.data[2 * v] = x;
    dst->value_table.data[2 * v + 1] = static_cast<uint8_t>(x ^ 1u);
    Variable *dv = var_record(dst, v);
    dv->level = 0;
    dv->reason = -1;
    LevelRecord &root = dst->levels.data[0];
    dst->trail.data[root.start + root.count++] = dv;
}

bool assigned_up_to(const SolverState *src, uint32_t v, int32_t level) {
    const uint8_t x = src->value_table.data[2 * v];
    return (x == val_true || x == val_false) && var_record(src, v)->level <= level;
}

bool copy_variables(const SolverState *src, SolverState *dst, int32_t level) {
    const uint32_t n = variable_count(src) - 1;
    if (n == 0) return true;
    uint32_t first;
    if (variables_create(dst, n, false, false, &first) != CreateResult::ok) return false;

    uint64_t substituted = 0;
    for (uint32_t v = 1; v <= n; v++) {
        const Variable *sv = var_record(src, v);
        Variable *dv = var_record(dst, v);
        dv->flags = (dv->flags & ~(varf_is_atom | varf_is_used)) | (sv->flags & (varf_is_atom | varf_is_used));
        if (src->value_table.data[2 * v] == val_substituted && sv->subst != nullptr) {
            dst->value_table.data[2 * v] = val_substituted;
            dst->value_table.data[2 * v + 1] = val_substituted;
            dv->subst = lit_record(dst, sv->subst->code);
            substituted++;
        }
    }

    // Facts in the order the source bound them, level by level; then any
    // assignment the source's trail segments did not show.
    for (int32_t k = 0; k <= level && static_cast<uint64_t>(k) < src->levels.count; k++) {
        const LevelRecord &r = src->levels.data[k];
        for (int64_t t = r.start; t < static_cast<int64_t>(r.start) + r.count; t++) {
            if (t < 0 || static_cast<uint64_t>(t) >= src->trail.capacity) break;
            const uint32_t v = static_cast<uint32_t>(src->trail.data[t]->index);
            if (v >= 1 && v <= n && assigned_up_to(src, v, level)) copy_fact(src, dst, v);
        }
    }
    for (uint32_t v = 1; v <= n; v++)
        if (assigned_up_to(src, v, level)) copy_fact(src, dst, v);

    dst->subst_count = substituted;
    dst->trail_base = substituted;
    return true;
}

bool copy_symbol(SolverState *dst, const Symbol *from) {
    auto *sym = pool_new<Symbol>(dst->symbol_pool);
    if (sym == nullptr) return false;
    std::memset(static_cast<void *>(sym), 0, sizeof(Symbol));
    const uint64_t n = from->value.count;
    sym->key = static_cast<uint8_t *>(std::malloc(from->key_length + 1));
    if (sym->key == nullptr || (n > 0 && array_init(sym->value, n) != 0)) {
        symbol_release(dst, sym);
        return false;
    }
    if (from->key_length > 0) std::memcpy(sym->key, from->key, from->key_length);
    sym->key[from->key_length] = 0;
    sym->key_length = from->key_length;
    sym->hash = from->hash;
    sym->flags = from->flags & (symf_encoded | symf_single);
    if (n > 0) {
        std::memcpy(sym->value.data, from->value.data, n * sizeof(uint32_t));
        sym->value.count = n;
    }
    if (symbol_insert(dst, sym) != 0) {
        symbol_release(dst, sym);
        return false;
    }
    if (symbol_link_literals(dst, sym) != 0) {
        symbol_unlink(dst, sym);
        symbol_release(dst, sym);
        return false;
    }
    return true;
}

bool copy_symbols(const SolverState *src, SolverState *dst) {
    for (uint64_t b = 0; b < src->symbol_buckets.count; b++)
        for (const Symbol *sym = src->symbol_buckets.data[b].head; sym != nullptr; sym = sym->next)
            if (!copy_symbol(dst, sym)) return false;
    return true;
}

// Queues, in the source's order, the copy's records of the queued literals
// that are false in the copy. A queued literal whose assignment lay above
// the copied level is unassigned in the copy; visiting it would draw
// implications from a literal that is not false, so it is left out.
void copy_queue(const SolverState *src, SolverState *dst) {
    const Literal *l = src->queue.head;
    for (uint64_t k = 0; k < src->queue.count && l != nullptr; k++, l = l->queue_next) {
        if (lit_value(dst, l->code) != val_false) continue;
        queue_push_back(dst, lit_record(dst, l->code));
    }
}

// Copies the clauses of set k in slot order into fresh slots of the copy's
// set k. A clause whose record cannot be had is skipped; a table that
// cannot grow fails the copy.
bool copy_clause_set(const SolverState *src, SolverState *dst, uint32_t k) {
    const GrowArray<Clause *> &list = src->clause_lists[k];
    for (uint64_t slot = 0; slot < list.count; slot++) {
        const Clause *from = list.data[slot];
        if (from == nullptr) continue;
        Clause *c = clause_new(dst, from->length);
        if (c == nullptr) continue;
        std::memcpy(c->lits, from->lits, sizeof(uint32_t) * from->length);
        c->hash = from->hash;
        if (clause_register(dst, c, k) != 0) {
            clause_release(dst, c);
            return false;
        }
        if (k == set_alpha) continue;  // passive: no watches, no occurrences
        if (dst->options.xref && occurrences_add_clause(dst, c) != 0) continue;
        attach(dst, c);
    }
    return true;
}

}  // namespace

CloneResult clone_into(const SolverState *source, SolverState *copy, const CloneOptions &how) {
    int32_t level = how.copy_level;
    if (level < 0 || level > source->level) level = source->level;
    if (!copy_variables(source, copy, level)) return CloneResult::failed;
    if (!copy_symbols(source, copy)) return CloneResult::memory_limit;
    if (how.copy_queue) copy_queue(source, copy);
    for (uint32_t k = 0; k < clause_set_count; k++)
        if (((how.set_mask | (1u << set_delta)) >> k) & 1u)
            if (!copy_clause_set(source, copy, k)) return CloneResult::failed;
    return CloneResult::ok;
}

}  // namespace mirl
