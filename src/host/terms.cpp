// The term operations of erl_nif.h served over Python objects: type tests,
// getters that never leave an exception behind, constructors whose results
// the environment owns, binaries as bytearrays, and the "mirl" resource
// objects. The environment's record of owned terms is kept here too.
#include <climits>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <vector>

#include "host/host.h"
#include "host/term_format.h"

namespace mirl::host {

PyObject *env_keep(ErlNifEnv *env, PyObject *obj) {
    if (obj == nullptr) return nullptr;
    if (env == nullptr) env = &process_env;
    if (env->scratch_count == env->scratch_capacity) {
        const size_t capacity = env->scratch_capacity == 0 ? 64 : env->scratch_capacity * 2;
        auto **grown = static_cast<PyObject **>(PyMem_Realloc(env->scratch, sizeof(PyObject *) * capacity));
        if (grown == nullptr) {
            Py_DECREF(obj);
            PyErr_NoMemory();
            return nullptr;
        }
        env->scratch = grown;
        env->scratch_capacity = capacity;
    }
    env->scratch[env->scratch_count++] = obj;
    return obj;
}

void env_release(ErlNifEnv *env, size_t mark) {
    // Pops one entry at a time: a deallocation that reaches back into the
    // environment finds the record consistent.
    while (env->scratch_count > mark) {
        PyObject *obj = env->scratch[--env->scratch_count];
        Py_DECREF(obj);
    }
}

namespace {

// Reads an int (bool included) within the range of long long; a value of
// another kind or out of range is refused without an exception.
bool read_integer(PyObject *term, long long *value) {
    if (term == nullptr) return false;
    // Nearly every integer argument is a plain int of one digit: read it
    // straight from the object.
#if PY_VERSION_HEX >= 0x030C0000
    if (PyLong_CheckExact(term) && PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject *>(term))) {
        *value = PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject *>(term));
        return true;
    }
#else
    if (PyLong_CheckExact(term)) {
        const Py_ssize_t size = Py_SIZE(term);
        if (size >= -1 && size <= 1) {
            const auto digit = static_cast<long long>(reinterpret_cast<PyLongObject *>(term)->ob_digit[0]);
            *value = size * digit;
            return true;
        }
    }
#endif
    if (!PyLong_Check(term)) return false;
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(term, &overflow);
    if (v == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    if (overflow != 0) return false;
    *value = v;
    return true;
}

// Containers built from a failed element fail too; the element's failure
// normally set the exception already.
PyObject *missing_element() {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "null term given to a constructor");
    return nullptr;
}

// The elements of a variadic constructor gathered into an array, on the
// stack for the short tuples and lists the library builds.
class VarargTerms {
  public:
    VarargTerms(unsigned cnt, va_list ap) {
        if (cnt > sizeof(local_) / sizeof(local_[0])) heap_.resize(cnt);
        ERL_NIF_TERM *out = heap_.empty() ? local_ : heap_.data();
        for (unsigned i = 0; i < cnt; i++) out[i] = va_arg(ap, ERL_NIF_TERM);
    }
    const ERL_NIF_TERM *data() const { return heap_.empty() ? local_ : heap_.data(); }

  private:
    ERL_NIF_TERM local_[16];
    std::vector<ERL_NIF_TERM> heap_;
};

PyObject *tuple_from_array(ErlNifEnv *env, const ERL_NIF_TERM arr[], unsigned cnt) {
    for (unsigned i = 0; i < cnt; i++)
        if (arr[i] == nullptr) return missing_element();
    PyObject *tuple = PyTuple_New(cnt);
    if (tuple == nullptr) return nullptr;
    for (unsigned i = 0; i < cnt; i++) {
        Py_INCREF(arr[i]);
        PyTuple_SET_ITEM(tuple, i, arr[i]);
    }
    return env_keep(env, tuple);
}

// A new list holding arr[0..cnt-1], in order or reversed.
PyObject *list_from_array(ErlNifEnv *env, const ERL_NIF_TERM arr[], unsigned cnt, bool reversed) {
    for (unsigned i = 0; i < cnt; i++)
        if (arr[i] == nullptr) return missing_element();
    PyObject *list = PyList_New(cnt);
    if (list == nullptr) return nullptr;
    for (unsigned i = 0; i < cnt; i++) {
        PyObject *item = arr[reversed ? cnt - 1 - i : i];
        Py_INCREF(item);
        PyList_SET_ITEM(list, i, item);
    }
    return env_keep(env, list);
}

