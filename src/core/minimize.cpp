// Clause minimisation (see minimize.h). A literal d of a learnt clause is
// redundant when every other literal of the implication clause of its
// variable is fixed at level 0 or carries lit_keep (is in the clause, or, in
// the global mode, was itself found redundant by a forward pass over the
// earlier levels, which is worked out on demand for just the literals the
// test meets). The first, asserting literal always stays and the kept
// literals keep their order.
#include "core/minimize.h"

#include "core/propagate.h"

namespace mirl {

namespace {

// The clause that implied v's current value, or null: a decision, a bind,
// an unassigned variable, or a reason clause deleted since.
const Clause *implication_clause_of(const SolverState *s, const Variable *v) {
    if (v->reason == -1) return nullptr;
    return clause_lookup(s, static_cast<uint32_t>(v->reason));
}

// True when every literal of r other than x is fixed at level 0 (or
// unassigned) or carries lit_keep. A clause that does not hold x did not
// imply it (its slot was reused after a deletion) and proves nothing.
bool implied(const SolverState *s, const Clause *r, uint32_t x) {
    const uint8_t *marks = s->mark_table.data;
    bool holds_x = false;
    for (uint32_t k = 0; k < r->length; k++) {
        uint32_t y = r->lits[k];
        if (y == x) {
            holds_x = true;
            continue;
        }
        if (marks[y] & lit_keep) continue;
        if (var_record(s, lit_var(y))->level <= 0) continue;
        return false;
    }
    return holds_x;
}

uint32_t true_literal(const SolverState *s, const Variable *v) {
    uint32_t positive = 2u * static_cast<uint32_t>(v->index);
    return lit_value(s, positive) == val_false ? positive + 1 : positive;
}

// Levels 1 .. level-1 in trail order: the false literal of every implied
// variable whose implication clause is covered gets lit_keep. One pass is
// enough since implication clauses only name earlier assignments.
void mark_implied_literals(SolverState *s) {
    uint8_t *marks = s->mark_table.data;
    for (int32_t l = 1; l < s->level; l++) {
        const LevelRecord &rec = s->levels.data[l];
        for (int32_t k = 0; k < rec.count; k++) {
            const Variable *v = s->trail.data[rec.start + k];
            const Clause *r = implication_clause_of(s, v);
            if (r == nullptr) continue;
            uint32_t f = true_literal(s, v);
            uint32_t g = lit_neg(f);
            if (!(marks[g] & lit_keep) && implied(s, r, f)) marks[g] |= lit_keep;
        }
    }
}

void clear_clause_marks(SolverState *s, const Clause *c) {
    uint8_t *marks = s->mark_table.data;
    for (uint32_t k = 0; k < c->length; k++) marks[c->lits[k]] &= static_cast<uint8_t>(~lit_keep);
}

void clear_trail_marks(SolverState *s) {
    uint8_t *marks = s->mark_table.data;
    for (int32_t l = 1; l < s->level; l++) {
        const LevelRecord &rec = s->levels.data[l];
        for (int32_t k = 0; k < rec.count; k++) {
            auto positive = 2u * static_cast<uint32_t>(s->trail.data[rec.start + k]->index);
            marks[positive] &= static_cast<uint8_t>(~lit_keep);
            marks[positive + 1] &= static_cast<uint8_t>(~lit_keep);
        }
    }
}

// ---- the global mode on demand ----------------------------------------------
//
// The forward pass above marks the false literal g of a variable at levels
// 1 .. level-1 when its implication clause is covered by literals marked
// before it. Since an implication clause only names earlier assignments,
// g's mark depends only on the marks of the literals of its own clause, so
// the same mark can be worked out for just the literals the final test asks
// about, depth first, each answer remembered in the mark byte: lit_keep for
// yes, lit_settled for no. Only the settled literals are cleared afterwards.

constexpr uint8_t lit_settled = 4;  // redundancy worked out (lit_keep: yes)
constexpr uint8_t lit_open = 8;     // on the search's stack

struct OnDemand {
    SolverState *s;
    uint8_t *marks;
    const uint8_t *values;
    int32_t top;  // the current level: only levels below it are marked
};

enum class Answer { no, yes, out_of_memory };

// The question of a literal y of an implication clause: does it count as
// marked? Yes when it is marked (in the clause, or found redundant) or
// fixed at level 0; no when it was found not redundant or cannot be;
// otherwise (settle) its own implication clause has to be looked at.
enum class Lookup { yes, no, settle };

inline Lookup look_up(const OnDemand &d, uint32_t y) {
    const uint8_t m = d.marks[y];
    if (m & lit_keep) return Lookup::yes;
    const int32_t level = var_record(d.s, lit_var(y))->level;
    if (level <= 0) return Lookup::yes;
    if (m & (lit_settled | lit_open)) return Lookup::no;
    if (level >= d.top || d.values[y] != val_false) return Lookup::no;
    return Lookup::settle;
}

// Starts the question of the false literal y; false when memory ran out.
bool open_question(OnDemand &d, uint32_t y) {
    SolverState *s = d.s;
    if (array_push(s->minimize_settled, y) != 0) return false;
    const Clause *r = implication_clause_of(s, var_record(s, lit_var(y)));
    bool holds = false;
    if (r != nullptr)
        for (uint32_t k = 0; k < r->length && !holds; k++) holds = r->lits[k] == lit_neg(y);
    if (!holds) {
        d.marks[y] |= lit_settled;
        return true;
    }
    if (array_push(s->minimize_frames, MinimizeFrame{r, y, 0}) != 0) {
        d.marks[y] |= lit_settled;
        return false;
    }
    d.marks[y] |= lit_open;
    return true;
}

// Answers the question of y, depth first without recursion.
Answer settle(OnDemand &d, uint32_t y) {
    GrowArray<MinimizeFrame> &frames = d.s->minimize_frames;
    const uint64_t base = frames.count;
    if (!open_question(d, y)) return Answer::out_of_memory;
    while (frames.count > base) {
        MinimizeFrame &f = frames.data[frames.count - 1];
        const uint32_t x = lit_neg(f.literal);
        bool covered = true, deeper = false;
        for (; f.next < f.reason->length; f.next++) {
            const uint32_t z = f.reason->lits[f.next];
            if (z == x) continue;
            const Lookup l = look_up(d, z);
            if (l == Lookup::yes) continue;
            if (l == Lookup::no) {
                covered = false;
                break;
            }
            // Looked at again once its own question is answered.
            if (!open_question(d, z)) return Answer::out_of_memory;
            deeper = true;
            break;
        }
        if (deeper) continue;
        d.marks[f.literal] = static_cast<uint8_t>((d.marks[f.literal] & ~lit_open) | lit_settled |
                                                  (covered ? lit_keep : 0));
        frames.count--;
    }
    return (d.marks[y] & lit_keep) ? Answer::yes : Answer::no;
}

// `implied` of the final test with the marks of the global pass.
Answer implied_on_demand(OnDemand &d, const Clause *r, uint32_t x) {
    bool holds_x = false;
    for (uint32_t k = 0; k < r->length; k++) {
        const uint32_t y = r->lits[k];
        if (y == x) {
            holds_x = true;
            continue;
        }
        Lookup l = look_up(d, y);
        if (l == Lookup::settle) {
            const Answer a = settle(d, y);
            if (a == Answer::out_of_memory) return a;
            l = a == Answer::yes ? Lookup::yes : Lookup::no;
        }
        if (l == Lookup::no) return Answer::no;
    }
    return holds_x ? Answer::yes : Answer::no;
}

void clear_settled(SolverState *s) {
    uint8_t *marks = s->mark_table.data;
    constexpr auto bits = static_cast<uint8_t>(~(lit_keep | lit_settled | lit_open));
    for (uint64_t k = 0; k < s->minimize_settled.count; k++) marks[s->minimize_settled.data[k]] &= bits;
    s->minimize_settled.count = 0;
    s->minimize_frames.count = 0;
}

// The kept literals of the global mode, worked out on demand; false when
// memory ran out (every mark is cleared then and nothing is kept).
bool keep_on_demand(SolverState *s, const Clause *c, uint32_t *kept, uint32_t *n) {
    OnDemand d{s, s->mark_table.data, s->value_table.data, s->level};
    s->minimize_settled.count = 0;
    s->minimize_frames.count = 0;
    for (uint32_t k = 1; k < c->length; k++) {
        uint32_t lit = c->lits[k];
        const Clause *e = implication_clause_of(s, var_record(s, lit_var(lit)));
        Answer a = e == nullptr ? Answer::no : implied_on_demand(d, e, lit_neg(lit));
        if (a == Answer::out_of_memory) {
            clear_settled(s);
            *n = 1;
            return false;
        }
        if (a == Answer::no) kept[(*n)++] = lit;
    }
    clear_settled(s);
    return true;
}

// Drops `id` from a literal's occurrence list, keeping the order.
void occurrence_drop(OccurrenceList *list, uint32_t id) {
    if (list == nullptr) return;
    for (uint64_t k = 0; k < list->count; k++) {
        if (list->data[k] != id) continue;
        for (uint64_t j = k + 1; j < list->count; j++) list->data[j - 1] = list->data[j];
        list->count--;
        return;
    }
}

bool clause_watched(const Clause *c) { return c->watch[0].position >= 0 || c->watch[1].position >= 0; }

Clause *find_other_learnt(SolverState *s, const Clause *self, const uint32_t *codes, uint32_t n, uint32_t hash) {
    const GrowArray<Clause *> &set = s->clause_lists[3];
    for (uint64_t k = 0; k < set.count; k++) {
        Clause *c = set.data[k];
        if (c != nullptr && c != self && c->length == n && c->hash == hash && literals_equal(s, c->lits, codes, n))
            return c;
    }
    return nullptr;
}

// Deletes the minimised clause in favour of its duplicate: out of the
// watches and occurrence lists too (a clause of set 3 is in them only after
// clean_clause or turning xref on), so that no list keeps its id.
void delete_learnt(SolverState *s, Clause *c) {
    clause_remove(s, c);
    clause_set_trim(s, 3);
}

// Writes the kept literals over the clause. A clause that was attached
// (clean_clause attaches learnt clauses too) is detached first and attached
// again, since its watch positions index the old literal array; the
// occurrence entries of the dropped literals go, those of the kept stay.
void rewrite_learnt(SolverState *s, Clause *c) {
    const uint32_t *codes = s->learnt_buffer.data;
    auto n = static_cast<uint32_t>(s->learnt_buffer.count);
    bool watched = clause_watched(c);
    if (watched) detach(s, c);
    if (s->options.xref) {
        uint8_t *marks = s->mark_table.data;
        for (uint32_t k = 0; k < n; k++) marks[codes[k]] |= lit_keep;
        for (uint32_t k = 0; k < c->length; k++)
            if (!(marks[c->lits[k]] & lit_keep)) occurrence_drop(occurrences_of(s, c->lits[k]), c->id);
        for (uint32_t k = 0; k < n; k++) marks[codes[k]] &= static_cast<uint8_t>(~lit_keep);
    }
    clause_rewrite(s, c, codes, n);
    if (watched) attach(s, c);
}

}  // namespace

int64_t minimize_clause(SolverState *s, Clause *c, bool global) {
    if (c->length == 1) return 1;
    // Room for every literal up front: the scan below then cannot fail
    // half-way and leave marks behind.
    if (array_reserve(s->learnt_buffer, c->length) != 0) return minimize_no_memory;
    s->learnt_buffer.count = 0;

    uint8_t *marks = s->mark_table.data;
    for (uint32_t k = 0; k < c->length; k++) marks[c->lits[k]] |= lit_keep;
    global = global && s->level > 1;

    uint32_t *kept = s->learnt_buffer.data;
    uint32_t n = 0;
    kept[n++] = c->lits[0];
    // The search on demand trusts every implication clause of the trail to
    // name only earlier assignments; after a clause changed above level 0
    // (or when its search cannot have memory) the whole forward pass runs.
    const bool on_demand = global && !s->reasons_changed && keep_on_demand(s, c, kept, &n);
    if (!on_demand) {
        if (global) mark_implied_literals(s);
        for (uint32_t k = 1; k < c->length; k++) {
            uint32_t d = c->lits[k];
            const Clause *e = implication_clause_of(s, var_record(s, lit_var(d)));
            if (e == nullptr || !implied(s, e, lit_neg(d))) kept[n++] = d;
        }
        if (global) clear_trail_marks(s);
    }
    s->learnt_buffer.count = n;
    clear_clause_marks(s, c);

    if (n == c->length) return n;
    uint32_t hash = clause_hash_codes(kept, n);
    if (find_other_learnt(s, c, kept, n, hash) != nullptr) {
        delete_learnt(s, c);
        return minimize_deleted;
    }
    rewrite_learnt(s, c);
    return n;
}

}  // namespace mirl
