// The trail and its level records: opening and leaving levels, undoing a
// level's assignments with phase saving, chronological backtracking support,
// the phase rule for decisions, and level-0 facts asserted from any level.
// Propagation (propagate.cpp) writes the trail through `assign`; everything
// that takes assignments back lives here.
#include "core/trail.h"

#include <cstring>

#include "core/order.h"
#include "core/propagate.h"
#include "core/queue.h"

namespace mirl {

namespace {

constexpr LevelRecord fresh_level{lit_false, 0, level_open, 0, 0};

// One random bit of the phase stream, bits of each byte from 0 to 7.
bool next_phase_bit(SolverState *s) {
    if (s->phase_bits >= 8) {
        s->phase_byte = rng_byte(s);
        s->phase_bits = 0;
    }
    return (s->phase_byte >> s->phase_bits++) & 1u;
}

// Opens a gap at the end of level 0's segment by moving `entries` trail
// entries from there up by one, and shifts the starts of levels 1..top.
void open_root_gap(SolverState *s, uint64_t entries, int32_t top) {
    LevelRecord *levels = s->levels.data;
    Variable **trail = s->trail.data;
    uint64_t end = static_cast<uint64_t>(levels[0].count);
    std::memmove(trail + end + 1, trail + end, sizeof(Variable *) * entries);
    for (int32_t l = 1; l <= top; l++) levels[l].start++;
}

// The consequences a late level-0 fact had above level 0 are undone with
// their levels; visiting its false literal again re-derives them (and any
// clause it falsifies) at the level the search returns to.
void requeue_late_facts(SolverState *s) {
    const LevelRecord &root = s->levels.data[0];
    const uint8_t *values = s->value_table.data;
    int32_t first = root.count - static_cast<int32_t>(s->late_facts);
    for (int32_t i = first < 0 ? 0 : first; i < root.count; i++) {
        uint32_t code = lit_make(static_cast<uint32_t>(s->trail.data[i]->index), false);
        queue_push(s, lit_record(s, values[code] == val_false ? code : code ^ 1u));
    }
}

}  // namespace

int32_t trail_push(SolverState *s) {
    int32_t p = s->level;
    if (static_cast<uint64_t>(p) + 1 >= s->levels.count) {
        uint64_t old = s->levels.count;
        if (array_resize(s->levels, static_cast<uint64_t>(p) + 2) != 0) return -1;
        for (uint64_t l = old; l < s->levels.count; l++) s->levels.data[l] = fresh_level;
    }
    LevelRecord *levels = s->levels.data;
    levels[p + 1].start = levels[p].start + levels[p].count;
    s->trail_base += static_cast<uint64_t>(levels[p].count);
    s->level = p + 1;
    if (s->level > s->max_level) s->max_level = s->level;
    return p;
}

void trail_pop_one(SolverState *s) {
    if (s->level - 1 < 0) return;
    s->trail_base -= static_cast<uint64_t>(s->levels.data[s->level - 1].count);
    s->level--;
    if (s->level < s->min_level) s->min_level = s->level;
    // Every implication clause above level 0 is about to be undone.
    if (s->level == 0) s->reasons_changed = false;
}

void trail_undo_level(SolverState *s, int32_t level) {
    LevelRecord &r = s->levels.data[level];
    Variable **entries = s->trail.data + r.start;
    uint8_t *values = s->value_table.data;
    for (int32_t i = r.count - 1; i >= 0; i--) {
        Variable *v = entries[i];
        uint32_t index = static_cast<uint32_t>(v->index);
        if (i > 0) {
            uint32_t phase = values[2 * index];
            v->flags = (v->flags & ~varf_phase_mask) | (phase << varf_phase_shift);
        }
        values[2 * index] = val_unassigned;
        values[2 * index + 1] = val_unassigned;
        cursor_offer(s, v);
        v->level = -1;
        v->reason = -1;
    }
    r.count = 0;
    if (s->queue.count > 0) queue_drop_unassigned(s);
    requeue_late_facts(s);
}

void trail_pop_to(SolverState *s, int32_t target) {
    while (s->level > target) {
        trail_pop_one(s);
        LevelRecord &left = s->levels.data[s->level + 1];
        trail_undo_level(s, s->level + 1);
        trail_reset_level(left);
    }
}

uint8_t phase_for(SolverState *s, Variable *v) {
    uint32_t phase = s->options.use_phase ? (v->flags & varf_phase_mask) >> varf_phase_shift
                                          : static_cast<uint32_t>(s->options.init_phase);
    if (phase == val_true || phase == val_false) return static_cast<uint8_t>(phase);
    return next_phase_bit(s) ? val_true : val_false;
}

bool record_and_assign(SolverState *s, uint32_t code, uint8_t a) {
    uint8_t value = lit_value(s, code);
    if (value != val_unassigned) return value == a;
    int32_t p = s->level;
    if (p > 0) {
        LevelRecord &r = s->levels.data[p];
        r.decision = static_cast<int32_t>(code);
        r.value = a;
        r.state = level_first;
    }
    assign(s, code, a, -1, p);
    return true;
}

void trail_assign_root(SolverState *s, uint32_t code) {
    int32_t p = s->level;
    if (p == 0) {
        assign(s, code, val_true, -1, 0);
        return;
    }
    LevelRecord *levels = s->levels.data;
    uint64_t end = static_cast<uint64_t>(levels[p].start + levels[p].count);
    open_root_gap(s, end - static_cast<uint64_t>(levels[0].count), p);
    // assign writes the gap, level 0's next entry; level 0 lies below the
    // current level, so the base grows with it.
    s->trail_base++;
    s->late_facts++;
    assign(s, code, val_true, -1, 0);
}

void trail_move_to_root(SolverState *s, Variable *v) {
    int32_t q = v->level;
    LevelRecord *levels = s->levels.data;
    Variable **trail = s->trail.data;
    int32_t at = levels[q].start + levels[q].count - 1;
    while (at >= levels[q].start && trail[at] != v) at--;
    if (at < levels[q].start) return;  // not on its level's trail: leave it
    open_root_gap(s, static_cast<uint64_t>(at) - static_cast<uint64_t>(levels[0].count), q);
    trail[levels[0].count] = v;
    levels[0].count++;
    levels[q].count--;
    // Level 0 lies below the current level; level q leaves the base only
    // when it is the current level itself.
    if (q == s->level) s->trail_base++;
    s->late_facts++;
    v->level = 0;
    v->reason = -1;
    // Clauses stored since the literal was visited may be falsified by it
    // for good now; the next pass looks again.
    uint32_t code = lit_make(static_cast<uint32_t>(v->index), false);
    queue_push(s, lit_record(s, lit_value(s, code) == val_false ? code : code ^ 1u));
}

}  // namespace mirl
