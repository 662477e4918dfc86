// Inspection functions: the propagation queue, the caller's marks and their
// intersections, the bindings of the trail, and the clause sets (walks,
// offsets, the stamp sort, clauses by literal). Each decodes its arguments,
// asks the core, and shapes the answer as a tuple or a list as asked.
#include <algorithm>
#include <vector>

#include "core/bindings.h"
#include "core/clausesets.h"
#include "core/mark_sets.h"
#include "core/marks.h"
#include "core/queue.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {

namespace {

ERL_NIF_TERM make_sequence(ErlNifEnv *env, const std::vector<ERL_NIF_TERM> &terms, bool as_tuple) {
    const auto n = static_cast<unsigned>(terms.size());
    return as_tuple ? enif_make_tuple_from_array(env, terms.data(), n) : enif_make_list_from_array(env, terms.data(), n);
}

ERL_NIF_TERM make_int_sequence(ErlNifEnv *env, const int32_t *values, uint64_t n, bool as_tuple) {
    std::vector<ERL_NIF_TERM> terms(n);
    for (uint64_t i = 0; i < n; i++) terms[i] = enif_make_int(env, values[i]);
    return make_sequence(env, terms, as_tuple);
}

// A non-negative 32-bit integer argument.
bool decode_count(ErlNifEnv *env, ERL_NIF_TERM arg, int32_t *out) {
    int value;
    if (!enif_get_int(env, arg, &value) || value < 0) return false;
    *out = value;
    return true;
}

// ---- literal sets --------------------------------------------------------
// The set argument of the mark functions: an integer naming a trail level,
// or a tuple or list of literal terms (borrowed from the argument).
struct LiteralSet {
    bool is_level;
    int32_t level;
    const ERL_NIF_TERM *items;
    unsigned count;
};

bool decode_literal_set(ErlNifEnv *env, const SolverState *s, ERL_NIF_TERM arg, LiteralSet *set) {
    int level;
    if (enif_get_int(env, arg, &level)) {
        if (!mark_level_valid(s, level)) return false;
        *set = LiteralSet{true, level, nullptr, 0};
        return true;
    }
    int arity;
    const ERL_NIF_TERM *items;
    if (enif_get_tuple(env, arg, &arity, &items)) {
        *set = LiteralSet{false, 0, items, static_cast<unsigned>(arity)};
        return true;
    }
    unsigned length;
    if (enif_get_list_items(env, arg, &items, &length)) {
        *set = LiteralSet{false, 0, items, length};
        return true;
    }
    return false;
}

// True when every literal of the set decodes.
bool literal_set_decodes(const SolverState *s, const LiteralSet &set) {
    uint32_t code;
    for (unsigned i = 0; i < set.count; i++)
        if (!decode_literal(s, set.items[i], &code)) return false;
    return true;
}

// One report of intersect_var/4 for a literal of the set whose variable is
// marked: the literal itself on a hit, else {Literal, marked literal}.
ERL_NIF_TERM intersection_report(ErlNifEnv *env, const SolverState *s, uint32_t code, ERL_NIF_TERM hit_term,
                                 ERL_NIF_TERM literal_arg) {
    if (mark_hit(s, code)) return hit_term;
    const Variable *v = var_record(s, lit_var(code));
    return enif_make_tuple(env, 2, literal_arg, enif_make_int(env, marked_literal_int(v)));
}

}  // namespace

// ---- propagation queue -----------------------------------------------------

MIRL_NIF(queue_first) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    Literal *head = queue_head_literal(s);
    return head == nullptr ? enif_make_false(env) : enif_make_int(env, queue_literal_int(head));
}

MIRL_NIF(queue_next) {
    SolverState *s = get_solver(env, argc, argv);
    uint32_t code;
    if (s == nullptr || !decode_literal(s, argv[1], &code)) return enif_make_badarg(env);
    Literal *next = queue_literal_after(s, code);
    return next == nullptr ? enif_make_false(env) : enif_make_int(env, queue_literal_int(next));
}

MIRL_NIF(queue_clear) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    queue_clear_all(s);
    return enif_make_true(env);
}

// ---- marks ---------------------------------------------------------------------

// mark/2 starts from an empty set; mark/3 with Reset false adds to it. The
// marks are cleared before the set is decoded, so a bad set leaves none; a
// literal that does not decode stops the marking there.
MIRL_NIF(mark) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    bool reset = true;
    if (argc == 3 && !decode_bool(argv[2], &reset)) return enif_make_badarg(env);
    if (reset) marks_clear(s);
    LiteralSet set;
    if (!decode_literal_set(env, s, argv[1], &set)) return enif_make_badarg(env);
    if (set.is_level) {
        mark_level(s, set.level);
        return enif_make_none(env);
    }
    for (unsigned i = 0; i < set.count; i++) {
        uint32_t code;
        if (!decode_literal(s, set.items[i], &code)) return raise(env, atoms.literal);
        mark_literal(s, code);
    }
    return enif_make_none(env);
}

