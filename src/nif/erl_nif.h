// The term interface between the library and its host.
//
// The library's functions are written against these erl_nif-shaped
// operations; the host (src/host) serves them over Python objects. A term is
// a pointer to a Python object, opaque on this side: nothing here includes
// Python.h. The host implements every function declared below.
//
// Ownership rule: every term a constructor returns is owned by the
// environment it was made in and stays alive until that environment is
// cleared (for a call's environment: until the dispatcher has taken its own
// reference to the result). Library code therefore never counts references.
// Constructors return a null term when the interpreter ran out of memory, with
// the Python exception set; containers built from a null element are null too.
#pragma once

#include <cstddef>
#include <cstdint>

struct _object;
typedef struct _object *ERL_NIF_TERM;

struct ErlNifEnv;
struct ErlNifResourceType;

typedef ERL_NIF_TERM (*ErlNifFunction)(ErlNifEnv *env, int argc, const ERL_NIF_TERM argv[]);

struct ErlNifFunc {
    const char *name;
    unsigned arity;
    ErlNifFunction fptr;
    unsigned flags;
};

struct ErlNifEntry {
    int major;
    int minor;
    const char *name;
    int num_of_funcs;
    ErlNifFunc *funcs;
    int (*load)(ErlNifEnv *env, void **priv_data, ERL_NIF_TERM load_info);
    int (*reload)(ErlNifEnv *env, void **priv_data, ERL_NIF_TERM load_info);
    int (*upgrade)(ErlNifEnv *env, void **priv_data, void **old_priv_data, ERL_NIF_TERM load_info);
    void (*unload)(ErlNifEnv *env, void *priv_data);
    const char *vm_variant;
    unsigned options;
    size_t sizeof_ErlNifResourceTypeInit;
    const char *min_erts;
};

struct ErlNifBinary {
    uint64_t size;
    unsigned char *data;
    ERL_NIF_TERM ref_bin;  // the bytearray holding the bytes
    int owned;             // 1 when the descriptor holds its own reference
};

// Walks a map's pairs in insertion order; `pos` is the interpreter's own
// dictionary position so that a whole walk is linear.
struct ErlNifMapIterator {
    ERL_NIF_TERM map;
    uint64_t index;   // pairs already passed
    intptr_t pos;     // position for the next dictionary step
    ERL_NIF_TERM key;
    ERL_NIF_TERM value;
    int valid;
};

struct ErlNifPid {
    uint32_t pid;
};

typedef void ErlNifResourceDtor(ErlNifEnv *env, void *obj);
typedef void ErlNifResourceStop(ErlNifEnv *env, void *obj, intptr_t event, int is_direct_call);
typedef void ErlNifResourceDown(ErlNifEnv *env, void *obj, ErlNifPid *pid, void *monitor);

struct ErlNifResourceTypeInit {
    ErlNifResourceDtor *dtor;
    ErlNifResourceStop *stop;
    ErlNifResourceDown *down;
};

enum ErlNifResourceFlags { ERL_NIF_RT_CREATE = 1, ERL_NIF_RT_TAKEOVER = 2 };

// ---- environment and atoms -------------------------------------------------
ERL_NIF_TERM enif_make_atom(ErlNifEnv *env, const char *name);
int enif_make_existing_atom(ErlNifEnv *env, const char *name, ERL_NIF_TERM *atom);
// Writes the name and a NUL into buf (256 bytes); returns bytes written
// including the NUL, 0 for no atom or a name of 256 bytes or more.
int enif_get_atom(ErlNifEnv *env, ERL_NIF_TERM term, char *buf, unsigned size);
// Fails the call with TypeError carrying the atom's name; returns null.
ERL_NIF_TERM enif_raise_exception(ErlNifEnv *env, ERL_NIF_TERM reason);
// TypeError "badarg"; returns null.
ERL_NIF_TERM enif_make_badarg(ErlNifEnv *env);
// True when arg is the atom term itself, or names it by a str or a list of
// character codes.
int enif_atom_matches(ErlNifEnv *env, ERL_NIF_TERM atom, ERL_NIF_TERM arg);

