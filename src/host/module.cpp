// The Python module mirl_nif: PyInit_mirl_nif turns the library's function
// table into one Python function per distinct name, taking its arguments as
// a vector. A name whose one variant is a plain reader has a direct entry;
// every other name goes through its slot trampoline to the dispatcher, which
// picks the variant whose arity matches the call. Also the process
// environment's atom table and the conversion of raised atoms into
// TypeError.
#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include "host/host.h"
#include "nif/functions.h"

namespace mirl::host {

ErlNifEnv process_env;

namespace {

constexpr int max_functions = 256;
constexpr Py_ssize_t initial_atom_capacity = 1024;
constexpr Py_ssize_t atom_growth = 512;
constexpr size_t atom_text_room = 256;  // names of 256 bytes or more are refused

// The registry: one method row per distinct name, in order of first
// appearance; the variants of row r are entries row_first[r] .. row_end[r]-1.
ErlNifEntry *entry = nullptr;
PyMethodDef method_table[max_functions + 1];
unsigned variant_func[max_functions];
uint32_t variant_arity[max_functions];
ErlNifFunction variant_call[max_functions];  // each variant's function

// A name whose one variant is plain function p (mirl::plain_functions) is
// called through plain_entry<p>, which knows its function; plain_arity[p] is
// that variant's arity and plain_slot[p] its row.
constexpr size_t plain_count = std::size(mirl::plain_functions);
uint32_t plain_arity[plain_count];
unsigned plain_slot[plain_count];
uint32_t row_first[max_functions];
uint32_t row_end[max_functions];

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "mirl_nif", nullptr, -1, method_table, nullptr, nullptr, nullptr, nullptr,
};

// No Python code runs in the middle of a library call: an allocation could
// otherwise start the cyclic garbage collector, whose finalizers may call
// back into the library on the very solver the call is working on (and
// free what the call is reading), or let another thread in. The collector
// is paused for the call and resumed after it if it was running.
struct CollectorPause {
#if PY_VERSION_HEX >= 0x030A0000
    int was_enabled = PyGC_Disable();
    ~CollectorPause() {
        if (was_enabled) PyGC_Enable();
    }
#else
    // Before 3.10 the switch is only reachable through the gc module, which
    // is imported once and kept for the process.
    static PyObject *collector() {
        static PyObject *gc_module = PyImport_ImportModule("gc");
        if (gc_module == nullptr) PyErr_Clear();
        return gc_module;
    }
    static void call_collector(const char *method) {
        PyObject *gc_module = collector();
        PyObject *done = gc_module == nullptr ? nullptr : PyObject_CallMethod(gc_module, method, nullptr);
        Py_XDECREF(done);
    }
    bool was_enabled = false;
    CollectorPause() {
        PyObject *gc_module = collector();
        PyObject *enabled = gc_module == nullptr ? nullptr : PyObject_CallMethod(gc_module, "isenabled", nullptr);
        was_enabled = enabled == Py_True;
        Py_XDECREF(enabled);
        if (was_enabled) call_collector("disable");
        PyErr_Clear();
    }
    ~CollectorPause() {
        if (!was_enabled) return;
        PyObject *error_type, *error_value, *error_trace;
        PyErr_Fetch(&error_type, &error_value, &error_trace);  // the call's own outcome
        call_collector("enable");
        PyErr_Clear();
        PyErr_Restore(error_type, error_value, error_trace);
    }
#endif
};

// Takes the result's reference out of the environment (or adds one) and
// releases the other terms the call made after `mark`.
inline PyObject *hand_over(ErlNifEnv *env, size_t mark, PyObject *result) {
    // A result the call made last is handed over with the reference the
    // environment held, instead of one added and one dropped.
    if (result != nullptr && env->scratch_count > mark && env->scratch[env->scratch_count - 1] == result)
        env->scratch_count--;
    else
        Py_XINCREF(result);
    env_release(env, mark);
    return result;
}

[[gnu::cold]] void failed_silently(unsigned v) {
    if (!PyErr_Occurred())
        PyErr_Format(PyExc_SystemError, "%s failed without setting an error", entry->funcs[variant_func[v]].name);
}

// The rows take their arguments as a vector (no tuple is built for a call):
// a row function has this type and is stored cast in the method table.
// Keyword arguments are refused with the text a tuple-taking function gets.
using VectorFunction = PyObject *(*)(PyObject *, PyObject *const *, Py_ssize_t, PyObject *);

[[gnu::cold, gnu::noinline]] PyObject *no_keywords(unsigned slot) {
    PyErr_Format(PyExc_TypeError, "%.200s() takes no keyword arguments", method_table[slot].ml_name);
    return nullptr;
}

[[gnu::noinline]] PyObject *dispatch(PyObject *const *argv, Py_ssize_t n, unsigned slot) {
    const uint32_t end = row_end[slot];
    uint32_t v = row_first[slot];
    while (v < end && variant_arity[v] != static_cast<uint64_t>(n)) v++;
    if (v == end) {
        PyErr_SetString(PyExc_TypeError, "badarity");
        std::fprintf(stderr, "arity mismatch %s got %d args\r\n", method_table[slot].ml_name, static_cast<int>(n));
        std::fflush(stderr);
        return nullptr;
    }
    ErlNifEnv *env = &process_env;
    // A call releases only what it made itself, so a call nested inside
    // another (Python code run by a hash or comparison) leaves the outer
    // call's terms alone.
    const size_t mark = env->scratch_count;
    const ErlNifFunction call = variant_call[v];
    PyObject *result;
    {
        CollectorPause pause;
        result = hand_over(env, mark, call(env, static_cast<int>(n), argv));
    }
    if (result == nullptr) {
        failed_silently(v);
    } else if (PyErr_Occurred()) {
        // The call succeeded, so the exception is dropped; but a library
        // function should clear what it handled where it handled it, and
        // checked builds say which one did not.
#ifdef MIRL_CHECKS
        std::fprintf(stderr, "mirl_nif: %s returned with an exception pending\n", entry->funcs[variant_func[v]].name);
#endif
        PyErr_Clear();
    }
    return result;
}

template <size_t S>
PyObject *trampoline(PyObject *, PyObject *const *argv, Py_ssize_t n, PyObject *keywords) {
    if (keywords != nullptr && PyTuple_GET_SIZE(keywords) != 0) return no_keywords(S);
    return dispatch(argv, n, S);
}

// The entry of a plain function: its arity is the only one its name has,
// and nothing in it can start the collector or leave an exception behind a
// result, so the call needs neither the variant search nor the pause. Any
// other arity goes to the dispatcher, which refuses it.
template <size_t P>
[[gnu::flatten]] PyObject *plain_entry(PyObject *, PyObject *const *argv, Py_ssize_t n, PyObject *keywords) {
    if (keywords != nullptr && PyTuple_GET_SIZE(keywords) != 0) return no_keywords(plain_slot[P]);
    if (static_cast<uint64_t>(n) != plain_arity[P]) return dispatch(argv, n, plain_slot[P]);
    ErlNifEnv *env = &process_env;
    const size_t mark = env->scratch_count;
    PyObject *result = hand_over(env, mark, mirl::plain_functions[P](env, static_cast<int>(n), argv));
    if (result == nullptr) failed_silently(row_first[plain_slot[P]]);
    return result;
}

template <size_t... P>
constexpr std::array<VectorFunction, sizeof...(P)> make_plain_entries(std::index_sequence<P...>) {
    return {{&plain_entry<P>...}};
}

constexpr std::array<VectorFunction, plain_count> plain_entries = make_plain_entries(std::make_index_sequence<plain_count>{});

template <size_t... S>
constexpr std::array<VectorFunction, sizeof...(S)> make_trampolines(std::index_sequence<S...>) {
    return {{&trampoline<S>...}};
}

constexpr std::array<VectorFunction, max_functions> trampolines = make_trampolines(std::make_index_sequence<max_functions>{});

// The method row's function: the plain entry of a name whose one variant is
// a plain function, else the slot's trampoline.
VectorFunction row_function(int row) {
    const uint32_t v = row_first[row];
    if (row_end[row] - v != 1) return trampolines[row];
    for (size_t p = 0; p < plain_count; p++) {
        if (variant_call[v] != mirl::plain_functions[p]) continue;
        plain_arity[p] = variant_arity[v];
        plain_slot[p] = static_cast<unsigned>(row);
        return plain_entries[p];
    }
    return trampolines[row];
}

// Builds the method rows (one per distinct name) and their variant lists.
void build_registry(const ErlNifEntry *e) {
    const int count = e->num_of_funcs;
    std::memset(method_table, 0, sizeof(PyMethodDef) * (static_cast<size_t>(count) + 1));
    int rows = 0;
    uint32_t variants = 0;
    for (int k = 0; k < count; k++) {
        const char *name = e->funcs[k].name;
        bool seen = false;
        for (int r = 0; r < rows && !seen; r++) seen = std::strcmp(method_table[r].ml_name, name) == 0;
        if (seen) continue;
        method_table[rows].ml_name = name;
        method_table[rows].ml_flags = METH_FASTCALL | METH_KEYWORDS;
        method_table[rows].ml_doc = nullptr;
        row_first[rows] = variants;
        for (int m = k; m < count; m++) {
            if (m != k && std::strcmp(e->funcs[m].name, name) != 0) continue;
            variant_func[variants] = static_cast<unsigned>(m);
            variant_arity[variants] = e->funcs[m].arity;
            variant_call[variants] = e->funcs[m].fptr;
            variants++;
        }
        row_end[rows] = variants;
        method_table[rows].ml_meth = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(row_function(rows)));
        rows++;
    }
}