MIRL_NIF(unmark) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    marks_clear(s);
    return enif_make_none(env);
}

MIRL_NIF(get_marked) {
    SolverState *s = get_solver(env, argc, argv);
    bool as_tuple;
    if (s == nullptr || !decode_bool(argv[1], &as_tuple)) return enif_make_badarg(env);
    std::vector<ERL_NIF_TERM> terms;
    terms.reserve(s->marked_list.count);
    for (const Variable *v = s->marked_list.head; v != nullptr; v = v->mark_next)
        if (v->flags & varf_mark_seen) terms.push_back(enif_make_int(env, marked_literal_int(v)));
    return make_sequence(env, terms, as_tuple);
}

// The whole set is validated before the first mark is flagged, so a failing
// call leaves the marks exactly as they were.
MIRL_NIF(intersect_marks) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    LiteralSet set;
    if (!decode_literal_set(env, s, argv[1], &set)) return enif_make_badarg(env);
    if (set.is_level) {
        mark_flag_level(s, set.level);
    } else {
        if (!literal_set_decodes(s, set)) return raise(env, atoms.literal);
        for (unsigned i = 0; i < set.count; i++) {
            uint32_t code;
            decode_literal(s, set.items[i], &code);
            mark_flag_hit(s, code);
        }
    }
    marks_keep_flagged(s);
    return enif_make_none(env);
}

MIRL_NIF(intersect_var) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    uint32_t literal_code;
    if (!decode_literal(s, argv[1], &literal_code)) return raise(env, atoms.literal);
    bool as_tuple;
    if (!decode_bool(argv[3], &as_tuple)) return enif_make_badarg(env);
    LiteralSet set;
    if (!decode_literal_set(env, s, argv[2], &set)) return enif_make_badarg(env);
    std::vector<ERL_NIF_TERM> reports;
    if (set.is_level) {
        const LevelRecord &record = s->levels.data[set.level];
        for (int32_t i = 0; i < record.count; i++) {
            uint32_t code = trail_true_literal(s, s->trail.data[record.start + i]);
            if (mark_on_variable(s, code))
                reports.push_back(intersection_report(env, s, code, enif_make_int(env, lit_to_int(code)), argv[1]));
        }
    } else {
        for (unsigned i = 0; i < set.count; i++) {
            uint32_t code;
            if (!decode_literal(s, set.items[i], &code)) return raise(env, atoms.literal);
            if (mark_on_variable(s, code)) reports.push_back(intersection_report(env, s, code, set.items[i], argv[1]));
        }
    }
    return make_sequence(env, reports, as_tuple);
}

// ---- bindings --------------------------------------------------------------------

MIRL_NIF(get_bindings) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    int32_t level = s->level;
    bool newest_first = false;
    bool as_tuple = true;
    if (argc >= 2 && !decode_count(env, argv[1], &level)) return enif_make_badarg(env);
    if (argc >= 3 && !decode_bool(argv[2], &newest_first)) return enif_make_badarg(env);
    if (argc >= 4 && !decode_bool(argv[3], &as_tuple)) return enif_make_badarg(env);
    if (level > s->level) return make_sequence(env, {}, as_tuple);
    std::vector<int32_t> values(static_cast<size_t>(s->levels.data[level].count));
    uint32_t n = bindings_of_level(s, level, newest_first, values.data());
    return make_int_sequence(env, values.data(), n, as_tuple);
}

MIRL_NIF(get_nbindings) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr) return enif_make_badarg(env);
    int32_t count;
    bool oldest_first;
    bool as_tuple = true;
    if (!decode_count(env, argv[1], &count) || !decode_bool(argv[2], &oldest_first)) return enif_make_badarg(env);
    if (argc >= 4 && !decode_bool(argv[3], &as_tuple)) return enif_make_badarg(env);
    const uint64_t limit = std::min<uint64_t>(static_cast<uint64_t>(count), bindings_total(s));
    std::vector<int32_t> values(limit);
    uint64_t n = bindings_across_levels(s, limit, oldest_first, values.data());
    return make_int_sequence(env, values.data(), n, as_tuple);
}

MIRL_NIF(get_number_of_bindings) {
    SolverState *s = get_solver(env, argc, argv);
    int32_t level;
    if (s == nullptr || !decode_count(env, argv[1], &level) || static_cast<uint64_t>(level) >= s->levels.count)
        return enif_make_badarg(env);
    return enif_make_int(env, s->levels.data[level].count);
}