// ---- kinds -----------------------------------------------------------------
int enif_is_identical(ERL_NIF_TERM a, ERL_NIF_TERM b);
int enif_is_integer(ErlNifEnv *env, ERL_NIF_TERM term);  // int, bool included
int enif_is_float(ErlNifEnv *env, ERL_NIF_TERM term);
int enif_is_tuple(ErlNifEnv *env, ERL_NIF_TERM term);
int enif_is_list(ErlNifEnv *env, ERL_NIF_TERM term);
int enif_is_empty_list(ErlNifEnv *env, ERL_NIF_TERM term);
int enif_is_map(ErlNifEnv *env, ERL_NIF_TERM term);
int enif_is_binary(ErlNifEnv *env, ERL_NIF_TERM term);
int enif_is_true(ERL_NIF_TERM term);   // the object True
int enif_is_false(ERL_NIF_TERM term);  // the object False
int enif_is_none(ERL_NIF_TERM term);   // the object None

// ---- integers and floats ---------------------------------------------------
// Integer getters accept int (and bool); a value outside the destination's
// range is refused like a term of the wrong kind, with no exception left set.
int enif_get_int(ErlNifEnv *env, ERL_NIF_TERM term, int *ip);
int enif_get_uint(ErlNifEnv *env, ERL_NIF_TERM term, unsigned *ip);
int enif_get_int64(ErlNifEnv *env, ERL_NIF_TERM term, int64_t *ip);
int enif_get_uint64(ErlNifEnv *env, ERL_NIF_TERM term, uint64_t *ip);
int enif_get_double(ErlNifEnv *env, ERL_NIF_TERM term, double *dp);  // float only
ERL_NIF_TERM enif_make_int(ErlNifEnv *env, int i);
ERL_NIF_TERM enif_make_uint(ErlNifEnv *env, unsigned i);
ERL_NIF_TERM enif_make_int64(ErlNifEnv *env, int64_t i);
ERL_NIF_TERM enif_make_uint64(ErlNifEnv *env, uint64_t i);
ERL_NIF_TERM enif_make_double(ErlNifEnv *env, double d);

// ---- constants ---------------------------------------------------------------
ERL_NIF_TERM enif_make_true(ErlNifEnv *env);
ERL_NIF_TERM enif_make_false(ErlNifEnv *env);
ERL_NIF_TERM enif_make_bool(ErlNifEnv *env, int b);
ERL_NIF_TERM enif_make_none(ErlNifEnv *env);

// ---- tuples ------------------------------------------------------------------
int enif_get_tuple(ErlNifEnv *env, ERL_NIF_TERM term, int *arity, const ERL_NIF_TERM **array);
ERL_NIF_TERM enif_make_tuple(ErlNifEnv *env, unsigned cnt, ...);
ERL_NIF_TERM enif_make_tuple_from_array(ErlNifEnv *env, const ERL_NIF_TERM arr[], unsigned cnt);

// ---- lists -------------------------------------------------------------------
int enif_get_list_length(ErlNifEnv *env, ERL_NIF_TERM term, unsigned *len);
// head = element 0, tail = a new list of the rest. Linear per step: prefer
// enif_get_list_items for walking.
int enif_get_list_cell(ErlNifEnv *env, ERL_NIF_TERM term, ERL_NIF_TERM *head, ERL_NIF_TERM *tail);
// Host extension: a borrowed view of a list's elements. Valid while no Python
// code runs and the list is not changed, i.e. for the rest of a plain decode.
int enif_get_list_items(ErlNifEnv *env, ERL_NIF_TERM term, const ERL_NIF_TERM **items, unsigned *len);
ERL_NIF_TERM enif_make_list(ErlNifEnv *env, unsigned cnt, ...);
ERL_NIF_TERM enif_make_list_from_array(ErlNifEnv *env, const ERL_NIF_TERM arr[], unsigned cnt);
// Builds the list of arr[cnt-1], ..., arr[0]: what prepending arr[0..cnt-1]
// one by one gives, in linear time.
ERL_NIF_TERM enif_make_list_from_array_reversed(ErlNifEnv *env, const ERL_NIF_TERM arr[], unsigned cnt);
// Prepends to a list object in place (returning it), else makes (head, tail).
ERL_NIF_TERM enif_make_list_cell(ErlNifEnv *env, ERL_NIF_TERM head, ERL_NIF_TERM tail);

