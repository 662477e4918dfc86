// The host bridge's own records: the environment handed to every library
// function, the resource type record with the layout of resource objects, and
// the helpers shared by module.cpp, terms.cpp and term_format.cpp. This is the
// only header that includes Python.h.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstdint>

#include "nif/erl_nif.h"

// One record for the whole process (made at import), plus the ones that
// enif_alloc_env hands out. Only the process environment has an atom table;
// atom operations on any environment use the process one.
//
// Terms made in an environment are owned by it: `scratch` is a growable C
// array of owned references, kept (not freed) across calls, so the common
// call allocates nothing for bookkeeping. The dispatcher releases what a call
// added once it holds its own reference to the result; enif_clear_env and
// enif_free_env release an allocated environment's terms.
struct ErlNifEnv {
    void *priv_data;            // the library's private data
    PyObject *atom_dict;        // name (str) -> index term (int)
    Py_ssize_t atom_capacity;   // room in atom_names
    PyObject **atom_names;      // index -> name str; 0 and 1 hold False, True
    Py_ssize_t atom_count;      // atoms registered
    PyObject **scratch;         // owned references of the terms made here
    size_t scratch_count;
    size_t scratch_capacity;
};

// A resource type: the Python type its objects have and the library's
// callbacks. Made once by enif_open_resource_type and never freed.
struct ErlNifResourceType {
    PyTypeObject *py_type;
    ErlNifResourceTypeInit init;
    char *name;  // the type keeps pointing at this text on older interpreters
};

namespace mirl::host {

// A resource object: the variable-size header and one word, then the
// payload (ob_size bytes). The word points back at the resource type record;
// an object whose word is null was not made by enif_alloc_resource and has no
// payload to destroy.
struct ResourceObject {
    PyObject_VAR_HEAD
    ErlNifResourceType *resource_type;
};

inline void *resource_payload(PyObject *obj) { return reinterpret_cast<char *>(obj) + sizeof(ResourceObject); }
inline PyObject *resource_object(void *payload) {
    return reinterpret_cast<PyObject *>(static_cast<char *>(payload) - sizeof(ResourceObject));
}

// Caller input is walked recursively only this many levels deep (iolists,
// encoded and decoded terms); deeper input is refused.
constexpr int max_nesting = 1000;

// ---- module.cpp ----------------------------------------------------------
extern ErlNifEnv process_env;

// The name of atom `index` as UTF-8 bytes (no allocation); false for an
// index outside the table.
bool atom_name(Py_ssize_t index, const char **bytes, Py_ssize_t *length);

// ---- terms.cpp -------------------------------------------------------------
// Hands a new reference over to the environment (the process environment
// when env is null) and returns it. Null in gives null out; when the
// record cannot grow the reference is dropped and null returned with
// MemoryError set.
PyObject *env_keep(ErlNifEnv *env, PyObject *obj);
// Releases the references the environment took after `mark` entries.
void env_release(ErlNifEnv *env, size_t mark);

}  // namespace mirl::host