MIRL_NIF(get_decision) {
    SolverState *s = get_solver(env, argc, argv);
    int32_t level;
    if (s == nullptr || !decode_count(env, argv[1], &level) || level > s->level) return enif_make_badarg(env);
    const int32_t decision = s->levels.data[level].decision;
    if (decision == static_cast<int32_t>(lit_false)) return enif_make_false(env);
    return enif_make_int(env, lit_to_int(static_cast<uint32_t>(decision)));
}

MIRL_NIF(get_undo_state) {
    SolverState *s = get_solver(env, argc, argv);
    int32_t level;
    if (s == nullptr || !decode_count(env, argv[1], &level) || level > s->level) return enif_make_badarg(env);
    const char *name = undo_state_name(s->levels.data[level].state);
    if (name == nullptr) return enif_make_badarg(env);
    return enif_make_string(env, name, ERL_NIF_LATIN1);
}

// ---- clause sets ------------------------------------------------------------------

MIRL_NIF(clauseset_size) {
    SolverState *s = get_solver(env, argc, argv);
    uint32_t set;
    if (s == nullptr || !decode_clause_set(env, argv[1], &set)) return enif_make_badarg(env);
    return enif_make_uint(env, clauseset_size(s, set));
}

// clauseset_offset/2 reads the set's offset, clauseset_offset/3 sets it to an
// unsigned 32-bit position (one past the table simply finds nothing).
MIRL_NIF(clauseset_offset) {
    SolverState *s = get_solver(env, argc, argv);
    uint32_t set;
    if (s == nullptr || !decode_clause_set(env, argv[1], &set)) return enif_make_badarg(env);
    if (argc == 2) return enif_make_uint(env, static_cast<uint32_t>(s->set_offset[set]));
    unsigned offset;
    if (!enif_get_uint(env, argv[2], &offset)) return enif_make_badarg(env);
    s->set_offset[set] = static_cast<int32_t>(offset);
    return enif_make_none(env);
}

MIRL_NIF(clauseset_first) {
    SolverState *s = get_solver(env, argc, argv);
    uint32_t set;
    if (s == nullptr || !decode_clause_set(env, argv[1], &set)) return enif_make_badarg(env);
    const uint32_t ref = clauseset_first(s, set);
    return ref == clause_no_ref ? enif_make_false(env) : enif_make_uint(env, ref);
}

MIRL_NIF(clauseset_next) {
    SolverState *s = get_solver(env, argc, argv);
    unsigned ref;
    if (s == nullptr || !enif_get_uint(env, argv[1], &ref)) return enif_make_badarg(env);
    const uint32_t next = clauseset_next(s, ref);
    return next == clause_no_ref ? enif_make_false(env) : enif_make_uint(env, next);
}

MIRL_NIF(clauseset_sort) {
    SolverState *s = get_solver(env, argc, argv);
    uint32_t set;
    if (s == nullptr || !decode_clause_set(env, argv[1], &set)) return enif_make_badarg(env);
    if (s->level != 0) return raise(env, atoms.level);
    if (clauseset_sort(s, set) != 0) return raise(env, atoms.memory_limit);
    return enif_make_none(env);
}

// Clause ids watching or containing a literal, each put in front of the
// result: the watch chain comes out tail first, occurrence lists reversed.
MIRL_NIF(get_clauses) {
    SolverState *s = get_solver(env, argc, argv);
    uint32_t code;
    if (s == nullptr || !decode_literal_code(s, argv[1], &code)) return enif_make_badarg(env);
    const ERL_NIF_TERM kind = argv[2];
    std::vector<ERL_NIF_TERM> ids;
    auto add_occurrences = [&](uint32_t literal) {
        const OccurrenceList *list = occurrences_of(s, literal);
        if (!s->options.xref || list == nullptr) return;
        for (uint64_t i = 0; i < list->count; i++)
            if (clause_lookup(s, list->data[i]) != nullptr) ids.push_back(enif_make_uint(env, list->data[i]));
    };
    if (kind == atoms.watch) {
        for (WatchSlot *slot = lit_record(s, code)->watches; slot != nullptr; slot = slot->link)
            ids.push_back(enif_make_uint(env, slot_clause(slot)->id));
    } else if (kind == atoms.literal) {
        add_occurrences(code);
    } else if (kind == atoms.variable) {
        add_occurrences(code & ~1u);
        add_occurrences(code | 1u);
    } else {
        return enif_make_badarg(env);
    }
    return enif_make_list_from_array_reversed(env, ids.data(), static_cast<unsigned>(ids.size()));
}

}  // namespace mirl
