// Diagnostic entry points for tests, exported from the module for ctypes:
// mirl_term_to_binary and mirl_binary_to_term run a value through the
// external term format as the library's own calls do, and mirl_check_state
// runs the solver-state consistency checker on a handle. The checker entry
// exists only in builds that compile the checker in (MIRL_CHECKS), so a test
// can tell by the symbol's presence whether it may ask.
#include "host/host.h"

// The external format of a value as a new bytearray (version byte first) and
// back, through the same enif_term_to_binary and enif_binary_to_term the
// library uses; loaded through ctypes.PyDLL. Both need the interpreter lock
// and fail with ValueError.
extern "C" __attribute__((visibility("default"))) PyObject *mirl_term_to_binary(PyObject *term) {
    ErlNifBinary bin;
    if (!enif_term_to_binary(nullptr, term, &bin)) {
        PyErr_SetString(PyExc_ValueError, "term cannot be encoded");
        return nullptr;
    }
    return bin.ref_bin;  // the descriptor's reference passes to the caller
}

// (term, bytes used) for a bytes or bytearray object.
extern "C" __attribute__((visibility("default"))) PyObject *mirl_binary_to_term(PyObject *data) {
    if (!PyBytes_Check(data) && !PyByteArray_Check(data)) {
        PyErr_SetString(PyExc_TypeError, "bytes or bytearray expected");
        return nullptr;
    }
    const bool is_bytes = PyBytes_Check(data);
    const auto *bytes = reinterpret_cast<const unsigned char *>(is_bytes ? PyBytes_AS_STRING(data)
                                                                         : PyByteArray_AS_STRING(data));
    const auto length = static_cast<size_t>(is_bytes ? PyBytes_GET_SIZE(data) : PyByteArray_GET_SIZE(data));
    ErlNifEnv *env = enif_alloc_env();
    if (env == nullptr) return PyErr_NoMemory();
    ERL_NIF_TERM term = nullptr;
    const size_t used = enif_binary_to_term(env, bytes, length, &term, 0);
    PyObject *result = used == 0 ? nullptr : Py_BuildValue("(On)", term, static_cast<Py_ssize_t>(used));
    enif_free_env(env);
    if (used == 0) PyErr_SetString(PyExc_ValueError, "undecodable external term");
    return result;
}

#ifdef MIRL_CHECKS

#include <string>

#include "core/check.h"
#include "nif/handle.h"

// mirl_check_state(handle): None when the state is consistent; raises
// AssertionError with the first violation found, TypeError for an object
// that is no solver handle.
extern "C" __attribute__((visibility("default"))) PyObject *mirl_check_state(PyObject *handle) {
    void *payload = nullptr;
    if (mirl::solver_handle_type == nullptr ||
        !enif_get_resource(&mirl::host::process_env, handle, mirl::solver_handle_type, &payload)) {
        PyErr_SetString(PyExc_TypeError, "not a solver handle");
        return nullptr;
    }
    std::string violation;
    if (!mirl::check_state(static_cast<const mirl::SolverState *>(payload), &violation)) {
        PyErr_SetString(PyExc_AssertionError, violation.c_str());
        return nullptr;
    }
    Py_RETURN_NONE;
}

#endif
