// The clause store as callers see it: adding, finding, fetching, encoding,
// inspecting, stamping, cleaning, deleting and activating clauses. Each
// function decodes its arguments, works through core/clauses.h and
// core/propagate.h, and shapes the answer.
#include <cstring>
#include <vector>

#include "core/clauses.h"
#include "core/propagate.h"
#include "core/subst.h"
#include "core/variables.h"
#include "nif/functions.h"
#include "nif/handle.h"

namespace mirl {

namespace {

// Puts a freshly registered clause to work: nothing for set 3 (answered as
// attached), else occurrence entries (option xref) and the two watches.
// Returns -1 when an occurrence entry could not be made (none are left).
int activate(SolverState *s, Clause *c, uint32_t set, bool *attached) {
    *attached = true;
    if (set == set_alpha) return 0;
    if (s->options.xref && occurrences_add_clause(s, c) != 0) return -1;
    *attached = attach(s, c) != 0;
    return 0;
}

ERL_NIF_TERM attached_result(ErlNifEnv *env, bool attached, uint32_t id) {
    return enif_make_tuple(env, 2, enif_make_bool(env, attached), encode_clause_ref(env, id));
}

// The clause an Id argument names; null for a bad id or an empty position.
Clause *decode_stored_clause(ErlNifEnv *env, SolverState *s, ERL_NIF_TERM arg) {
    uint32_t ref;
    if (!decode_clause_ref(env, s, arg, &ref)) return nullptr;
    return clause_lookup(s, ref);
}

// The failure of a literal-list argument: memory_limit, the `literal` atom
// for an undecodable element when the function raises it, else badarg.
ERL_NIF_TERM list_failure(ErlNifEnv *env, int64_t n, bool element_raises_literal) {
    if (n == list_no_memory) return raise(env, atoms.memory_limit);
    if (n == list_bad_element && element_raises_literal) return raise(env, atoms.literal);
    return enif_make_badarg(env);
}

// Appends code as an unsigned little-endian base-128 number.
void put_base128(std::vector<unsigned char> &out, uint64_t code) {
    while (code >= 0x80) {
        out.push_back(static_cast<unsigned char>(code | 0x80));
        code >>= 7;
    }
    out.push_back(static_cast<unsigned char>(code));
}

// The three highest variable levels among the clause's literals.
void top_three_levels(const SolverState *s, const Clause *c, int32_t top[3]) {
    top[0] = top[1] = top[2] = INT32_MIN;
    for (uint32_t k = 0; k < c->length; k++) {
        int32_t level = var_record(s, lit_var(c->lits[k]))->level;
        if (level > top[0]) {
            top[2] = top[1];
            top[1] = top[0];
            top[0] = level;
        } else if (level > top[1]) {
            top[2] = top[1];
            top[1] = level;
        } else if (level > top[2]) {
            top[2] = level;
        }
    }
}

}  // namespace

// add_clause/2,3: normalises the literals against level 0 and stores the
// clause in the set (default 0). true: satisfied, or a unit that became a
// level-0 fact; false: the empty clause (an empty list is the empty
// disjunction too); else {Attached, Id}, Attached false when every literal
// is false. A unit whose literal is false at a level above 0 cannot become a
// fact: it is stored as a one-literal clause (watched, and so answered
// {false, Id}, unless its set is 3), so the contradiction is neither lost
// nor hidden. Raises memory_limit.
MIRL_NIF(add_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc < 2 || argc > 3) return enif_make_badarg(env);
    int64_t n = decode_literal_list(env, s, argv[1]);
    if (n < 0) return list_failure(env, n, false);
    uint32_t set = 0;
    if (argc == 3 && !decode_clause_set(env, argv[2], &set)) return enif_make_badarg(env);
    uint32_t *codes = s->scratch_codes.data;
    uint32_t m = normalise_literals(s, codes, static_cast<uint32_t>(n), true);
    if (m == 0) return enif_make_false(env);
    if (codes[m - 1] == lit_true) return enif_make_true(env);
    if (m == 1) {
        if (codes[0] == lit_false) return enif_make_false(env);
        if (clause_assert_unit(s, codes[0]) == UnitResult::fixed) return enif_make_true(env);
    }
    Clause *c = clause_new(s, m);
    if (c == nullptr) return raise(env, atoms.memory_limit);
    std::memcpy(c->lits, codes, sizeof(uint32_t) * m);
    c->hash = clause_hash_codes(c->lits, m);
    if (clause_register(s, c, set) != 0) {
        clause_release(s, c);
        return raise(env, atoms.memory_limit);
    }
    bool attached;
    if (activate(s, c, set, &attached) != 0) {
        clause_delete(s, c);
        clause_set_trim(s, set);
        return enif_make_badarg(env);
    }
    return attached_result(env, attached, c->id);
}

// find_clause/2: the id of a stored clause with the same literals, or false.
MIRL_NIF(find_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    int64_t n = decode_literal_list(env, s, argv[1]);
    if (n < 0) return list_failure(env, n, false);
    uint32_t *codes = s->scratch_codes.data;
    uint32_t m = normalise_literals(s, codes, static_cast<uint32_t>(n), false);
    Clause *c = clause_find(s, codes, m, clause_hash_codes(codes, m));
    if (c == nullptr) return enif_make_false(env);
    return encode_clause_ref(env, c->id);
}

