// The cheapest extension functions there are: bare (METH_VARARGS, the
// reference the goal names) and bare_fast (METH_FASTCALL, the convention the
// library's functions use), both ignoring their arguments and returning None.
// The call-overhead benchmark measures the library's trivial functions
// against them.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

static PyObject *bare(PyObject *, PyObject *) { Py_RETURN_NONE; }
static PyObject *bare_fast(PyObject *, PyObject *const *, Py_ssize_t) { Py_RETURN_NONE; }

static PyMethodDef methods[] = {
    {"bare", bare, METH_VARARGS, "return None"},
    {"bare_fast", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(bare_fast)), METH_FASTCALL,
     "return None"},
    {nullptr, nullptr, 0, nullptr},
};

static PyModuleDef module = {PyModuleDef_HEAD_INIT, "bare_ext", nullptr, -1, methods,
                             nullptr, nullptr, nullptr, nullptr};

PyMODINIT_FUNC PyInit_bare_ext(void) { return PyModule_Create(&module); }
