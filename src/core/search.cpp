// The level-state machine of the caller-driven search: deciding by the phase
// rule (`search_decide_variable`), running propagation and decisions to the
// end (`search_run`, nbcp/1), flipping the newest open decision on the way
// back (`search_undo`, undo/1), and the turbo test of bcp/2,3. Assignments go
// through propagate.cpp and the trail and level records through trail.cpp.
#include "core/search.h"

#include "core/clauses.h"
#include "core/order.h"
#include "core/propagate.h"
#include "core/queue.h"
#include "core/trail.h"

namespace mirl {

namespace {

// The flipped decision of level `r` is tried: it enters its second branch.
// False when level-0 facts have made it false since it was flipped.
bool assign_flipped_decision(SolverState *s, LevelRecord *r) {
    uint32_t code = static_cast<uint32_t>(r->decision);
    r->state = level_second;
    uint8_t value = lit_value(s, code);
    if (value == val_unassigned) {
        assign(s, code, static_cast<uint8_t>(r->value), -1, s->level);
        return true;
    }
    return value == r->value;
}

}  // namespace

void search_decide_variable(SolverState *s, Variable *v) {
    LevelRecord &r = s->levels.data[s->level];
    uint32_t code = lit_make(static_cast<uint32_t>(v->index), false);
    r.decision = static_cast<int32_t>(code);
    r.state = level_first;
    uint8_t value = phase_for(s, v);
    r.value = value;
    assign(s, code, value, -1, s->level);
}

void search_fail_pass(SolverState *s) {
    s->bcp_counter++;
    s->conflicting_count = 0;
    s->conflict_counter++;
    queue_clear_all(s);
}

SearchResult search_run(SolverState *s) {
    LevelRecord *r = &s->levels.data[s->level];
    switch (r->state) {
    case level_open: {
        r->decision = static_cast<int32_t>(lit_false);
        Variable *v = next_decision_variable(s);
        if (v != nullptr && v->index != 0 && s->level > 0) search_decide_variable(s, v);
        break;
    }
    case level_first:
        break;
    case level_flipped:
        if (!assign_flipped_decision(s, r)) {
            search_fail_pass(s);
            return SearchResult::conflict;
        }
        break;
    default:
        return SearchResult::bad_state;
    }
    for (;;) {
        if (!propagation_pass(s)) return SearchResult::conflict;
        Variable *v = next_decision_variable(s);
        if (v == nullptr || v->index == 0) return SearchResult::complete;
        if (trail_push(s) < 0) return SearchResult::memory_limit;
        search_decide_variable(s, v);
    }
}

bool search_undo(SolverState *s) {
    while (s->level > 0) {
        int32_t p = s->level;
        trail_undo_level(s, p);
        LevelRecord &r = s->levels.data[p];
        if (r.decision != static_cast<int32_t>(lit_false))
            cursor_offer(s, var_record(s, lit_var(static_cast<uint32_t>(r.decision))));
        if (r.state == level_first) {
            r.decision ^= 1;
            r.state = level_flipped;
            return true;
        }
        if (r.state != level_second) return false;
        trail_reset_level(r);
        if (p == 1) return false;
        trail_pop_one(s);
    }
    return false;
}

bool search_literal_is_free(const SolverState *s, uint32_t code) {
    const OccurrenceList *list = occurrences_of(s, code);
    if (list == nullptr || list->count == 0) return false;
    for (uint64_t i = 0; i < list->count; i++) {
        const Clause *c = clause_lookup(s, list->data[i]);
        if (c == nullptr) continue;
        bool satisfied = false;
        for (uint32_t k = 0; k < c->length && !satisfied; k++)
            satisfied = c->lits[k] != code && lit_value(s, c->lits[k]) == val_true;
        if (!satisfied) return false;
    }
    return true;
}

}  // namespace mirl