// compress_clause/2: a clause (by id) or a list of integers as base-128
// literal codes ended by a 0 byte; an empty position gives an empty binary.
MIRL_NIF(compress_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    std::vector<unsigned char> bytes;
    if (enif_is_list(env, argv[1])) {
        const ERL_NIF_TERM *items;
        unsigned n;
        if (!enif_get_list_items(env, argv[1], &items, &n)) return enif_make_badarg(env);
        for (unsigned i = 0; i < n; i++) {
            int v;
            if (!enif_get_int(env, items[i], &v)) return enif_make_badarg(env);
            int64_t x = v;
            put_base128(bytes, static_cast<uint64_t>(x >= 0 ? 2 * x : 1 - 2 * x));
        }
        bytes.push_back(0);
    } else {
        uint32_t ref;
        if (!decode_clause_ref(env, s, argv[1], &ref)) return enif_make_badarg(env);
        const Clause *c = clause_lookup(s, ref);
        if (c != nullptr) {
            for (uint32_t k = 0; k < c->length; k++) put_base128(bytes, c->lits[k]);
            bytes.push_back(0);
        }
    }
    ERL_NIF_TERM term;
    unsigned char *data = enif_make_new_binary(env, bytes.size(), &term);
    if (data == nullptr) return nullptr;
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    return term;
}

// get_clause/2..5: the clause's literals in stored order. Unless Raw, a
// literal true at level 0 makes the answer true and one false at level 0 is
// left out; the Exclude literal is always left out. Nothing left: [] when
// Exclude was met, else false.
MIRL_NIF(get_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc < 2 || argc > 5) return enif_make_badarg(env);
    const Clause *c = decode_stored_clause(env, s, argv[1]);
    if (c == nullptr) return enif_make_badarg(env);
    uint32_t exclude = 0xffffffffu;
    if (argc >= 3 && !enif_is_none(argv[2]) && !decode_literal(s, argv[2], &exclude)) return enif_make_badarg(env);
    bool raw = false, as_tuple = false;
    if (argc >= 4 && !decode_bool(argv[3], &raw)) return enif_make_badarg(env);
    if (argc >= 5 && !decode_bool(argv[4], &as_tuple)) return enif_make_badarg(env);
    std::vector<ERL_NIF_TERM> kept;
    kept.reserve(c->length);
    bool excluded = false;
    for (uint32_t k = 0; k < c->length; k++) {
        uint32_t code = c->lits[k];
        if (!raw && var_record(s, lit_var(code))->level <= 0) {
            uint8_t value = lit_value(s, code);
            if (value == val_true) return enif_make_true(env);
            if (value == val_false) continue;
        }
        if (code == exclude) {
            excluded = true;
            continue;
        }
        ERL_NIF_TERM term = encode_literal_term(env, code);
        if (term == nullptr) return nullptr;
        kept.push_back(term);
    }
    if (!raw && kept.empty() && !excluded) return enif_make_false(env);
    auto count = static_cast<unsigned>(kept.size());
    return as_tuple ? enif_make_tuple_from_array(env, kept.data(), count)
                    : enif_make_list_from_array(env, kept.data(), count);
}

// clause_info/3: length, status, watch0, watch1, watch or jump of a stored
// clause. Keys compare like every other key (the atom, or its name).
MIRL_NIF(clause_info) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 3) return enif_make_badarg(env);
    const Clause *c = decode_stored_clause(env, s, argv[1]);
    if (c == nullptr) return enif_make_badarg(env);
    ERL_NIF_TERM key = argv[2];
    if (is_atom_arg(env, key, atoms.length)) return enif_make_uint(env, c->length);
    if (is_atom_arg(env, key, atoms.status)) return (c->flags & clf_dead) ? atoms.dead : enif_make_none(env);
    if (is_atom_arg(env, key, atoms.watch0)) return enif_make_int(env, c->watch[0].position);
    if (is_atom_arg(env, key, atoms.watch1)) return enif_make_int(env, c->watch[1].position);
    if (is_atom_arg(env, key, atoms.watch))
        return enif_make_tuple(env, 2, enif_make_int(env, c->watch[0].position),
                               enif_make_int(env, c->watch[1].position));
    if (is_atom_arg(env, key, atoms.jump)) {
        if (c->length < 2) return enif_make_badarg(env);
        int32_t top[3];
        top_three_levels(s, c, top);
        int32_t third = c->length == 2 ? 0 : top[2];
        return enif_make_tuple(env, 6, enif_make_uint(env, c->length), enif_make_int(env, top[0] - top[1]),
                               enif_make_int(env, top[1] - third), enif_make_int(env, top[1]),
                               enif_make_int(env, third), encode_clause_ref(env, c->id));
    }
    return enif_make_badarg(env);
}