// Size of an iolist, or -1 when it is none, nests deeper than max_nesting,
// or costs more than the budget. Every part visited is charged what its
// external encoding would take (a list 6 bytes, or 1 when empty; a byte 2; a
// string or byte array its bytes and header), so the walk is held to the
// same cap as an encoded key, shared sub-lists are paid for at every visit,
// and the walk stops as soon as the budget is spent.
Py_ssize_t iolist_size(PyObject *term, int depth, Py_ssize_t *budget) {
    Py_ssize_t length = -1;
    if (PyByteArray_Check(term)) {
        length = PyByteArray_GET_SIZE(term);
    } else if (PyUnicode_Check(term)) {
        if (PyUnicode_AsUTF8AndSize(term, &length) == nullptr) {
            PyErr_Clear();
            return -1;
        }
    }
    if (length >= 0) {
        const Py_ssize_t header = PyUnicode_Check(term) ? 3 : 5;
        if (length > *budget - header) return -1;
        *budget -= length + header;
        return length;
    }
    if (!PyList_Check(term) || depth >= max_nesting) return -1;
    const Py_ssize_t n = PyList_GET_SIZE(term);
    if ((*budget -= n == 0 ? 1 : 6) < 0) return -1;
    Py_ssize_t total = 0;
    for (Py_ssize_t i = 0; i < n; i++) {
        PyObject *item = PyList_GET_ITEM(term, i);  // borrowed
        Py_ssize_t size;
        if (PyLong_Check(item)) {
            long long byte;
            size = (*budget -= 2) >= 0 && read_integer(item, &byte) && byte >= 0 && byte <= 255 ? 1 : -1;
        } else {
            size = iolist_size(item, depth + 1, budget);
        }
        if (size < 0) return -1;
        total += size;  // below the budget: no overflow
    }
    return total;
}

// Writes an iolist's bytes at out; the bytes written, or -1 when the room is
// too small or an element fails.
Py_ssize_t iolist_flatten(PyObject *term, unsigned char *out, Py_ssize_t room, int depth) {
    const char *bytes;
    Py_ssize_t length;
    if (PyByteArray_Check(term)) {
        bytes = PyByteArray_AS_STRING(term);
        length = PyByteArray_GET_SIZE(term);
    } else if (PyUnicode_Check(term)) {
        bytes = PyUnicode_AsUTF8AndSize(term, &length);
        if (bytes == nullptr) {
            PyErr_Clear();
            return -1;
        }
    } else {
        if (!PyList_Check(term) || depth >= max_nesting) return -1;
        Py_ssize_t written = 0;
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(term); i++) {
            PyObject *item = PyList_GET_ITEM(term, i);  // borrowed
            if (PyLong_Check(item)) {
                long long byte;
                if (!read_integer(item, &byte) || byte < 0 || byte > 255 || written >= room) return -1;
                out[written++] = static_cast<unsigned char>(byte);
                continue;
            }
            const Py_ssize_t n = iolist_flatten(item, out + written, room - written, depth + 1);
            if (n < 0) return -1;
            written += n;
        }
        return written;
    }
    if (length > room) return -1;
    if (length > 0) std::memcpy(out, bytes, static_cast<size_t>(length));
    return length;
}

void resource_dealloc(PyObject *obj) {
    PyTypeObject *type = Py_TYPE(obj);
    ErlNifResourceType *resource_type = reinterpret_cast<ResourceObject *>(obj)->resource_type;
    if (resource_type != nullptr && resource_type->init.dtor != nullptr)
        resource_type->init.dtor(&process_env, resource_payload(obj));
    type->tp_free(obj);
    Py_DECREF(type);  // instances of a heap type hold a reference to it
}

}  // namespace

}  // namespace mirl::host

using mirl::host::env_keep;
using mirl::host::process_env;

ERL_NIF_TERM enif_make_badarg(ErlNifEnv *) {
    PyErr_SetString(PyExc_TypeError, "badarg");
    return nullptr;
}

// ---- kinds -------------------------------------------------------------------

