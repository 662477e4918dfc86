// The cheapest extension function there is: METH_VARARGS, ignores its
// arguments and returns None. The call-overhead benchmark measures the
// library's trivial functions against it.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

static PyObject *bare(PyObject *, PyObject *) { Py_RETURN_NONE; }

static PyMethodDef methods[] = {
    {"bare", bare, METH_VARARGS, "return None"},
    {nullptr, nullptr, 0, nullptr},
};

static PyModuleDef module = {PyModuleDef_HEAD_INIT, "bare_ext", nullptr, -1, methods,
                             nullptr, nullptr, nullptr, nullptr};

PyMODINIT_FUNC PyInit_bare_ext(void) { return PyModule_Create(&module); }
