// Diagnostic entry points for tests, exported from the module for ctypes:
// mirl_check_state runs the solver-state consistency checker on a handle.
// It exists only in builds that compile the checker in (MIRL_CHECKS), so a
// test can tell by the symbol's presence whether it may ask.
#include "host/host.h"

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