int enif_is_identical(ERL_NIF_TERM a, ERL_NIF_TERM b) { return a == b; }
int enif_is_integer(ErlNifEnv *, ERL_NIF_TERM term) { return term != nullptr && PyLong_Check(term); }
int enif_is_float(ErlNifEnv *, ERL_NIF_TERM term) { return term != nullptr && PyFloat_Check(term); }
int enif_is_tuple(ErlNifEnv *, ERL_NIF_TERM term) { return term != nullptr && PyTuple_Check(term); }
int enif_is_list(ErlNifEnv *, ERL_NIF_TERM term) { return term != nullptr && PyList_Check(term); }
int enif_is_empty_list(ErlNifEnv *, ERL_NIF_TERM term) {
    return term != nullptr && PyList_Check(term) && PyList_GET_SIZE(term) == 0;
}
int enif_is_map(ErlNifEnv *, ERL_NIF_TERM term) { return term != nullptr && PyDict_Check(term); }
int enif_is_binary(ErlNifEnv *, ERL_NIF_TERM term) { return term != nullptr && PyByteArray_Check(term); }
int enif_is_true(ERL_NIF_TERM term) { return term == Py_True; }
int enif_is_false(ERL_NIF_TERM term) { return term == Py_False; }
int enif_is_none(ERL_NIF_TERM term) { return term == Py_None; }

// ---- integers and floats -----------------------------------------------------

int enif_get_int(ErlNifEnv *, ERL_NIF_TERM term, int *ip) {
    long long v;
    if (!mirl::host::read_integer(term, &v) || v < INT_MIN || v > INT_MAX) return 0;
    *ip = static_cast<int>(v);
    return 1;
}

int enif_get_uint(ErlNifEnv *, ERL_NIF_TERM term, unsigned *ip) {
    long long v;
    if (!mirl::host::read_integer(term, &v) || v < 0 || v > UINT_MAX) return 0;
    *ip = static_cast<unsigned>(v);
    return 1;
}

int enif_get_int64(ErlNifEnv *, ERL_NIF_TERM term, int64_t *ip) {
    long long v;
    if (!mirl::host::read_integer(term, &v)) return 0;
    *ip = v;
    return 1;
}

int enif_get_uint64(ErlNifEnv *, ERL_NIF_TERM term, uint64_t *ip) {
    if (term == nullptr || !PyLong_Check(term)) return 0;
    const unsigned long long v = PyLong_AsUnsignedLongLong(term);
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        PyErr_Clear();  // negative or above 64 bits
        return 0;
    }
    *ip = v;
    return 1;
}

int enif_get_double(ErlNifEnv *, ERL_NIF_TERM term, double *dp) {
    if (term == nullptr || !PyFloat_Check(term)) return 0;
    *dp = PyFloat_AS_DOUBLE(term);
    return 1;
}

ERL_NIF_TERM enif_make_int(ErlNifEnv *env, int i) { return env_keep(env, PyLong_FromLong(i)); }
ERL_NIF_TERM enif_make_uint(ErlNifEnv *env, unsigned i) { return env_keep(env, PyLong_FromUnsignedLong(i)); }
ERL_NIF_TERM enif_make_int64(ErlNifEnv *env, int64_t i) { return env_keep(env, PyLong_FromLongLong(i)); }
ERL_NIF_TERM enif_make_uint64(ErlNifEnv *env, uint64_t i) {
    return env_keep(env, PyLong_FromUnsignedLongLong(i));
}
ERL_NIF_TERM enif_make_double(ErlNifEnv *env, double d) { return env_keep(env, PyFloat_FromDouble(d)); }

// ---- constants: borrowed singletons, never recorded ----------------------------

ERL_NIF_TERM enif_make_true(ErlNifEnv *) { return Py_True; }
ERL_NIF_TERM enif_make_false(ErlNifEnv *) { return Py_False; }
ERL_NIF_TERM enif_make_bool(ErlNifEnv *, int b) { return b ? Py_True : Py_False; }
ERL_NIF_TERM enif_make_none(ErlNifEnv *) { return Py_None; }

// ---- tuples ----------------------------------------------------------------------

