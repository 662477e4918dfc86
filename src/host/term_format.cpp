// Encoding and decoding of the external term format, as symbol keys use it:
// term_size walks a value once to size the buffer exactly, encode_term
// writes it, decode_term reads it back with every length checked against the
// bytes present. Caller input is walked at most max_nesting containers deep.
#include "host/term_format.h"

#include <cstring>

namespace mirl::host {
namespace {

enum Tag : unsigned char {
    tag_float = 70,
    tag_small_int = 97,
    tag_int = 98,
    tag_float_text = 99,
    tag_atom = 100,
    tag_small_tuple = 104,
    tag_large_tuple = 105,
    tag_nil = 106,
    tag_string = 107,
    tag_list = 108,
    tag_binary = 109,
    tag_small_big = 110,
    tag_large_big = 111,
    tag_small_atom = 115,
    tag_map = 116,
};

// Encodings larger than this are refused: it bounds the work a value with
// shared sub-terms (a list holding itself twice, nested) can cause.
constexpr Py_ssize_t max_encoded_size = Py_ssize_t{1} << 28;

// An int split into sign and magnitude. Magnitudes of up to 64 bits are held
// directly; larger ones as an exact int `big` (owned) read through its
// to_bytes method, since the interpreter's byte-array conversions are not
// public before 3.13.
struct IntegerParts {
    bool negative = false;
    size_t bits = 0;
    uint64_t magnitude = 0;
    PyObject *big = nullptr;