// ---- maps --------------------------------------------------------------------
int enif_get_map_size(ErlNifEnv *env, ERL_NIF_TERM term, size_t *size);
int enif_make_map_from_arrays(ErlNifEnv *env, const ERL_NIF_TERM keys[], const ERL_NIF_TERM values[], size_t cnt,
                              ERL_NIF_TERM *map_out);
int enif_map_iterator_create(ErlNifEnv *env, ERL_NIF_TERM map, ErlNifMapIterator *iter, int entry);
void enif_map_iterator_destroy(ErlNifEnv *env, ErlNifMapIterator *iter);
int enif_map_iterator_get_pair(ErlNifEnv *env, ErlNifMapIterator *iter, ERL_NIF_TERM *key, ERL_NIF_TERM *value);
int enif_map_iterator_next(ErlNifEnv *env, ErlNifMapIterator *iter);
enum { ERL_NIF_MAP_ITERATOR_FIRST = 1 };

// ---- binaries ----------------------------------------------------------------
int enif_alloc_binary(size_t size, ErlNifBinary *bin);
void enif_release_binary(ErlNifBinary *bin);
int enif_inspect_binary(ErlNifEnv *env, ERL_NIF_TERM term, ErlNifBinary *bin);
int enif_inspect_iolist_as_binary(ErlNifEnv *env, ERL_NIF_TERM term, ErlNifBinary *bin);
unsigned char *enif_make_new_binary(ErlNifEnv *env, size_t size, ERL_NIF_TERM *termp);
// Hands an owned binary over to the environment as a term.
ERL_NIF_TERM enif_make_binary(ErlNifEnv *env, ErlNifBinary *bin);
int enif_term_to_binary(ErlNifEnv *env, ERL_NIF_TERM term, ErlNifBinary *bin);
size_t enif_binary_to_term(ErlNifEnv *env, const unsigned char *data, size_t sz, ERL_NIF_TERM *term, unsigned opts);

// ---- strings -----------------------------------------------------------------
int enif_get_string(ErlNifEnv *env, ERL_NIF_TERM term, char *buf, unsigned size, int encoding);
ERL_NIF_TERM enif_make_string(ErlNifEnv *env, const char *string, int encoding);
enum { ERL_NIF_LATIN1 = 1, ERL_NIF_UTF8 = 2 };

// ---- resources ---------------------------------------------------------------
ErlNifResourceType *enif_open_resource_type(ErlNifEnv *env, const char *module_str, const char *name,
                                            const ErlNifResourceTypeInit *init, int flags, int *tried);
void *enif_alloc_resource(ErlNifResourceType *type, size_t size);
ERL_NIF_TERM enif_make_resource(ErlNifEnv *env, void *obj);
void enif_release_resource(void *obj);
int enif_get_resource(ErlNifEnv *env, ERL_NIF_TERM term, ErlNifResourceType *type, void **objp);

// ---- process, memory, environments, clock ------------------------------------
ErlNifPid *enif_self(ErlNifEnv *caller_env, ErlNifPid *pid);
void *enif_alloc(size_t size);
void enif_free(void *ptr);
ErlNifEnv *enif_alloc_env(void);
void enif_free_env(ErlNifEnv *env);
void enif_clear_env(ErlNifEnv *env);
int64_t enif_time_seconds(void);

// ---- library entry, implemented by the library (src/nif) ---------------------
extern "C" ErlNifEntry *nif_init(const void *callbacks);
extern "C" void xnif_init(void);