int enif_get_tuple(ErlNifEnv *, ERL_NIF_TERM term, int *arity, const ERL_NIF_TERM **array) {
    if (term == nullptr || !PyTuple_Check(term) || PyTuple_GET_SIZE(term) > INT_MAX) return 0;
    *arity = static_cast<int>(PyTuple_GET_SIZE(term));
    *array = &PyTuple_GET_ITEM(term, 0);  // borrowed
    return 1;
}

ERL_NIF_TERM enif_make_tuple(ErlNifEnv *env, unsigned cnt, ...) {
    va_list ap;
    va_start(ap, cnt);
    mirl::host::VarargTerms items(cnt, ap);
    va_end(ap);
    return mirl::host::tuple_from_array(env, items.data(), cnt);
}

ERL_NIF_TERM enif_make_tuple_from_array(ErlNifEnv *env, const ERL_NIF_TERM arr[], unsigned cnt) {
    return mirl::host::tuple_from_array(env, arr, cnt);
}

// ---- lists -----------------------------------------------------------------------

int enif_get_list_length(ErlNifEnv *, ERL_NIF_TERM term, unsigned *len) {
    if (term == nullptr || !PyList_Check(term) || PyList_GET_SIZE(term) > UINT_MAX) return 0;
    *len = static_cast<unsigned>(PyList_GET_SIZE(term));
    return 1;
}

int enif_get_list_cell(ErlNifEnv *env, ERL_NIF_TERM term, ERL_NIF_TERM *head, ERL_NIF_TERM *tail) {
    if (term == nullptr || !PyList_Check(term) || PyList_GET_SIZE(term) == 0) return 0;
    PyObject *rest = env_keep(env, PyList_GetSlice(term, 1, PyList_GET_SIZE(term)));
    if (rest == nullptr) {
        PyErr_Clear();  // a getter reports failure without an exception
        return 0;
    }
    *head = PyList_GET_ITEM(term, 0);  // borrowed
    *tail = rest;
    return 1;
}

int enif_get_list_items(ErlNifEnv *, ERL_NIF_TERM term, const ERL_NIF_TERM **items, unsigned *len) {
    if (term == nullptr || !PyList_Check(term) || PyList_GET_SIZE(term) > UINT_MAX) return 0;
    *items = PySequence_Fast_ITEMS(term);  // borrowed
    *len = static_cast<unsigned>(PyList_GET_SIZE(term));
    return 1;
}

ERL_NIF_TERM enif_make_list(ErlNifEnv *env, unsigned cnt, ...) {
    va_list ap;
    va_start(ap, cnt);
    mirl::host::VarargTerms items(cnt, ap);
    va_end(ap);
    return mirl::host::list_from_array(env, items.data(), cnt, false);
}

ERL_NIF_TERM enif_make_list_from_array(ErlNifEnv *env, const ERL_NIF_TERM arr[], unsigned cnt) {
    return mirl::host::list_from_array(env, arr, cnt, false);
}

ERL_NIF_TERM enif_make_list_from_array_reversed(ErlNifEnv *env, const ERL_NIF_TERM arr[], unsigned cnt) {
    return mirl::host::list_from_array(env, arr, cnt, true);
}

ERL_NIF_TERM enif_make_list_cell(ErlNifEnv *env, ERL_NIF_TERM head, ERL_NIF_TERM tail) {
    if (head == nullptr || tail == nullptr) return mirl::host::missing_element();
    if (PyList_Check(tail)) {
        // The list object itself grows; whoever owns it keeps owning it.
        if (PyList_Insert(tail, 0, head) != 0) return nullptr;
        return tail;
    }
    ERL_NIF_TERM cell[2] = {head, tail};
    return mirl::host::tuple_from_array(env, cell, 2);
}

// ---- maps --------------------------------------------------------------------------

int enif_get_map_size(ErlNifEnv *, ERL_NIF_TERM term, size_t *size) {
    if (term == nullptr || !PyDict_Check(term)) return 0;
    *size = static_cast<size_t>(PyDict_Size(term));
    return 1;
}

int enif_make_map_from_arrays(ErlNifEnv *env, const ERL_NIF_TERM keys[], const ERL_NIF_TERM values[], size_t cnt,
                              ERL_NIF_TERM *map_out) {
    for (size_t i = 0; i < cnt; i++)
        if (keys[i] == nullptr || values[i] == nullptr) {
            mirl::host::missing_element();
            return 0;
        }
    PyObject *map = PyDict_New();
    if (map == nullptr) return 0;
    for (size_t i = 0; i < cnt; i++)
        if (PyDict_SetItem(map, keys[i], values[i]) != 0) {
            Py_DECREF(map);
            return 0;
        }
    map = env_keep(env, map);
    if (map == nullptr) return 0;
    *map_out = map;
    return 1;
}

