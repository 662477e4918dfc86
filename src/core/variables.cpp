// Variable creation: records from the variable pool, appended to the order
// list, with the trail, value, mark and order link tables grown alongside
// the variable table. `variables_create` is the entry point of
// add_variable/add_variables.
#include "core/variables.h"

#include "core/order.h"

namespace mirl {

namespace {

void literal_record_init(Literal *l, uint32_t code, bool negative) {
    l->queue_next = nullptr;
    l->code = code;
    l->flags = (l->flags & litf_preserved) | (negative ? litf_negative : 0u);
    l->watches = nullptr;
}

// Grows the tables that follow the variable table's capacity.
bool grow_tables(SolverState *s, uint64_t capacity) {
    if (s->trail.capacity < capacity && array_reserve_exact(s->trail, capacity) != 0) return false;
    if (order_links_reserve(s, capacity) != 0) return false;
    uint64_t bytes = 2 * capacity;
    if (s->mark_table.capacity < bytes) {
        if (array_reserve_exact(s->mark_table, bytes) != 0) return false;
        array_resize(s->mark_table, bytes);
    }
    if (s->value_table.capacity < bytes) {
        if (array_reserve_exact(s->value_table, bytes) != 0) return false;
        array_resize(s->value_table, bytes);
    }
    if (s->occurrence_table.count != 0 && s->occurrence_table.capacity < bytes) {
        if (array_reserve_exact(s->occurrence_table, bytes) != 0) return false;
        array_resize(s->occurrence_table, bytes);
    }
    if (s->symbol_table.count != 0 && s->symbol_table.capacity < bytes) {
        if (array_reserve_exact(s->symbol_table, bytes) != 0) return false;
        array_resize(s->symbol_table, bytes);
    }
    return true;
}

}  // namespace

void variable_record_init(SolverState *s, Variable *v, int32_t index) {
    v->flags &= ~(varf_phase_mask | 0x3fu);
    v->flags |= static_cast<uint32_t>(s->options.init_phase & 3) << varf_phase_shift;
    v->index = index;
    v->level = -1;
    v->reason = -1;
    v->subst = nullptr;
    literal_record_init(&v->pos, 2u * static_cast<uint32_t>(index), false);
    literal_record_init(&v->neg, 2u * static_cast<uint32_t>(index) + 1u, true);
}

CreateResult variables_create(SolverState *s, uint32_t n, bool is_atom, bool is_used, uint32_t *first) {
    uint64_t count = s->variables.count;
    if (count + n - 1 >= max_variable_count) return CreateResult::system_limit;
    // Every table is grown before any record is made, so a failure leaves
    // the state exactly as it was (capacities aside).
    if (array_reserve(s->variables, count + n) != 0) return CreateResult::memory_limit;
    if (!grow_tables(s, s->variables.capacity)) return CreateResult::memory_limit;
    pool_reserve(s->variable_pool, n);
    for (uint64_t i = count; i < count + n; i++) {
        auto *v = pool_new<Variable>(s->variable_pool);
        if (v == nullptr) {
            // Out of memory part-way: the variables completed so far stay,
            // fully made and in the order list, and the table ends with
            // the last of them, so no position is ever without a record.
            s->variables.count = i;
            return CreateResult::memory_limit;
        }
        // Records are never handed back to the pool, so a fresh one holds
        // no bits worth keeping: start every flag word from zero.
        v->flags = 0;
        v->pos.flags = 0;
        v->neg.flags = 0;
        variable_record_init(s, v, static_cast<int32_t>(i));
        v->flags |= (is_atom ? varf_is_atom : 0u) | (is_used ? varf_is_used : 0u);
        s->value_table.data[2 * i] = 0;
        s->value_table.data[2 * i + 1] = 0;
        s->mark_table.data[2 * i] = 0;
        s->mark_table.data[2 * i + 1] = 0;
        s->variables.data[i] = v;
        s->variables.count = i + 1;
        order_append(s, v);
    }
    *first = static_cast<uint32_t>(count);
    return CreateResult::ok;
}

}  // namespace mirl