// Prepares the process environment with the atoms false (0) and true (1).
// A second initialisation (after a failed import) keeps the table it has:
// the library's atom slots refer to its objects.
int init_environment() {
    ErlNifEnv *env = &process_env;
    if (env->atom_dict != nullptr) return 0;
    PyObject *dict = PyDict_New();
    if (dict == nullptr) return -1;
    auto **names = static_cast<PyObject **>(PyMem_Malloc(sizeof(PyObject *) * initial_atom_capacity));
    if (names == nullptr) {
        Py_DECREF(dict);
        PyErr_NoMemory();
        return -1;
    }
    const char *const builtin[2] = {"false", "true"};
    for (long i = 0; i < 2; i++) {
        PyObject *index = PyLong_FromLong(i);
        int rc = index == nullptr ? -1 : PyDict_SetItemString(dict, builtin[i], index);
        Py_XDECREF(index);
        if (rc != 0) {
            Py_DECREF(dict);
            PyMem_Free(names);
            return -1;
        }
    }
    Py_INCREF(Py_False);
    Py_INCREF(Py_True);
    names[0] = Py_False;
    names[1] = Py_True;
    env->atom_dict = dict;
    env->atom_names = names;
    env->atom_capacity = initial_atom_capacity;
    env->atom_count = 2;
    return 0;
}