// The iterator keeps the dictionary's own position, so a whole walk is
// linear; it stands on the next pair to hand out (valid) or past the end.
int enif_map_iterator_create(ErlNifEnv *, ERL_NIF_TERM map, ErlNifMapIterator *iter, int) {
    if (map == nullptr || !PyDict_Check(map)) return 0;
    iter->map = map;
    iter->index = 0;
    iter->pos = 0;
    Py_ssize_t pos = 0;
    iter->valid = PyDict_Next(map, &pos, &iter->key, &iter->value);
    iter->pos = pos;
    return 1;
}

void enif_map_iterator_destroy(ErlNifEnv *, ErlNifMapIterator *) {}

int enif_map_iterator_get_pair(ErlNifEnv *, ErlNifMapIterator *iter, ERL_NIF_TERM *key, ERL_NIF_TERM *value) {
    if (!iter->valid) return 0;
    *key = iter->key;  // borrowed from the dictionary
    *value = iter->value;
    return 1;
}

// Steps to the next pair; 0 once the iterator has passed the last one.
int enif_map_iterator_next(ErlNifEnv *, ErlNifMapIterator *iter) {
    if (!iter->valid) return 0;
    iter->index++;
    Py_ssize_t pos = iter->pos;
    iter->valid = PyDict_Next(iter->map, &pos, &iter->key, &iter->value);
    iter->pos = pos;
    return iter->valid;
}

// ---- binaries ------------------------------------------------------------------------

int enif_alloc_binary(size_t size, ErlNifBinary *bin) {
    if (size > static_cast<size_t>(PY_SSIZE_T_MAX)) {
        PyErr_NoMemory();
        return 0;
    }
    PyObject *array = PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size));
    if (array == nullptr) return 0;
    bin->size = size;
    bin->data = reinterpret_cast<unsigned char *>(PyByteArray_AS_STRING(array));
    bin->ref_bin = array;
    bin->owned = 1;
    return 1;
}

void enif_release_binary(ErlNifBinary *bin) {
    if (bin->owned) Py_XDECREF(bin->ref_bin);
    bin->ref_bin = nullptr;
    bin->owned = 0;
}

int enif_inspect_binary(ErlNifEnv *, ERL_NIF_TERM term, ErlNifBinary *bin) {
    if (term == nullptr || !PyByteArray_Check(term)) return 0;
    bin->size = static_cast<uint64_t>(PyByteArray_GET_SIZE(term));
    bin->data = reinterpret_cast<unsigned char *>(PyByteArray_AS_STRING(term));
    bin->ref_bin = term;
    bin->owned = 0;
    return 1;
}

// A flattened iolist lives in a new bytearray that the environment owns, so
// the descriptor needs no release.
int enif_inspect_iolist_as_binary(ErlNifEnv *env, ERL_NIF_TERM term, ErlNifBinary *bin) {
    if (term == nullptr) return 0;
    if (PyByteArray_Check(term)) return enif_inspect_binary(env, term, bin);
    Py_ssize_t budget = mirl::host::max_encoded_size;
    const Py_ssize_t size = mirl::host::iolist_size(term, 0, &budget);
    if (size < 0) return 0;
    PyObject *array = env_keep(env, PyByteArray_FromStringAndSize(nullptr, size));
    if (array == nullptr) {
        PyErr_Clear();
        return 0;
    }
    auto *data = reinterpret_cast<unsigned char *>(PyByteArray_AS_STRING(array));
    if (mirl::host::iolist_flatten(term, data, size, 0) != size) return 0;
    bin->size = static_cast<uint64_t>(size);
    bin->data = data;
    bin->ref_bin = array;
    bin->owned = 0;
    return 1;
}

unsigned char *enif_make_new_binary(ErlNifEnv *env, size_t size, ERL_NIF_TERM *termp) {
    if (size > static_cast<size_t>(PY_SSIZE_T_MAX)) {
        PyErr_NoMemory();
        return nullptr;
    }
    PyObject *array = env_keep(env, PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size)));
    if (array == nullptr) return nullptr;
    *termp = array;
    return reinterpret_cast<unsigned char *>(PyByteArray_AS_STRING(array));
}

