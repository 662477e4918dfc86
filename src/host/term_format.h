// The external term format over Python values: the subset the library
// writes for symbol keys and reads back (small and big integers, floats,
// strings, lists, tuples, dicts, booleans as atoms; binaries on reading).
#pragma once

#include "host/host.h"

namespace mirl::host {

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