// Reads a Python int as an atom index; -1 when it is none.
Py_ssize_t atom_index(PyObject *term) {
    if (term == nullptr || !PyLong_Check(term)) return -1;
    int overflow = 0;
    long long index = PyLong_AsLongLongAndOverflow(term, &overflow);
    if (index == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return -1;
    }
    if (overflow != 0 || index < 0 || index >= process_env.atom_count) return -1;
    return static_cast<Py_ssize_t>(index);
}

// Writes the UTF-8 form of a str into buf without allocating or running
// Python code; the length, or -1 when it has more than `room` bytes or holds
// a lone surrogate.
Py_ssize_t str_to_utf8(PyObject *str, unsigned char *buf, Py_ssize_t room) {
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(str) != 0) {
        PyErr_Clear();
        return -1;
    }
#endif
    const int kind = PyUnicode_KIND(str);
    const void *data = PyUnicode_DATA(str);
    const Py_ssize_t length = PyUnicode_GET_LENGTH(str);
    Py_ssize_t out = 0;
    for (Py_ssize_t i = 0; i < length; i++) {
        const Py_UCS4 c = PyUnicode_READ(kind, data, i);
        int width = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (c >= 0xD800 && c <= 0xDFFF) return -1;
        if (out + width > room) return -1;
        if (width == 1) {
            buf[out++] = static_cast<unsigned char>(c);
        } else if (width == 2) {
            buf[out++] = static_cast<unsigned char>(0xC0 | (c >> 6));
            buf[out++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else if (width == 3) {
            buf[out++] = static_cast<unsigned char>(0xE0 | (c >> 12));
            buf[out++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            buf[out++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            buf[out++] = static_cast<unsigned char>(0xF0 | (c >> 18));
            buf[out++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
            buf[out++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            buf[out++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The text of an exception raised with `reason`, or null for "exception".
const char *raised_text(PyObject *reason) {
    if (reason == Py_False) return "false";
    if (reason == Py_True) return "true";
    const char *bytes = nullptr;
    Py_ssize_t length = 0;
    if (PyLong_Check(reason)) {
        if (!atom_name(atom_index(reason), &bytes, &length)) return nullptr;
    } else if (PyUnicode_Check(reason)) {
        bytes = PyUnicode_AsUTF8AndSize(reason, &length);
        if (bytes == nullptr) {
            PyErr_Clear();
            return nullptr;
        }
    } else {
        return nullptr;
    }
    return length <= 255 ? bytes : nullptr;
}

}  // namespace

bool atom_name(Py_ssize_t index, const char **bytes, Py_ssize_t *length) {
    if (index < 0 || index >= process_env.atom_count) return false;
    if (index < 2) {
        *bytes = index == 0 ? "false" : "true";
        *length = index == 0 ? 5 : 4;
        return true;
    }
    // The UTF-8 form was made when the atom was created and is cached in the
    // name object, so this neither allocates nor fails.
    *bytes = PyUnicode_AsUTF8AndSize(process_env.atom_names[index], length);
    if (*bytes == nullptr) {
        PyErr_Clear();
        return false;
    }
    return true;
}

}  // namespace mirl::host

using mirl::host::process_env;

ERL_NIF_TERM enif_make_atom(ErlNifEnv *, const char *name) {
    ErlNifEnv *env = &process_env;
    PyObject *found = PyDict_GetItemString(env->atom_dict, name);  // borrowed
    if (found != nullptr) return found;
    if (env->atom_count >= env->atom_capacity) {
        const Py_ssize_t capacity = env->atom_capacity + mirl::host::atom_growth;
        auto **names = static_cast<PyObject **>(PyMem_Realloc(env->atom_names, sizeof(PyObject *) * capacity));
        if (names == nullptr) return PyErr_NoMemory();
        env->atom_names = names;
        env->atom_capacity = capacity;
    }
    PyObject *text = PyUnicode_FromString(name);
    if (text == nullptr) return nullptr;
    Py_ssize_t length;
    // Caches the UTF-8 form in the name object for atom_name().
    if (PyUnicode_AsUTF8AndSize(text, &length) == nullptr) {
        Py_DECREF(text);
        return nullptr;
    }
    PyObject *index = PyLong_FromSsize_t(env->atom_count);
    if (index == nullptr || PyDict_SetItem(env->atom_dict, text, index) != 0) {
        Py_XDECREF(index);
        Py_DECREF(text);
        return nullptr;
    }
    env->atom_names[env->atom_count++] = text;  // the table owns this reference
    Py_DECREF(index);                           // the dictionary keeps the index term alive
    return index;
}

int enif_make_existing_atom(ErlNifEnv *, const char *name, ERL_NIF_TERM *atom) {
    PyObject *found = PyDict_GetItemString(process_env.atom_dict, name);  // borrowed
    if (found == nullptr) return 0;
    *atom = found;
    return 1;
}

int enif_get_atom(ErlNifEnv *, ERL_NIF_TERM term, char *buf, unsigned size) {
    const char *bytes = nullptr;
    Py_ssize_t length = 0;
    if (term == Py_False) {
        bytes = "false";
        length = 5;
    } else if (term == Py_True) {
        bytes = "true";
        length = 4;
    } else if (PyLong_Check(term)) {
        if (!mirl::host::atom_name(mirl::host::atom_index(term), &bytes, &length)) return 0;
    } else if (term != nullptr && PyUnicode_Check(term)) {
        bytes = PyUnicode_AsUTF8AndSize(term, &length);
        if (bytes == nullptr) {
            PyErr_Clear();
            return 0;
        }
    } else {
        return 0;
    }
    const size_t room = size < mirl::host::atom_text_room ? size : mirl::host::atom_text_room;
    if (static_cast<size_t>(length) + 1 > room) return 0;
    std::memcpy(buf, bytes, static_cast<size_t>(length));
    buf[length] = '\0';
    return static_cast<int>(length) + 1;
}

ERL_NIF_TERM enif_raise_exception(ErlNifEnv *, ERL_NIF_TERM reason) {
    const char *text = reason == nullptr ? nullptr : mirl::host::raised_text(reason);
    PyErr_SetString(PyExc_TypeError, text != nullptr ? text : "exception");
    return nullptr;
}

// Compares the argument's name with the atom's without running Python code or
// allocating: a str by its UTF-8 bytes, a list by its character codes.
int enif_atom_matches(ErlNifEnv *, ERL_NIF_TERM atom, ERL_NIF_TERM arg) {
    if (atom == nullptr || arg == nullptr) return 0;
    if (arg == atom) return 1;
    const char *name = nullptr;
    Py_ssize_t name_length = 0;
    const Py_ssize_t index = mirl::host::atom_index(atom);
    if (!mirl::host::atom_name(index, &name, &name_length) || name_length > 255) return 0;
    // Only the atom term itself names its atom (not an equal int made elsewhere).
    PyObject *registered = index < 2 ? nullptr : PyDict_GetItem(process_env.atom_dict, process_env.atom_names[index]);
    if (index >= 2 && registered != atom) return 0;
    if (PyUnicode_Check(arg)) {
        unsigned char text[255];
        const Py_ssize_t length = mirl::host::str_to_utf8(arg, text, sizeof text);
        return length == name_length && std::memcmp(text, name, static_cast<size_t>(length)) == 0;
    }
    if (PyList_Check(arg)) {
        if (PyList_GET_SIZE(arg) != name_length) return 0;
        for (Py_ssize_t i = 0; i < name_length; i++) {
            PyObject *item = PyList_GET_ITEM(arg, i);  // borrowed
            if (!PyLong_Check(item)) return 0;
            int overflow = 0;
            const long code = PyLong_AsLongAndOverflow(item, &overflow);
            if (overflow != 0 || code != static_cast<unsigned char>(name[i])) return 0;
        }
        return 1;
    }
    return 0;
}

// Exported explicitly: the build hides symbols by default, and before 3.9
// PyMODINIT_FUNC does not mark the function visible.
extern "C" __attribute__((visibility("default"))) PyObject *PyInit_mirl_nif(void) {
    using namespace mirl::host;
    // The Windows form of the interface passes the runtime's callback table;
    // the library copies it and never reads it, so a zeroed block serves.
    static const unsigned char callbacks[1376] = {};
    ErlNifEntry *e = nif_init(callbacks);
    if (e->num_of_funcs > max_functions) {
        std::fprintf(stderr, "sorry to many functions limit is %d \r\n", max_functions);
        std::fprintf(stderr, "  to fix update MAX_HOSKA_FUNS!\r\n");
        std::fflush(stderr);
        PyErr_SetString(PyExc_ImportError, "mirl_nif: too many functions");
        return nullptr;
    }
    entry = e;
    build_registry(e);
    PyModuleDef_Init(&module_def);
    PyObject *module = PyModule_Create2(&module_def, 1013);
    if (module == nullptr) return nullptr;
    if (init_environment() != 0) {
        Py_DECREF(module);
        return nullptr;
    }
    if (e->load != nullptr) {
        const size_t mark = process_env.scratch_count;
        PyObject *load_info = env_keep(&process_env, PyLong_FromLong(0));
        int rc = load_info == nullptr ? -1 : e->load(&process_env, &process_env.priv_data, load_info);
        env_release(&process_env, mark);
        if (rc < 0) {
            if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, "mirl_nif: the library failed to load");
            Py_DECREF(module);
            return nullptr;
        }
    }
    return module;
}