    ~IntegerParts() { Py_XDECREF(big); }
};

size_t bit_count(uint64_t v) { return v == 0 ? 0 : 64 - static_cast<size_t>(__builtin_clzll(v)); }

// False when the interpreter failed (no exception left).
bool split_integer(PyObject *value, IntegerParts *parts) {
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(value, &overflow);
    if (v == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    if (overflow == 0) {
        parts->negative = v < 0;
        parts->magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        parts->bits = bit_count(parts->magnitude);
        return true;
    }
    parts->negative = overflow < 0;
    // int's own absolute value, whatever a subclass says; an exact int.
    PyObject *magnitude = PyLong_Type.tp_as_number->nb_absolute(value);
    if (magnitude == nullptr) {
        PyErr_Clear();
        return false;
    }
    const unsigned long long small = PyLong_AsUnsignedLongLong(magnitude);
    if (!(small == static_cast<unsigned long long>(-1) && PyErr_Occurred())) {
        Py_DECREF(magnitude);
        parts->magnitude = small;
        parts->bits = bit_count(small);
        return true;
    }
    PyErr_Clear();
    PyObject *bits = PyObject_CallMethod(magnitude, "bit_length", nullptr);
    const size_t count = bits == nullptr ? static_cast<size_t>(-1) : PyLong_AsSize_t(bits);
    Py_XDECREF(bits);
    if (count == static_cast<size_t>(-1)) {
        PyErr_Clear();
        Py_DECREF(magnitude);
        return false;
    }
    parts->bits = count;
    parts->big = magnitude;
    return true;
}

// Writes the magnitude as n little-endian bytes.
bool write_magnitude(const IntegerParts &parts, unsigned char *out, size_t n) {
    if (parts.big == nullptr) {
        uint64_t m = parts.magnitude;
        for (size_t i = 0; i < n; i++, m >>= 8) out[i] = static_cast<unsigned char>(m & 0xFF);
        return true;
    }
    PyObject *bytes = PyObject_CallMethod(parts.big, "to_bytes", "ns", static_cast<Py_ssize_t>(n), "little");
    if (bytes == nullptr) {
        PyErr_Clear();
        return false;
    }
    const bool ok = PyBytes_Check(bytes) && static_cast<size_t>(PyBytes_GET_SIZE(bytes)) == n;
    if (ok) std::memcpy(out, PyBytes_AS_STRING(bytes), n);
    Py_DECREF(bytes);
    return ok;
}

Py_ssize_t integer_size(PyObject *value) {
    IntegerParts parts;
    if (!split_integer(value, &parts)) return -1;
    if (parts.bits <= 30) return !parts.negative && parts.magnitude <= 255 ? 2 : 5;
    const size_t n = (parts.bits + 7) / 8;
    if (n > static_cast<size_t>(max_encoded_size)) return -1;
    return static_cast<Py_ssize_t>(n <= 255 ? n + 3 : n + 6);
}

// The UTF-8 form of a str (cached in the object), or null (no exception).
const char *utf8_of(PyObject *str, Py_ssize_t *length) {
    const char *text = PyUnicode_AsUTF8AndSize(str, length);
    if (text == nullptr) PyErr_Clear();
    return text;
}

// Adds a part to a running size; -1 once it fails or passes the limit.
Py_ssize_t add_size(Py_ssize_t total, Py_ssize_t part) {
    if (total < 0 || part < 0 || part > max_encoded_size - total) return -1;
    return total + part;
}

Py_ssize_t size_of(PyObject *term, int depth) {
    if (term == Py_True) return 6;
    if (term == Py_False) return 7;
    if (PyLong_Check(term)) return integer_size(term);
    if (PyFloat_Check(term)) return 9;
    if (PyUnicode_Check(term)) {
        Py_ssize_t length;
        if (utf8_of(term, &length) == nullptr) return -1;
        if (length <= 65535) return length + 3;
        return length > max_encoded_size / 2 ? -1 : add_size(2 * length, 6);
    }
    const bool container = PyList_Check(term) || PyTuple_Check(term) || PyDict_Check(term);
    if (!container || depth >= max_nesting) return -1;
    Py_ssize_t total;
    if (PyList_Check(term)) {
        const Py_ssize_t n = PyList_GET_SIZE(term);
        if (n == 0) return 1;
        total = 6;
        for (Py_ssize_t i = 0; i < n && total >= 0; i++)
            total = add_size(total, size_of(PyList_GET_ITEM(term, i), depth + 1));
    } else if (PyTuple_Check(term)) {
        const Py_ssize_t n = PyTuple_GET_SIZE(term);
        total = n <= 255 ? 2 : 5;
        for (Py_ssize_t i = 0; i < n && total >= 0; i++)
            total = add_size(total, size_of(PyTuple_GET_ITEM(term, i), depth + 1));
    } else {
        if (PyDict_GET_SIZE(term) > 0xFFFFFFFF) return -1;
        total = 5;
        Py_ssize_t pos = 0;
        PyObject *key, *value;  // borrowed
        while (total >= 0 && PyDict_Next(term, &pos, &key, &value)) {
            total = add_size(total, size_of(key, depth + 1));
            total = add_size(total, size_of(value, depth + 1));
        }
    }
    return total;
}

void put_u16(unsigned char *out, uint32_t v) {
    out[0] = static_cast<unsigned char>(v >> 8);
    out[1] = static_cast<unsigned char>(v);
}

void put_u32(unsigned char *out, uint32_t v) {
    out[0] = static_cast<unsigned char>(v >> 24);
    out[1] = static_cast<unsigned char>(v >> 16);
    out[2] = static_cast<unsigned char>(v >> 8);
    out[3] = static_cast<unsigned char>(v);
}

uint32_t get_u16(const unsigned char *in) { return static_cast<uint32_t>(in[0]) << 8 | in[1]; }

uint32_t get_u32(const unsigned char *in) {
    return static_cast<uint32_t>(in[0]) << 24 | static_cast<uint32_t>(in[1]) << 16 |
           static_cast<uint32_t>(in[2]) << 8 | in[3];
}

Py_ssize_t encode_integer(PyObject *value, unsigned char *out, Py_ssize_t room) {
    IntegerParts parts;
    if (!split_integer(value, &parts)) return -1;
    if (parts.bits <= 30) {
        if (!parts.negative && parts.magnitude <= 255) {
            if (room < 2) return -1;
            out[0] = tag_small_int;
            out[1] = static_cast<unsigned char>(parts.magnitude);
            return 2;
        }
        if (room < 5) return -1;
        const int32_t v = parts.negative ? -static_cast<int32_t>(parts.magnitude) : static_cast<int32_t>(parts.magnitude);
        out[0] = tag_int;
        put_u32(out + 1, static_cast<uint32_t>(v));
        return 5;
    }
    const size_t n = (parts.bits + 7) / 8;
    const size_t header = n <= 255 ? 3 : 6;
    if (n > static_cast<size_t>(max_encoded_size) || static_cast<size_t>(room) < header + n) return -1;
    if (n <= 255) {
        out[0] = tag_small_big;
        out[1] = static_cast<unsigned char>(n);
    } else {
        out[0] = tag_large_big;
        put_u32(out + 1, static_cast<uint32_t>(n));
    }
    out[header - 1] = parts.negative ? 1 : 0;
    if (!write_magnitude(parts, out + header, n)) return -1;
    return static_cast<Py_ssize_t>(header + n);
}

Py_ssize_t encode_string(PyObject *str, unsigned char *out, Py_ssize_t room) {
    Py_ssize_t length;
    const char *text = utf8_of(str, &length);
    if (text == nullptr) return -1;
    if (length <= 65535) {
        if (room < 3 + length) return -1;
        out[0] = tag_string;
        put_u16(out + 1, static_cast<uint32_t>(length));
        if (length > 0) std::memcpy(out + 3, text, static_cast<size_t>(length));
        return length + 3;
    }
    // Longer text goes out as a list of its bytes.
    if (length > max_encoded_size / 2 || room < 2 * length + 6) return -1;
    out[0] = tag_list;
    put_u32(out + 1, static_cast<uint32_t>(length));
    unsigned char *p = out + 5;
    for (Py_ssize_t i = 0; i < length; i++) {
        *p++ = tag_small_int;
        *p++ = static_cast<unsigned char>(text[i]);
    }
    *p = tag_nil;
    return 2 * length + 6;
}

Py_ssize_t encode(PyObject *term, unsigned char *out, Py_ssize_t room, int depth);

// Encodes the items one after the other; the bytes written or -1.
Py_ssize_t encode_items(PyObject *const *items, Py_ssize_t n, unsigned char *out, Py_ssize_t room, int depth) {
    Py_ssize_t written = 0;
    for (Py_ssize_t i = 0; i < n; i++) {
        const Py_ssize_t w = encode(items[i], out + written, room - written, depth + 1);
        if (w < 1) return -1;
        written += w;
    }
    return written;
}

Py_ssize_t encode(PyObject *term, unsigned char *out, Py_ssize_t room, int depth) {
    if (term == Py_True || term == Py_False) {
        const bool t = term == Py_True;
        const Py_ssize_t length = t ? 4 : 5;
        if (room < length + 2) return -1;
        out[0] = tag_small_atom;
        out[1] = static_cast<unsigned char>(length);
        std::memcpy(out + 2, t ? "true" : "false", static_cast<size_t>(length));
        return length + 2;
    }
    if (PyLong_Check(term)) return encode_integer(term, out, room);
    if (PyFloat_Check(term)) {
        if (room < 9) return -1;
        double d = PyFloat_AS_DOUBLE(term);
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        out[0] = tag_float;
        for (int i = 0; i < 8; i++) out[1 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
        return 9;
    }
    if (PyUnicode_Check(term)) return encode_string(term, out, room);
    const bool container = PyList_Check(term) || PyTuple_Check(term) || PyDict_Check(term);
    if (!container || depth >= max_nesting) return -1;
    if (PyList_Check(term)) {
        const Py_ssize_t n = PyList_GET_SIZE(term);
        if (n == 0) {
            if (room < 1) return -1;
            out[0] = tag_nil;
            return 1;
        }
        if (room < 6 || n > 0xFFFFFFFF) return -1;
        out[0] = tag_list;
        put_u32(out + 1, static_cast<uint32_t>(n));
        const Py_ssize_t w = encode_items(PySequence_Fast_ITEMS(term), n, out + 5, room - 6, depth);
        if (w < 0) return -1;
        out[5 + w] = tag_nil;
        return w + 6;
    }
    if (PyTuple_Check(term)) {
        const Py_ssize_t n = PyTuple_GET_SIZE(term);
        const Py_ssize_t header = n <= 255 ? 2 : 5;
        if (room < header || n > 0xFFFFFFFF) return -1;
        if (n <= 255) {
            out[0] = tag_small_tuple;
            out[1] = static_cast<unsigned char>(n);
        } else {
            out[0] = tag_large_tuple;
            put_u32(out + 1, static_cast<uint32_t>(n));
        }
        const Py_ssize_t w = encode_items(&PyTuple_GET_ITEM(term, 0), n, out + header, room - header, depth);
        return w < 0 ? -1 : w + header;
    }
    if (room < 5 || PyDict_GET_SIZE(term) > 0xFFFFFFFF) return -1;
    out[0] = tag_map;
    put_u32(out + 1, static_cast<uint32_t>(PyDict_GET_SIZE(term)));
    Py_ssize_t written = 5, pos = 0;
    PyObject *pair[2];  // borrowed
    while (PyDict_Next(term, &pos, &pair[0], &pair[1])) {
        const Py_ssize_t w = encode_items(pair, 2, out + written, room - written, depth);
        if (w < 0) return -1;
        written += w;
    }
    return written;
}

// ---- decoding ----------------------------------------------------------------

PyObject *malformed() {
    PyErr_SetString(PyExc_ValueError, "malformed external term");
    return nullptr;
}

PyObject *decode(const unsigned char *in, size_t length, size_t *used, int depth);

PyObject *decode_float_text(const unsigned char *in) {
    // 31 bytes of text, padded with NULs; anything after the first NUL must
    // be NUL too.
    char text[32];
    std::memcpy(text, in, 31);
    text[31] = '\0';
    const size_t end = std::strlen(text);
    for (size_t i = end; i < 31; i++)
        if (text[i] != '\0') return malformed();
    char *stop = nullptr;
    const double d = PyOS_string_to_double(text, &stop, nullptr);
    if (d == -1.0 && PyErr_Occurred()) return nullptr;
    if (stop == text || *stop != '\0') return malformed();
    return PyFloat_FromDouble(d);
}

PyObject *decode_atom_text(const unsigned char *text, size_t length) {
    if (length == 4 && std::memcmp(text, "true", 4) == 0) {
        Py_INCREF(Py_True);
        return Py_True;
    }
    if (length == 5 && std::memcmp(text, "false", 5) == 0) {
        Py_INCREF(Py_False);
        return Py_False;
    }
    return PyUnicode_DecodeUTF8(reinterpret_cast<const char *>(text), static_cast<Py_ssize_t>(length), "strict");
}

PyObject *decode_big(const unsigned char *digits, size_t n, bool negative) {
    PyObject *magnitude;
    if (n <= 8) {
        uint64_t m = 0;
        for (size_t i = n; i-- > 0;) m = m << 8 | digits[i];
        magnitude = PyLong_FromUnsignedLongLong(m);
    } else {
        magnitude = PyObject_CallMethod(reinterpret_cast<PyObject *>(&PyLong_Type), "from_bytes", "y#s",
                                        reinterpret_cast<const char *>(digits), static_cast<Py_ssize_t>(n), "little");
    }
    if (magnitude == nullptr || !negative) return magnitude;
    PyObject *value = PyNumber_Negative(magnitude);
    Py_DECREF(magnitude);
    return value;
}

// Decodes n terms into a new tuple or list starting at in.
PyObject *decode_sequence(bool tuple, size_t n, const unsigned char *in, size_t length, size_t *used, int depth) {
    if (n > length) return malformed();  // every term takes a byte at least
    PyObject *seq = tuple ? PyTuple_New(static_cast<Py_ssize_t>(n)) : PyList_New(static_cast<Py_ssize_t>(n));
    if (seq == nullptr) return nullptr;
    size_t offset = 0;
    for (size_t i = 0; i < n; i++) {
        size_t u = 0;
        PyObject *item = decode(in + offset, length - offset, &u, depth + 1);
        if (item == nullptr) {
            Py_DECREF(seq);  // unset slots are null and skipped
            return nullptr;
        }
        if (tuple)
            PyTuple_SET_ITEM(seq, static_cast<Py_ssize_t>(i), item);
        else
            PyList_SET_ITEM(seq, static_cast<Py_ssize_t>(i), item);
        offset += u;
    }
    *used = offset;
    return seq;
}

// A key the interpreter cannot hash (a list or dict) fails the whole decode.
PyObject *decode_map(size_t n, const unsigned char *in, size_t length, size_t *used, int depth) {
    if (n > length / 2) return malformed();  // every pair takes two bytes at least
    PyObject *map = PyDict_New();
    if (map == nullptr) return nullptr;
    size_t offset = 0;
    for (size_t i = 0; i < n; i++) {
        PyObject *pair[2] = {nullptr, nullptr};
        for (int k = 0; k < 2; k++) {
            size_t u = 0;
            pair[k] = decode(in + offset, length - offset, &u, depth + 1);
            if (pair[k] == nullptr) break;
            offset += u;
        }
        const int rc = pair[1] == nullptr ? -1 : PyDict_SetItem(map, pair[0], pair[1]);
        Py_XDECREF(pair[0]);
        Py_XDECREF(pair[1]);
        if (rc != 0) {
            Py_DECREF(map);
            return nullptr;
        }
    }
    *used = offset;
    return map;
}

PyObject *decode(const unsigned char *in, size_t length, size_t *used, int depth) {
    if (length < 1) return malformed();
    const unsigned char tag = in[0];
    switch (tag) {
    case tag_small_int:
        if (length < 2) return malformed();
        *used = 2;
        return PyLong_FromLong(in[1]);
    case tag_int:
        if (length < 5) return malformed();
        *used = 5;
        return PyLong_FromLong(static_cast<int32_t>(get_u32(in + 1)));
    case tag_float_text:
        if (length < 32) return malformed();
        *used = 32;
        return decode_float_text(in + 1);
    case tag_float: {
        if (length < 9) return malformed();
        uint64_t bits = 0;
        for (int i = 0; i < 8; i++) bits = bits << 8 | in[1 + i];
        double d;
        std::memcpy(&d, &bits, sizeof d);
        *used = 9;
        return PyFloat_FromDouble(d);
    }
    case tag_atom:
    case tag_small_atom: {
        const size_t header = tag == tag_atom ? 3 : 2;
        if (length < header) return malformed();
        const size_t n = tag == tag_atom ? get_u16(in + 1) : in[1];
        if (length - header < n) return malformed();
        *used = header + n;
        return decode_atom_text(in + header, n);
    }
    case tag_string: {
        if (length < 3) return malformed();
        const size_t n = get_u16(in + 1);
        if (length - 3 < n) return malformed();
        *used = 3 + n;
        return PyUnicode_DecodeUTF8(reinterpret_cast<const char *>(in + 3), static_cast<Py_ssize_t>(n), "strict");
    }
    case tag_binary: {
        if (length < 5) return malformed();
        const size_t n = get_u32(in + 1);
        if (length - 5 < n) return malformed();
        *used = 5 + n;
        return PyByteArray_FromStringAndSize(reinterpret_cast<const char *>(in + 5), static_cast<Py_ssize_t>(n));
    }
    case tag_small_big:
    case tag_large_big: {
        const size_t header = tag == tag_small_big ? 3 : 6;
        if (length < header) return malformed();
        const size_t n = tag == tag_small_big ? in[1] : get_u32(in + 1);
        if (length - header < n) return malformed();
        *used = header + n;
        return decode_big(in + header, n, in[header - 1] != 0);
    }
    case tag_nil:
        *used = 1;
        return PyList_New(0);
    default:
        break;
    }
    const bool container = tag == tag_small_tuple || tag == tag_large_tuple || tag == tag_list || tag == tag_map;
    if (!container) return malformed();
    if (depth >= max_nesting) {
        PyErr_SetString(PyExc_ValueError, "external term nests too deep");
        return nullptr;
    }
    const bool list = tag == tag_list;
    const size_t header = tag == tag_small_tuple ? 2 : 5;
    if (length < header + (list ? 1 : 0)) return malformed();
    const size_t n = tag == tag_small_tuple ? in[1] : get_u32(in + 1);
    size_t body = 0;
    if (tag == tag_map) {
        PyObject *map = decode_map(n, in + header, length - header, &body, depth);
        if (map != nullptr) *used = header + body;
        return map;
    }
    // A list carries its closing byte after the elements.
    PyObject *seq = decode_sequence(!list, n, in + header, length - header - (list ? 1 : 0), &body, depth);
    if (seq == nullptr) return nullptr;
    if (list && in[header + body] != tag_nil) {
        Py_DECREF(seq);
        return malformed();
    }
    *used = header + body + (list ? 1 : 0);
    return seq;
}

}  // namespace

Py_ssize_t term_size(PyObject *term) { return term == nullptr ? -1 : size_of(term, 0); }

Py_ssize_t encode_term(PyObject *term, unsigned char *buf, Py_ssize_t room) {
    if (term == nullptr || buf == nullptr) return -1;
    return encode(term, buf, room, 0);
}

size_t decode_term(const unsigned char *bytes, size_t length, PyObject **out) {
    size_t used = 0;
    PyObject *term = decode(bytes, length, &used, 0);
    if (term == nullptr) return 0;
    *out = term;
    return used;
}

}  // namespace mirl::host
