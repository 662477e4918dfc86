// Clause-set walks and the stamp sort. The sort permutes the set's table of
// clause pointers, then rewrites each clause's id and every copy of an id of
// this set held by the occurrence lists and the hash index, through a map
// from old to new positions built before anything moves.
#include "core/clausesets.h"

#include <algorithm>
#include <cstdlib>

namespace mirl {

namespace {

uint32_t first_occupied(const SolverState *s, uint32_t set, uint64_t from) {
    const GrowArray<Clause *> &table = s->clause_lists[set];
    for (uint64_t p = from; p < table.count; p++)
        if (table.data[p] != nullptr) return clause_ref(set, static_cast<uint32_t>(p));
    return clause_no_ref;
}

// Replaces the ids of `set` in one occurrence list and sorts it ascending.
// Ids whose old position held no clause are left as they are.
void renumber_occurrences(OccurrenceList *list, uint32_t set, const uint32_t *new_position, uint64_t old_length) {
    if (list == nullptr || list->count == 0) return;
    for (uint64_t i = 0; i < list->count; i++) {
        uint32_t id = list->data[i];
        if (clause_ref_set(id) != set) continue;
        uint32_t position = clause_ref_position(id);
        if (position >= old_length || new_position[position] == clause_no_ref) continue;
        list->data[i] = clause_ref(set, new_position[position]);
    }
    std::sort(list->data, list->data + list->count);
}

void renumber_hash_index(SolverState *s, uint32_t set, const uint32_t *new_position, uint64_t old_length) {
    for (uint64_t b = 0; b < s->clause_hash.count; b++)
        for (HashNode *node = s->clause_hash.data[b].head; node != nullptr; node = node->next) {
            if (clause_ref_set(node->id) != set) continue;
            uint32_t position = clause_ref_position(node->id);
            if (position < old_length && new_position[position] != clause_no_ref)
                node->id = clause_ref(set, new_position[position]);
        }
}

}  // namespace

uint32_t clauseset_first(const SolverState *s, uint32_t set) {
    return first_occupied(s, set, static_cast<uint32_t>(s->set_offset[set]));
}

uint32_t clauseset_next(const SolverState *s, uint32_t ref) {
    return first_occupied(s, clause_ref_set(ref), uint64_t(clause_ref_position(ref)) + 1);
}

int clauseset_sort(SolverState *s, uint32_t set) {
    GrowArray<Clause *> &table = s->clause_lists[set];
    const uint64_t old_length = table.count;
    if (old_length == 0) return 0;
    auto *new_position = static_cast<uint32_t *>(std::malloc(old_length * sizeof(uint32_t)));
    if (new_position == nullptr) return -1;
    for (uint64_t p = 0; p < old_length; p++) new_position[p] = clause_no_ref;

    // Most recent stamp first, empty positions last; equal stamps in any order.
    std::sort(table.data, table.data + old_length, [](const Clause *x, const Clause *y) {
        if (x == nullptr || y == nullptr) return y == nullptr && x != nullptr;
        return x->stamp > y->stamp;
    });
    uint64_t length = 0;
    while (length < old_length && table.data[length] != nullptr) length++;
    table.count = length;

    for (uint64_t p = 0; p < length; p++) {
        Clause *c = table.data[p];
        uint32_t old_position = clause_ref_position(c->id);
        if (old_position < old_length) new_position[old_position] = static_cast<uint32_t>(p);
        c->id = clause_ref(set, static_cast<uint32_t>(p));
    }

    if (s->options.xref)
        for (uint64_t code = 2; code < s->occurrence_table.count; code++)
            renumber_occurrences(s->occurrence_table.data[code], set, new_position, old_length);
    if (s->options.hash && set != 3) renumber_hash_index(s, set, new_position, old_length);

    std::free(new_position);
    return 0;
}

}  // namespace mirl
