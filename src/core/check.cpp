// The consistency checker (see check.h). Each `check_*` function below
// compares one pair of redundant structures and stops at the first
// disagreement; every list walk is bounded by the count its owner keeps, so
// a corrupted link ends the walk with a report instead of looping. Nothing
// here writes to the state.
#include "core/check.h"

#ifdef MIRL_CHECKS

#include <cstdarg>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/clauses.h"
#include "core/order.h"

namespace mirl {

namespace {

// Collects the first violation; later ones are ignored.
struct Report {
    std::string *text;
    bool failed = false;

    bool fail(const char *format, ...) __attribute__((format(printf, 2, 3))) {
        if (failed) return false;
        failed = true;
        char buffer[512];
        va_list ap;
        va_start(ap, format);
        std::vsnprintf(buffer, sizeof buffer, format, ap);
        va_end(ap);
        if (text != nullptr) *text = buffer;
        return false;
    }
};

uint32_t literal_count(const SolverState *s) { return 2u * variable_count(s); }
unsigned long long ull(uint64_t n) { return n; }

bool clause_holds_code(const Clause *c, uint32_t code) {
    for (uint32_t k = 0; k < c->length; k++)
        if (c->lits[k] == code) return true;
    return false;
}

bool satisfied_at_root(const SolverState *s, const Clause *c) {
    for (uint32_t k = 0; k < c->length; k++) {
        const uint32_t code = c->lits[k];
        if (code < literal_count(s) && lit_value(s, code) == val_true && var_record(s, lit_var(code))->level == 0)
            return true;
    }
    return false;
}

bool check_tables(const SolverState *s, Report &r) {
    const uint64_t n = s->variables.count;
    if (n == 0 || s->variables.data[0] != &s->constant_variable)
        return r.fail("variable 0 is not the constant record");
    if (s->value_table.count < 2 * n || s->mark_table.count < 2 * n)
        return r.fail("value or mark table shorter than %llu codes", ull(2 * n));
    if (s->trail.capacity < s->variables.capacity)
        return r.fail("trail capacity %llu below variable capacity %llu",
                      ull(s->trail.capacity),
                      ull(s->variables.capacity));
    for (uint64_t i = 0; i < n; i++) {
        const Variable *v = s->variables.data[i];
        if (v == nullptr) return r.fail("variable %llu has no record", ull(i));
        if (v->index != static_cast<int32_t>(i)) return r.fail("variable %llu has index %d", ull(i), v->index);
        if (v->pos.code != 2 * i || v->neg.code != 2 * i + 1)
            return r.fail("variable %llu literal codes %u/%u", ull(i), v->pos.code, v->neg.code);
        if ((v->pos.flags & litf_negative) || !(v->neg.flags & litf_negative))
            return r.fail("variable %llu literal polarity flags", ull(i));
    }
    return true;
}

bool check_values(const SolverState *s, Report &r) {
    const uint8_t *values = s->value_table.data;
    if (values[0] != val_true || values[1] != val_false)
        return r.fail("constants have values %u/%u", values[0], values[1]);
    uint64_t substituted = 0;
    for (uint32_t i = 1; i < variable_count(s); i++) {
        const uint8_t a = values[2 * i], b = values[2 * i + 1];
        const bool paired = (a == val_unassigned && b == val_unassigned) ||
                            (a == val_substituted && b == val_substituted) || (a == val_true && b == val_false) ||
                            (a == val_false && b == val_true);
        if (!paired) return r.fail("variable %u has value bytes %u/%u", i, a, b);
        const Variable *v = var_record(s, i);
        if (a == val_substituted) {
            substituted++;
            if (v->subst == nullptr) return r.fail("substituted variable %u has no replacement", i);
            if (v->subst->code >= literal_count(s) || lit_var(v->subst->code) == i)
                return r.fail("variable %u is replaced by code %u", i, v->subst->code);
        }
        if (a == val_unassigned && (v->level != -1 || v->reason != -1))
            return r.fail("unassigned variable %u has level %d reason %d", i, v->level, v->reason);
    }
    if (substituted != s->subst_count)
        return r.fail("%llu substituted variables, subst_count %llu", ull(substituted),
                      ull(s->subst_count));
    return true;
}

bool check_trail(const SolverState *s, Report &r) {
    const int32_t top = s->level;
    if (top < 0 || static_cast<uint64_t>(top) >= s->levels.count)
        return r.fail("level %d outside %llu level records", top, ull(s->levels.count));
    const LevelRecord *levels = s->levels.data;
    if (levels[0].start != 0) return r.fail("level 0 starts at %d", levels[0].start);
    uint64_t below = 0;
    for (int32_t l = 0; l <= top; l++) {
        if (levels[l].count < 0) return r.fail("level %d has count %d", l, levels[l].count);
        if (l > 0 && levels[l].start != levels[l - 1].start + levels[l - 1].count)
            return r.fail("level %d starts at %d, level %d ends at %d", l, levels[l].start, l - 1,
                          levels[l - 1].start + levels[l - 1].count);
        if (l < top) below += static_cast<uint64_t>(levels[l].count);
    }
    for (uint64_t l = static_cast<uint64_t>(top) + 1; l < s->levels.count; l++)
        if (levels[l].count != 0)
            return r.fail("level %llu above the current level %d holds %d entries", ull(l), top,
                          levels[l].count);
    if (s->trail_base != below + s->subst_count)
        return r.fail("trail_base %llu, levels below hold %llu, substitutions %llu",
                      ull(s->trail_base), ull(below),
                      ull(s->subst_count));
    const uint64_t end = static_cast<uint64_t>(levels[top].start) + static_cast<uint64_t>(levels[top].count);
    if (end > s->trail.capacity) return r.fail("trail end %llu beyond its capacity", ull(end));
    if (s->late_facts > static_cast<uint32_t>(levels[0].count))
        return r.fail("%u late facts but level 0 holds %d entries", s->late_facts, levels[0].count);

    std::vector<uint8_t> on_trail(variable_count(s), 0);
    for (int32_t l = 0; l <= top; l++) {
        for (int32_t k = 0; k < levels[l].count; k++) {
            const uint64_t t = static_cast<uint64_t>(levels[l].start) + static_cast<uint64_t>(k);
            const Variable *v = s->trail.data[t];
            if (v == nullptr || v->index <= 0 || static_cast<uint32_t>(v->index) >= variable_count(s) ||
                var_record(s, static_cast<uint32_t>(v->index)) != v)
                return r.fail("trail entry %llu is no variable record", ull(t));
            const uint32_t i = static_cast<uint32_t>(v->index);
            if (on_trail[i]++) return r.fail("variable %u is on the trail twice", i);
            const uint8_t value = lit_value(s, 2 * i);
            if (value != val_true && value != val_false)
                return r.fail("trail entry %llu (variable %u) has value %u", ull(t), i, value);
            if (v->level != l) return r.fail("variable %u on level %d's trail has level %d", i, l, v->level);
        }
    }
    for (uint32_t i = 1; i < variable_count(s); i++) {
        const uint8_t value = lit_value(s, 2 * i);
        if ((value == val_true || value == val_false) && !on_trail[i])
            return r.fail("assigned variable %u is not on the trail", i);
    }
    return true;
}

bool check_marks(const SolverState *s, Report &r) {
    const uint64_t count = s->marked_list.count;
    std::unordered_set<const Variable *> listed;
    Variable *const *link = &s->marked_list.head;
    for (uint64_t k = 0; k < count; k++) {
        const Variable *v = *link;
        if (v == nullptr) return r.fail("marked list ends after %llu of %llu records", ull(k),
                                        ull(count));
        if (!(v->flags & varf_mark_listed)) return r.fail("variable %d is on the marked list unflagged", v->index);
        if (!listed.insert(v).second) return r.fail("variable %d is on the marked list twice", v->index);
        link = &v->mark_next;
    }
    if (*link != nullptr) return r.fail("marked list runs past its count %llu", ull(count));
    if (s->marked_list.tail != link) return r.fail("marked list tail is not its last link");
    const uint8_t *marks = s->mark_table.data;
    for (uint32_t i = 0; i < variable_count(s); i++) {
        const Variable *v = var_record(s, i);
        const uint32_t f = v->flags;
        if ((f & varf_mark_listed) && !listed.count(v))
            return r.fail("variable %u is flagged listed but not listed", i);
        if ((f & varf_mark_seen) && !(f & varf_mark_listed)) return r.fail("variable %u is marked but not listed", i);
        if (f & varf_mark_both) return r.fail("variable %u keeps the transient intersection bit", i);
        if ((f & varf_mark_negative) && !(f & varf_mark_seen))
            return r.fail("variable %u has a polarity but no mark", i);
        if (marks[2 * i] != 0 || marks[2 * i + 1] != 0)
            return r.fail("literal mark bytes of variable %u are %u/%u between calls",
                          i, marks[2 * i], marks[2 * i + 1]);
    }
    return true;
}

bool check_queue(const SolverState *s, Report &r) {
    const uint64_t count = s->queue.count;
    if ((count == 0) != (s->queue.head == nullptr) || (count == 0) != (s->queue.tail == nullptr))
        return r.fail("queue count %llu disagrees with its ends", ull(count));
    std::unordered_set<const Literal *> queued;
    const Literal *last = nullptr;
    const Literal *l = s->queue.head;
    for (uint64_t k = 0; k < count; k++) {
        if (l == nullptr) return r.fail("queue ends after %llu of %llu literals", ull(k),
                                        ull(count));
        if (l->code >= literal_count(s) || lit_record(s, l->code) != l)
            return r.fail("queue entry %llu is no literal record", ull(k));
        if (!(l->flags & litf_in_queue)) return r.fail("queued literal code %u lacks its queue bit", l->code);
        if (!queued.insert(l).second) return r.fail("literal code %u is queued twice", l->code);
        last = l;
        l = l->queue_next;
    }
    if (last != s->queue.tail) return r.fail("queue tail is not its last entry");
    if (last != nullptr && last->queue_next != nullptr) return r.fail("queue tail links onwards");
    for (uint32_t code = 0; code < literal_count(s); code++) {
        const Literal *x = lit_record(s, code);
        if ((x->flags & litf_in_queue) && !queued.count(x))
            return r.fail("literal code %u has its queue bit but is not queued", code);
    }
    return true;
}

bool check_order(const SolverState *s, Report &r) {
    const uint64_t count = s->order_list.count;
    if (s->order_links.capacity < variable_count(s))
        return r.fail("order link table holds %u of %u entries", s->order_links.capacity, variable_count(s));
    const OrderLink *links = s->order_links.data;
    const bool skips_kept = s->order_links.stale == 0;
    std::vector<int32_t> listed_order;  // indexes from the head, for the skips
    std::unordered_set<const Variable *> listed;
    const Variable *prev = nullptr;
    const Variable *v = s->order_list.head;
    bool cursor_seen = s->decision_cursor == nullptr;
    bool decidable_before_cursor = false;
    int32_t decidable_index = 0;
    for (uint64_t k = 0; k < count; k++) {
        if (v == nullptr) return r.fail("order list ends after %llu of %llu records", ull(k),
                                        ull(count));
        if (v->index <= 0 || static_cast<uint32_t>(v->index) >= variable_count(s) ||
            var_record(s, static_cast<uint32_t>(v->index)) != v)
            return r.fail("order list entry %llu is no variable record", ull(k));
        if (!listed.insert(v).second) return r.fail("variable %d is on the order list twice", v->index);
        if (v->prev != prev) return r.fail("variable %d's backward link is wrong", v->index);
        const OrderLink &link = links[v->index];
        if (link.prev != (prev != nullptr ? prev->index : 0))
            return r.fail("order link table gives variable %d the predecessor %d, the list %d", v->index,
                          link.prev, prev != nullptr ? prev->index : 0);
        if (link.next != (v->next != nullptr ? v->next->index : 0))
            return r.fail("order link table gives variable %d the successor %d, the list %d", v->index, link.next,
                          v->next != nullptr ? v->next->index : 0);
        const int32_t skip = k >= order_skip_span ? listed_order[k - order_skip_span] : 0;
        if (skips_kept && link.skip != skip)
            return r.fail("order link table gives variable %d the skip %d, the list %d", v->index, link.skip, skip);
        listed_order.push_back(v->index);
        if (prev != nullptr && !(prev->order_key < v->order_key))
            return r.fail("order keys do not ascend at variable %d (%.17g after %.17g)",
                          v->index, v->order_key, prev->order_key);
        if (v == s->decision_cursor) cursor_seen = true;
        if (!cursor_seen && !decidable_before_cursor && var_unassigned(s, v) && var_eligible(s, v)) {
            decidable_before_cursor = true;
            decidable_index = v->index;
        }
        prev = v;
        v = v->next;
    }
    if (v != nullptr) return r.fail("order list runs past its count %llu", ull(count));
    if (prev != s->order_list.tail) return r.fail("order list tail is not its last record");
    if (!cursor_seen)
        return r.fail("decision cursor (variable %d) is not on the order list", s->decision_cursor->index);
    if (decidable_before_cursor) {
        if (s->decision_cursor == nullptr)
            return r.fail("no decision cursor, yet variable %d is unbound and eligible", decidable_index);
        return r.fail("unbound eligible variable %d precedes the decision cursor (variable %d)", decidable_index,
                      s->decision_cursor->index);
    }
    for (uint32_t i = 0; i < variable_count(s); i++) {
        const Variable *x = var_record(s, i);
        if (!listed.count(x) && (x->next != nullptr || x->prev != nullptr || links[i].prev != 0 || links[i].next != 0))
            return r.fail("variable %u is off the order list but keeps links", i);
    }
    return true;
}

// Every stored clause, by record address, with the set it is in.
using ClauseSetOf = std::unordered_map<const Clause *, uint32_t>;

bool check_clause_sets(const SolverState *s, ClauseSetOf &live, Report &r) {
    for (uint32_t set = 0; set < 4; set++) {
        const GrowArray<Clause *> &table = s->clause_lists[set];
        int64_t stored = 0;
        for (uint64_t p = 0; p < table.count; p++) {
            const Clause *c = table.data[p];
            if (c == nullptr) continue;
            stored++;
            if (!live.emplace(c, set).second) return r.fail("a clause record is stored twice (set %u)", set);
            if (c->id != clause_ref(set, static_cast<uint32_t>(p)))
                return r.fail("clause at %u:%llu carries id %u", set, ull(p), c->id);
            if (c->length == 0) return r.fail("clause %u is empty", c->id);
            if (clause_size_class(c) != size_class_for(c->length))
                return r.fail("clause %u of length %u has size class %u", c->id, c->length, clause_size_class(c));
            if (c->flags & (clf_conflicting | clf_touched))
                return r.fail("clause %u keeps a flag of a finished propagation pass", c->id);
            const uint32_t units = c->flags & clf_units_mask;
            if (units != 0 && units * 32 < clause_bytes(c->length))
                return r.fail("clause %u of length %u lies in a record of %u bytes", c->id, c->length, units * 32);
            if ((c->flags & ~(clf_units_mask | clf_size_mask | clf_dead | clf_allocated)) != 0)
                return r.fail("clause %u has stray flag bits %#x", c->id, c->flags);
            // A clause at work (outside set 3, or watched) holds only
            // representatives: it must never imply a substituted variable.
            const bool at_work = set != 3 || c->watch[0].position >= 0;
            for (uint32_t k = 0; k < c->length; k++) {
                const uint32_t code = c->lits[k];
                if (code >= literal_count(s)) return r.fail("clause %u holds code %u", c->id, code);
                if (at_work && code > lit_false && lit_value(s, code) == val_substituted)
                    return r.fail("clause %u at work holds code %u of a substituted variable", c->id, code);
                // Each substitution that drops a literal leaves a constant in
                // its place, so the constants may repeat; literals may not.
                if (code <= lit_false) continue;
                for (uint32_t j = 0; j < k; j++)
                    if (c->lits[j] == code) return r.fail("clause %u holds code %u twice", c->id, code);
            }
            // A substitution that satisfies a clause puts the constant true
            // in the place of the eliminated literal and only takes that
            // literal's term out of the hash, so such clauses are skipped.
            if (!clause_holds_code(c, lit_true) && c->hash != clause_hash_codes(c->lits, c->length))
                return r.fail("clause %u has a stale hash", c->id);
        }
        if (stored != s->clause_count[set])
            return r.fail("set %u stores %lld clauses, its count says %d", set, static_cast<long long>(stored),
                          s->clause_count[set]);
    }
    if (s->touched_clauses.count != 0) return r.fail("%llu touched clauses left after the pass",
                                                     ull(s->touched_clauses.count));
    // The conflicts of the last pass stay readable until the next pass
    // starts, whatever the limit was lowered to meanwhile: the count is
    // bounded by the slots, and the limit only governs passes to come.
    if (s->conflicting_count < 0 || s->conflicting_count > conflict_slots || s->max_conflicting < 1 ||
        s->max_conflicting > conflict_slots)
        return r.fail("conflict count %d, limit %d", s->conflicting_count, s->max_conflicting);
    return true;
}

bool check_watches(const SolverState *s, const ClauseSetOf &live, Report &r) {
    uint64_t watched_slots = 0;
    for (const auto &[c, set] : live) {
        const int32_t p0 = c->watch[0].position, p1 = c->watch[1].position;
        for (const WatchSlot &slot : c->watch)
            if (slot.position >= 0) {
                if (static_cast<uint32_t>(slot.position) >= c->length)
                    return r.fail("clause %u watches position %d of %u", c->id, slot.position, c->length);
                watched_slots++;
            }
        if (p0 >= 0 && p0 == p1) return r.fail("clause %u watches position %d twice", c->id, p0);
        // Sets 0..2 are always watched while they live, dead clauses aside
        // (a pass detaches what it marked dead).
        // A clause that a substitution shrank to its last free literal
        // implies that literal at level 0 and is left unwatched: satisfied
        // at level 0, it needs no watch.
        const bool dead = (c->flags & clf_dead) != 0;
        if (set != 3 && !dead && !satisfied_at_root(s, c) && (p0 < 0 || (c->length >= 2 && p1 < 0)))
            return r.fail("live clause %u is not watched (%d, %d)", c->id, p0, p1);
    }
    uint64_t chained = 0;
    for (uint32_t code = 0; code < literal_count(s); code++) {
        const WatchSlot *slot = lit_record(s, code)->watches;
        while (slot != nullptr) {
            if (chained++ >= watched_slots)
                return r.fail("watch chains hold more slots than clauses watch (at code %u)", code);
            const Clause *c = slot_clause(const_cast<WatchSlot *>(slot));
            if (!live.count(c)) return r.fail("watch chain of code %u holds a slot of no stored clause", code);
            if (slot->position < 0 || static_cast<uint32_t>(slot->position) >= c->length ||
                c->lits[slot->position] != code)
                return r.fail("clause %u's slot %d (position %d) is on the chain of code %u", c->id, slot_index(slot),
                              slot->position, code);
            slot = slot->link;
        }
    }
    if (chained != watched_slots)
        return r.fail("%llu slots are watched but %llu are on chains", ull(watched_slots),
                      ull(chained));
    return true;
}

bool list_holds(const OccurrenceList *list, uint32_t id) {
    if (list == nullptr) return false;
    for (uint64_t i = 0; i < list->count; i++)
        if (list->data[i] == id) return true;
    return false;
}

bool check_occurrences(const SolverState *s, const ClauseSetOf &live, Report &r) {
    for (const uint64_t entries : {s->occurrence_table.count, s->symbol_table.count})
        if (entries != 0 && entries != 2 * s->variables.capacity)
            return r.fail("a per-literal table has %llu entries for room for %llu variables", ull(entries),
                          ull(s->variables.capacity));
    for (uint32_t code = 0; code < literal_count(s); code++) {
        const OccurrenceList *list = occurrences_of(s, code);
        if (list == nullptr || list->count == 0) continue;
        if (!s->options.xref) return r.fail("code %u keeps occurrences with xref off", code);
        if (code <= lit_false) return r.fail("constant code %u keeps occurrences", code);
        std::unordered_set<uint32_t> ids;
        for (uint64_t i = 0; i < list->count; i++) {
            const uint32_t id = list->data[i];
            if (!ids.insert(id).second) return r.fail("occurrences of code %u list clause %u twice", code, id);
            const Clause *c = clause_lookup(s, id);
            if (c == nullptr) return r.fail("occurrences of code %u list the empty position %u", code, id);
            if (!clause_holds_code(c, code))
                return r.fail("occurrences of code %u list clause %u, which lacks it", code, id);
        }
    }
    if (!s->options.xref) return true;
    for (const auto &[c, set] : live) {
        // Passive clauses (set 3) are listed for all their literals or for
        // none: adding them lists none, turning xref on or cleaning them
        // lists all.
        uint32_t listed = 0, listable = 0;
        for (uint32_t k = 0; k < c->length; k++) {
            const uint32_t code = c->lits[k];
            if (code <= lit_false) continue;
            listable++;
            listed += list_holds(occurrences_of(s, code), c->id);
        }
        if (listed != listable && (set != 3 || listed != 0))
            return r.fail("clause %u is listed for %u of its %u literals", c->id, listed, listable);
    }
    return true;
}

bool check_hash_index(const SolverState *s, const ClauseSetOf &live, Report &r) {
    const uint64_t buckets = s->clause_hash.count;
    if (buckets != 0 && (buckets & (buckets - 1)) != 0)
        return r.fail("hash index has %llu buckets", ull(buckets));
    std::unordered_set<uint32_t> indexed;
    for (uint64_t b = 0; b < buckets; b++) {
        const HashBucket &bucket = s->clause_hash.data[b];
        const HashNode *last = nullptr;
        const HashNode *node = bucket.head;
        for (uint64_t k = 0; k < bucket.count; k++) {
            if (node == nullptr) return r.fail("hash bucket %llu ends early", ull(b));
            if (!s->options.hash) return r.fail("hash index holds entries with hash off");
            if ((node->hash & (buckets - 1)) != b)
                return r.fail("clause %u is in hash bucket %llu", node->id, ull(b));
            const Clause *c = clause_lookup(s, node->id);
            if (c == nullptr || clause_ref_set(node->id) == 3)
                return r.fail("hash index entry %u names no indexed clause", node->id);
            if (c->hash != node->hash) return r.fail("hash index entry of clause %u has a stale hash", node->id);
            if (!indexed.insert(node->id).second) return r.fail("clause %u is indexed twice", node->id);
            last = node;
            node = node->next;
        }
        if (node != nullptr) return r.fail("hash bucket %llu runs past its count", ull(b));
        if (bucket.tail != last) return r.fail("hash bucket %llu has a wrong tail", ull(b));
    }
    if (!s->options.hash) return true;
    for (const auto &[c, set] : live)
        if (set != 3 && !indexed.count(c->id)) return r.fail("clause %u is missing from the hash index", c->id);
    return true;
}

bool check_symbols(const SolverState *s, Report &r) {
    std::unordered_set<const Symbol *> symbols;
    uint64_t total = 0;
    for (uint64_t b = 0; b < s->symbol_buckets.count; b++) {
        const SymbolBucket &bucket = s->symbol_buckets.data[b];
        const Symbol *prev = nullptr;
        const Symbol *sym = bucket.head;
        for (uint64_t k = 0; k < bucket.count; k++) {
            if (sym == nullptr) return r.fail("symbol bucket %llu ends early", ull(b));
            if (sym->prev != prev) return r.fail("symbol bucket %llu has a wrong backward link", ull(b));
            if (!symbols.insert(sym).second) return r.fail("a symbol is in the table twice");
            for (uint64_t i = 0; i < sym->value.count; i++)
                if (sym->value.data[i] >= literal_count(s))
                    return r.fail("a symbol value holds code %u", sym->value.data[i]);
            prev = sym;
            sym = sym->next;
        }
        if (sym != nullptr || bucket.tail != prev)
            return r.fail("symbol bucket %llu runs past its count or has a wrong tail", ull(b));
        total += bucket.count;
    }
    if (total != s->symbol_count) return r.fail("%llu symbols in buckets, symbol_count %llu",
                                                ull(total),
                                                ull(s->symbol_count));
    uint64_t references = 0;
    for (uint32_t code = 0; code < literal_count(s); code++) {
        const SymbolList *list = symbols_of(s, code);
        if (list == nullptr) continue;
        for (uint64_t i = 0; i < list->count; i++) {
            const SymbolRef &ref = list->data[i];
            if (!symbols.count(ref.symbol))
                return r.fail("code %u refers to a symbol that is not in the table", code);
            if (ref.position >= ref.symbol->value.count || ref.symbol->value.data[ref.position] != code)
                return r.fail("code %u refers to position %u of a symbol that does not hold it there",
                              code, ref.position);
            references++;
        }
    }
    uint64_t values = 0;
    for (const Symbol *sym : symbols) values += sym->value.count;
    if (references != values)
        return r.fail("symbol values hold %llu literals, back-references %llu", ull(values),
                      ull(references));
    return true;
}

}  // namespace

bool check_state(const SolverState *s, std::string *violation) {
    Report r{violation};
    if (!check_tables(s, r)) return false;
    if (!check_values(s, r) || !check_trail(s, r) || !check_marks(s, r) || !check_queue(s, r) || !check_order(s, r))
        return false;
    ClauseSetOf live;
    if (!check_clause_sets(s, live, r)) return false;
    if (!check_watches(s, live, r) || !check_occurrences(s, live, r) || !check_hash_index(s, live, r)) return false;
    return check_symbols(s, r);
}

}  // namespace mirl

#else

namespace mirl {

bool check_state(const SolverState *, std::string *) { return true; }

}  // namespace mirl

#endif
