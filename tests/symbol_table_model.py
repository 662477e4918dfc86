"""A model of the solver's symbol table, and a walk of the real one."""

import mirl_nif


def walk(s, count=None):
    """The keys from first_symbol/next_symbol. A key that is False reads like
    the end of the walk; give the number of symbols to walk past it."""
    keys = []
    key = mirl_nif.first_symbol(s)
    while (key is not False) if count is None else (len(keys) < count):
        keys.append(key)
        key = mirl_nif.next_symbol(s, key)
    if count is not None:
        assert key is False
    return keys


def djb2(data):
    h = 5381
    for b in data:
        h = (h * 33 + b) & 0xFFFFFFFF
    return h


class TableModel:
    """Chained buckets that double before they would fill, as the solver keeps them."""

    def __init__(self):
        self.buckets = [[] for _ in range(8)]
        self.count = 0

    def add(self, key):
        if any(key in chain for chain in self.buckets):
            return
        if self.count + 1 >= len(self.buckets):
            self.grow()
        self.buckets[djb2(key) & (len(self.buckets) - 1)].append(key)
        self.count += 1

    def grow(self):
        old = len(self.buckets)
        new = [[] for _ in range(2 * old)]
        for chain in self.buckets:
            for key in chain:
                new[djb2(key) & (2 * old - 1)].append(key)
        # Entries that stay keep their places; movers go to the tail of
        # their new bucket, which only ever receives from one old bucket.
        self.buckets = new

    def delete(self, key):
        for chain in self.buckets:
            if key in chain:
                chain.remove(key)
                self.count -= 1
                return True
        return False

    def order(self):
        return [key for chain in self.buckets for key in chain]