// use_clause/2: stamps the clause with the current propagation count.
MIRL_NIF(use_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    Clause *c = decode_stored_clause(env, s, argv[1]);
    if (c == nullptr) return enif_make_badarg(env);
    c->stamp = s->bcp_counter;
    return enif_make_none(env);
}

// clean_clause/2 (level 0 only, else raises `level`): drops the literals
// false at level 0, deletes the clause when satisfied or dead, and watches
// it again otherwise (set 3 included). A clause every literal of which is
// false is refused with badarg and left exactly as it was.
MIRL_NIF(clean_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    uint32_t ref;
    if (!decode_clause_ref(env, s, argv[1], &ref)) return enif_make_badarg(env);
    if (s->level != 0) return raise(env, atoms.level);
    Clause *c = clause_lookup(s, ref);
    if (c == nullptr) return enif_make_none(env);
    if (c->flags & clf_dead) {
        clause_remove(s, c);
        return enif_make_none(env);
    }
    // Normalised on a copy first, so that a refusal changes nothing.
    if (array_reserve(s->scratch_codes, c->length) != 0) return raise(env, atoms.memory_limit);
    uint32_t *codes = s->scratch_codes.data;
    // A passive clause may hold literals that were substituted after it was
    // stored: it is cleaned as the clause their representatives make.
    for (uint32_t k = 0; k < c->length; k++) codes[k] = resolve_code(s, c->lits[k]);
    uint32_t m = normalise_literals(s, codes, c->length, true);
    if (codes[m - 1] == lit_true) {
        clause_remove(s, c);
        return enif_make_none(env);
    }
    if (m == 1 && codes[0] == lit_false) return enif_make_badarg(env);
    detach(s, c);
    if (s->options.xref) occurrences_remove_clause(s, c);
    clause_rewrite(s, c, codes, m);
    bool listed = !s->options.xref || occurrences_add_clause(s, c) == 0;
    attach(s, c);
    if (!listed) return raise(env, atoms.memory_limit);
    return enif_make_none(env);
}

// del_clause/2: removes a clause given by id or by its literals (raises
// `literal` for a list that does not decode; badarg when not found).
MIRL_NIF(del_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 2) return enif_make_badarg(env);
    Clause *c;
    if (enif_is_list(env, argv[1])) {
        int64_t n = decode_literal_list(env, s, argv[1]);
        if (n < 0) return list_failure(env, n, true);
        uint32_t *codes = s->scratch_codes.data;
        uint32_t m = normalise_literals(s, codes, static_cast<uint32_t>(n), false);
        c = clause_find(s, codes, m, clause_hash_codes(codes, m));
    } else {
        c = decode_stored_clause(env, s, argv[1]);
    }
    if (c == nullptr) return enif_make_badarg(env);
    uint32_t set = clause_ref_set(c->id);
    clause_remove(s, c);
    clause_set_trim(s, set);
    return enif_make_none(env);
}

// move_clause/3: activates a clause of set 3 (alpha) in set 1 (gamma),
// first rewriting the literals that substitution eliminated since it was
// stored (a clause that their representatives satisfy arrives dead). A
// one-literal clause becomes a level-0 fact (true) unless its literal is
// false, in which case it is kept as a watched one-literal clause like any
// falsified clause. Else {Attached, NewId}. Raises memory_limit when the
// clause cannot be registered (it then stays where it was).
MIRL_NIF(move_clause) {
    SolverState *s = get_solver(env, argc, argv);
    if (s == nullptr || argc != 3) return enif_make_badarg(env);
    uint32_t ref, set;
    if (!decode_clause_ref(env, s, argv[1], &ref)) return enif_make_badarg(env);
    if (!decode_clause_set(env, argv[2], &set)) return enif_make_badarg(env);
    Clause *c = clause_lookup(s, ref);
    if (c == nullptr || clause_ref_set(ref) != set_alpha || set != set_gamma) return enif_make_badarg(env);
    if (c->length == 1) {
        uint32_t code = resolve_code(s, c->lits[0]);
        uint8_t value = lit_value(s, code);
        if (value == val_unassigned || value == val_true) {
            clause_remove(s, c);
            clause_set_trim(s, set_alpha);
            clause_assert_unit(s, code);
            return enif_make_true(env);
        }
    }
    if (clause_register(s, c, set_gamma) != 0) return raise(env, atoms.memory_limit);
    // The old position empties; a clause clean_clause attached while in set
    // 3 leaves its chains and lists first, so no slot is linked twice.
    s->clause_lists[set_alpha].data[clause_ref_position(ref)] = nullptr;
    s->clause_count[set_alpha]--;
    note_clause_change(s, c, ref);
    clause_set_trim(s, set_alpha);
    detach(s, c);
    if (s->options.xref) occurrences_remove_id(s, c, ref);
    // Substitutions made while the clause was passive reach it now, so that
    // it only ever watches and implies representatives.
    subst_resolve_clause(s, c);
    bool listed = !s->options.xref || occurrences_add_clause(s, c) == 0;
    bool attached = attach(s, c) != 0;
    if (!listed) return raise(env, atoms.memory_limit);
    return attached_result(env, attached, c->id);
}

}  // namespace mirl