ERL_NIF_TERM enif_make_binary(ErlNifEnv *env, ErlNifBinary *bin) {
    PyObject *array = bin->ref_bin;
    if (array == nullptr) return mirl::host::missing_element();
    if (bin->owned) {
        bin->owned = 0;  // the environment takes the descriptor's reference over
        return env_keep(env, array);
    }
    return array;
}

int enif_term_to_binary(ErlNifEnv *, ERL_NIF_TERM term, ErlNifBinary *bin) {
    const Py_ssize_t size = term == nullptr ? -1 : mirl::host::term_size(term);
    if (size < 0) {
        PyErr_SetString(PyExc_TypeError, "badarg");
        return 0;
    }
    if (!enif_alloc_binary(static_cast<size_t>(size) + 1, bin)) return 0;
    bin->data[0] = 131;
    if (mirl::host::encode_term(term, bin->data + 1, size) != size) {
        enif_release_binary(bin);
        PyErr_SetString(PyExc_TypeError, "badarg");
        return 0;
    }
    return 1;
}

// A getter: failure (malformed or hostile input) leaves no exception.
size_t enif_binary_to_term(ErlNifEnv *env, const unsigned char *data, size_t sz, ERL_NIF_TERM *term, unsigned) {
    if (data == nullptr || sz < 2 || data[0] != 131) return 0;
    PyObject *decoded = nullptr;
    const size_t used = mirl::host::decode_term(data + 1, sz - 1, &decoded);
    if (used == 0) {
        PyErr_Clear();
        return 0;
    }
    decoded = env_keep(env, decoded);
    if (decoded == nullptr) {
        PyErr_Clear();
        return 0;
    }
    *term = decoded;
    return used + 1;
}

// ---- strings ---------------------------------------------------------------------------

int enif_get_string(ErlNifEnv *, ERL_NIF_TERM term, char *buf, unsigned size, int) {
    if (term == nullptr || size == 0) return 0;
    const Py_ssize_t room = size < 256 ? size : 256;  // including the NUL
    if (PyUnicode_Check(term)) {
        Py_ssize_t length;
        const char *text = PyUnicode_AsUTF8AndSize(term, &length);
        if (text == nullptr) {
            PyErr_Clear();
            return 0;
        }
        if (length >= room) return 0;
        std::memcpy(buf, text, static_cast<size_t>(length));
        buf[length] = '\0';
        return static_cast<int>(length) + 1;
    }
    if (!PyList_Check(term)) return 0;
    const Py_ssize_t n = PyList_GET_SIZE(term);
    if (n >= room) return -static_cast<int>(room);
    for (Py_ssize_t i = 0; i < n; i++) {
        long long code;
        if (!mirl::host::read_integer(PyList_GET_ITEM(term, i), &code) || code < 0 || code > 255) return 0;
        buf[i] = static_cast<char>(code);
    }
    buf[n] = '\0';
    return static_cast<int>(n) + 1;
}

ERL_NIF_TERM enif_make_string(ErlNifEnv *env, const char *string, int) {
    if (string == nullptr) return mirl::host::missing_element();
    return env_keep(env, PyUnicode_FromString(string));
}

// ---- resources -------------------------------------------------------------------------
//
// The type is a heap type made with PyType_FromSpec (public and stable from
// 3.8 to 3.13). Objects: the variable-size header, one word, then the payload
// counted in bytes (item size 1), so the payload starts right after the word.
// Python code cannot make instances: only enif_alloc_resource does, and the
// destructor runs only on objects it made.

