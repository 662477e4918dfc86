// Encoding and decoding of the external term format (see term_format.h).
#include "host/term_format.h"

namespace mirl::host {

Py_ssize_t term_size(PyObject *) { return -1; }

Py_ssize_t encode_term(PyObject *, unsigned char *, Py_ssize_t) { return -1; }

size_t decode_term(const unsigned char *, size_t, PyObject **) {
    PyErr_SetString(PyExc_ValueError, "undecodable term");
    return 0;
}

}  // namespace mirl::host
