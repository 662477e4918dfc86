// Conflict analysis: the first-UIP clause of a conflict at one level. The
// entry point `analyze_conflict` resolves the conflicting clause with the
// implication clauses of that level's trail segment, newest first, until one
// variable of the level is left; it bumps and marks each variable at its
// first meeting, collects the literals of lower levels in `learnt_buffer`,
// and stores the normalised result in clause set 3 unless set 3 has it.
#include "core/analyze.h"

#include "core/clauses.h"
#include "core/marks.h"
#include "core/order.h"

namespace mirl {

namespace {

AnalyzeResult abandon_analysis(SolverState *s) {
    marks_clear(s);
    return AnalyzeResult::failed;
}

// The true literal of an assigned variable.
uint32_t true_literal(const SolverState *s, const Variable *u) {
    uint32_t positive = 2u * static_cast<uint32_t>(u->index);
    return lit_value(s, positive) == val_false ? positive + 1 : positive;
}

// First clause of set 3 with exactly these (normalised) literals, or null.
Clause *find_in_learnt_set(SolverState *s, const uint32_t *codes, uint32_t n, uint32_t hash) {
    const GrowArray<Clause *> &set = s->clause_lists[set_alpha];
    for (uint64_t k = 0; k < set.count; k++) {
        Clause *c = set.data[k];
        if (c != nullptr && c->length == n && c->hash == hash && literals_equal(s, c->lits, codes, n)) return c;
    }
    return nullptr;
}

// Stores the learnt clause with the asserting literal first and the other
// literals in buffer order. -1 when memory runs out.
int store_learnt_clause(SolverState *s, uint32_t asserting, uint32_t hash, uint32_t *id) {
    const uint32_t *codes = s->learnt_buffer.data;
    auto m = static_cast<uint32_t>(s->learnt_buffer.count);
    Clause *c = clause_new(s, m);
    if (c == nullptr) return -1;
    c->lits[0] = asserting;
    uint32_t k = 1;
    bool asserting_seen = false;
    for (uint32_t j = 0; j < m; j++) {
        if (codes[j] == asserting)
            asserting_seen = true;
        else if (k < m)
            c->lits[k++] = codes[j];
    }
    // Normalisation keeps the asserting literal (its level is above 0), so
    // this never fails; checked all the same, never a clause short of one.
    if (!asserting_seen || k != m) {
        clause_release(s, c);
        return -1;
    }
    c->hash = hash;
    if (clause_register(s, c, set_alpha) != 0) {
        clause_release(s, c);
        return -1;
    }
    *id = c->id;
    return 0;
}

}  // namespace

AnalyzeResult analyze_conflict(SolverState *s, int32_t level, int32_t distance, int32_t index, uint32_t *id) {
    const LevelRecord &segment = s->levels.data[level];
    if (segment.count == 0) return AnalyzeResult::failed;
    Variable *const *trail = s->trail.data + segment.start;
    int64_t i = segment.count - 1;

    marks_clear(s);
    s->learnt_buffer.count = 0;

    uint32_t skip = lit_false;  // the literal the clause at hand implied
    int32_t pending = 0;        // marked variables of the level not yet resolved
    auto ref = static_cast<uint32_t>(s->conflicting[index]);
    for (;;) {
        Clause *c = ref == clause_no_ref ? nullptr : clause_lookup(s, ref);
        if (c == nullptr) return abandon_analysis(s);
        c->stamp = s->bcp_counter;
        // An implication clause must hold the literal it implied; one that
        // does not (its slot was reused after a deletion) is no reason.
        bool holds_skip = skip == lit_false;
        for (uint32_t k = 0; k < c->length; k++) {
            uint32_t lit = c->lits[k];
            if (lit == skip) {
                holds_skip = true;
                continue;
            }
            Variable *v = var_record(s, lit_var(lit));
            if ((v->flags & varf_mark_seen) || v->level <= 0) continue;
            order_bump(s, v, distance);
            mark_append(s, v);
            v->flags |= varf_mark_seen;
            if (v->level >= level)
                pending++;
            else if (array_push(s->learnt_buffer, lit) != 0)
                return abandon_analysis(s);
        }
        if (!holds_skip) return abandon_analysis(s);

        while (i >= 0 && !(trail[i]->flags & varf_mark_seen)) i--;
        if (i < 0) return abandon_analysis(s);
        Variable *u = trail[i];
        skip = true_literal(s, u);
        if (pending < 2) break;  // u is the first unique implication point

        ref = static_cast<uint32_t>(u->reason);
        u->flags &= ~varf_mark_seen;  // stays listed
        i--;
        pending--;
    }

    uint32_t asserting = lit_neg(skip);
    if (array_push(s->learnt_buffer, asserting) != 0) return abandon_analysis(s);
    marks_clear(s);

    uint32_t *codes = s->learnt_buffer.data;
    uint32_t m = normalise_literals(s, codes, static_cast<uint32_t>(s->learnt_buffer.count), true);
    s->learnt_buffer.count = m;
    if (m == 0) return AnalyzeResult::failed;  // not reachable: the input is never empty
    if (codes[m - 1] == lit_true) return AnalyzeResult::satisfied;
    if (m == 1 && codes[0] == lit_false) return AnalyzeResult::empty;

    uint32_t hash = clause_hash_codes(codes, m);
    if (find_in_learnt_set(s, codes, m, hash) != nullptr) return AnalyzeResult::duplicate;
    if (store_learnt_clause(s, asserting, hash, id) != 0) return AnalyzeResult::failed;
    return AnalyzeResult::stored;
}

}  // namespace mirl
