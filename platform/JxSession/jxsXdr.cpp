// Bounded XDR helpers for record codecs.
#include "JxSession/jxsXdr.h"

static_assert(sizeof(unsigned long) == sizeof(uint64_t), "records carry unsigned long as 64-bit words");

bool jxsXdrString(XDR* xdrs, char** text, uint32_t maxLength) {
    if (xdrs->x_op == XDR_ENCODE && *text == nullptr) {
        char empty[] = "";
        char* p = empty;
        return xdr_string(xdrs, &p, maxLength);
    }
    if (xdrs->x_op == XDR_DECODE) {
        *text = nullptr;
        // Peek at the length: refuse it before xdr_string allocates for it.
        u_int start = xdr_getpos(xdrs);
        uint32_t length = 0;
        if (!xdr_uint32_t(xdrs, &length)) return false;
        if (length > maxLength || length > jxsXdrRemaining(xdrs)) return false;
        if (!xdr_setpos(xdrs, start)) return false;
        if (length == 0) {
            // xdr_string leaves a null pointer for an empty string; callers get "".
            if (!xdr_uint32_t(xdrs, &length)) return false;
            *text = static_cast<char*>(std::calloc(1, 1));
            return *text != nullptr;
        }
    }
    return xdr_string(xdrs, text, maxLength);
}

bool jxsXdrNullableString(XDR* xdrs, char** text, uint32_t maxLength) {
    bool_t present = *text != nullptr;
    if (xdrs->x_op == XDR_FREE) return present ? jxsXdrString(xdrs, text, maxLength) : true;
    if (!xdr_bool(xdrs, &present)) return false;
    if (!present) {
        *text = nullptr;
        return true;
    }
    return jxsXdrString(xdrs, text, maxLength);
}

bool jxsXdrU32(XDR* xdrs, uint32_t* value) { return xdr_uint32_t(xdrs, value); }
bool jxsXdrI32(XDR* xdrs, int32_t* value) { return xdr_int32_t(xdrs, value); }
bool jxsXdrU64(XDR* xdrs, uint64_t* value) { return xdr_uint64_t(xdrs, value); }
bool jxsXdrI64(XDR* xdrs, int64_t* value) { return xdr_int64_t(xdrs, value); }
bool jxsXdrULong(XDR* xdrs, unsigned long* value) { return xdr_uint64_t(xdrs, reinterpret_cast<uint64_t*>(value)); }

bool jxsXdrCount(XDR* xdrs, uint32_t* count, uint32_t maxCount) {
    if (!xdr_uint32_t(xdrs, count)) return false;
    return *count <= maxCount && *count <= jxsXdrRemaining(xdrs) / 4;
}
