// The external term format over Python values: the subset the library
// writes for symbol keys and reads back (small and big integers, floats,
// strings, lists, tuples, dicts, booleans as atoms; binaries on reading).
#pragma once

#include "host/host.h"

namespace mirl::host {

// The most work a key argument may cause: an encoding larger than this many
// bytes is refused, and an iolist is refused once its walk has visited this
// many elements and bytes together. Both bound values whose sub-lists are
// shared (a list holding another twice, nested), whose size grows
// exponentially with their depth.
constexpr Py_ssize_t max_encoded_size = Py_ssize_t{1} << 28;

// Bytes the encoding of `term` takes (without the version byte), or -1 when
// the term cannot be encoded or nests deeper than max_nesting.
Py_ssize_t term_size(PyObject *term);

// Writes the encoding into buf; the bytes written, or a value below 1 when the
// term cannot be encoded or `room` is too small.
Py_ssize_t encode_term(PyObject *term, unsigned char *buf, Py_ssize_t room);

// Decodes one term (no version byte) from `length` bytes: the bytes used and a
// new reference in *out, or 0 on failure (with a Python exception set).
size_t decode_term(const unsigned char *bytes, size_t length, PyObject **out);

}  // namespace mirl::host