ErlNifResourceType *enif_open_resource_type(ErlNifEnv *, const char *, const char *name,
                                            const ErlNifResourceTypeInit *init, int flags, int *tried) {
    using mirl::host::ResourceObject;
    if (name == nullptr || init == nullptr) {
        PyErr_SetString(PyExc_SystemError, "resource type needs a name and callbacks");
        return nullptr;
    }
    // The type is named "mirl_nif.<name>": its __name__ is the name and its
    // __module__ the module (a name without a module draws a warning).
    const char *module_name = "mirl_nif";
    auto *record = static_cast<ErlNifResourceType *>(PyMem_Calloc(1, sizeof(ErlNifResourceType)));
    const size_t module_length = std::strlen(module_name), name_length = std::strlen(name);
    char *name_copy = static_cast<char *>(PyMem_Malloc(module_length + 1 + name_length + 1));
    if (record == nullptr || name_copy == nullptr) {
        PyMem_Free(record);
        PyMem_Free(name_copy);
        PyErr_NoMemory();
        return nullptr;
    }
    std::memcpy(name_copy, module_name, module_length);
    name_copy[module_length] = '.';
    std::memcpy(name_copy + module_length + 1, name, name_length + 1);
    static PyType_Slot slots[] = {
        {Py_tp_dealloc, reinterpret_cast<void *>(mirl::host::resource_dealloc)},
        {Py_tp_doc, const_cast<char *>("Solver handle objects")},
        {0, nullptr},
    };
    unsigned type_flags = Py_TPFLAGS_DEFAULT;
#ifdef Py_TPFLAGS_DISALLOW_INSTANTIATION
    type_flags |= Py_TPFLAGS_DISALLOW_INSTANTIATION;
#endif
    PyType_Spec type_spec = {name_copy, static_cast<int>(sizeof(ResourceObject)), 1, type_flags, slots};
    auto *type = reinterpret_cast<PyTypeObject *>(PyType_FromSpec(&type_spec));
    if (type == nullptr) {
        PyMem_Free(record);
        PyMem_Free(name_copy);
        return nullptr;
    }
    type->tp_new = nullptr;  // interpreters before 3.10 lack the flag above
    record->py_type = type;  // this reference is never dropped
    record->init = *init;
    record->name = name_copy;
    if (tried != nullptr) *tried = flags & ERL_NIF_RT_CREATE;
    return record;
}

void *enif_alloc_resource(ErlNifResourceType *type, size_t size) {
    using mirl::host::ResourceObject;
    if (type == nullptr || size > static_cast<size_t>(PY_SSIZE_T_MAX) - sizeof(ResourceObject)) {
        PyErr_NoMemory();
        return nullptr;
    }
    ResourceObject *obj = PyObject_NewVar(ResourceObject, type->py_type, static_cast<Py_ssize_t>(size));
    if (obj == nullptr) return nullptr;
    obj->resource_type = type;
    return mirl::host::resource_payload(reinterpret_cast<PyObject *>(obj));
}

ERL_NIF_TERM enif_make_resource(ErlNifEnv *env, void *obj) {
    if (obj == nullptr) return mirl::host::missing_element();
    PyObject *handle = mirl::host::resource_object(obj);
    Py_INCREF(handle);
    return env_keep(env, handle);
}

void enif_release_resource(void *obj) {
    if (obj != nullptr) Py_DECREF(mirl::host::resource_object(obj));
}

int enif_get_resource(ErlNifEnv *, ERL_NIF_TERM term, ErlNifResourceType *type, void **objp) {
    if (term == nullptr || type == nullptr || Py_TYPE(term) != type->py_type) return 0;
    auto *handle = reinterpret_cast<mirl::host::ResourceObject *>(term);
    if (handle->resource_type == nullptr) return 0;
    *objp = mirl::host::resource_payload(term);
    return 1;
}

// ---- process, memory, environments, clock -----------------------------------------------

ErlNifPid *enif_self(ErlNifEnv *, ErlNifPid *pid) {
    pid->pid = static_cast<uint32_t>(PyThread_get_thread_ident());
    return pid;
}

void *enif_alloc(size_t size) { return PyMem_Malloc(size); }
void enif_free(void *ptr) { PyMem_Free(ptr); }

ErlNifEnv *enif_alloc_env(void) { return static_cast<ErlNifEnv *>(PyMem_Calloc(1, sizeof(ErlNifEnv))); }

void enif_clear_env(ErlNifEnv *env) {
    if (env != nullptr) mirl::host::env_release(env, 0);
}

void enif_free_env(ErlNifEnv *env) {
    if (env == nullptr || env == &process_env) return;
    mirl::host::env_release(env, 0);
    PyMem_Free(env->scratch);
    PyMem_Free(env);
}

int64_t enif_time_seconds(void) { return static_cast<int64_t>(std::time(nullptr)); }
