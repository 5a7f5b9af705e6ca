// Helpers for writing record codecs (see jxsCodecRegistry.h) over the XDR
// primitives of libtirpc. Include this only in codec sources.
//
// The helpers refuse, on decode, a string length or array count above its
// bound or above what the rest of the message could hold, before allocating
// anything, so that a short hostile message cannot make the decoder allocate
// much. Every element of an array takes at least 4 bytes on the wire.
// Memory they allocate on decode is freed (and the pointer cleared) by the
// free pass of the same routine.
#pragma once

#include <rpc/xdr.h>

#include <cstdint>
#include <cstdlib>

#include "JxSession/jxsTypes.h"

// Bytes of input not yet decoded (decode streams over memory only).
inline uint32_t jxsXdrRemaining(XDR* xdrs) { return xdrs->x_handy; }

// A zero-terminated string; null encodes as the empty string, and decodes as
// an allocated empty string.
bool jxsXdrString(XDR* xdrs, char** text, uint32_t maxLength = kJxsMaxPayloadBytes);
// A string that may be missing: a presence flag, then the string when the
// flag is set. Null stays null both ways, unlike jxsXdrString.
bool jxsXdrNullableString(XDR* xdrs, char** text, uint32_t maxLength = kJxsMaxPayloadBytes);

// Fixed-width numbers under the names the records use.
bool jxsXdrU32(XDR* xdrs, uint32_t* value);
bool jxsXdrI32(XDR* xdrs, int32_t* value);
bool jxsXdrU64(XDR* xdrs, uint64_t* value);
bool jxsXdrI64(XDR* xdrs, int64_t* value);
bool jxsXdrULong(XDR* xdrs, unsigned long* value);

// Reads a count for an array and checks it against `maxCount` and the input
// left; used by jxsXdrArray.
bool jxsXdrCount(XDR* xdrs, uint32_t* count, uint32_t maxCount);

// A counted array of `T`, each element coded by `element`.
template <typename T>
bool jxsXdrArray(XDR* xdrs, T** items, uint32_t* count, uint32_t maxCount, bool (*element)(XDR*, T*)) {
    switch (xdrs->x_op) {
    case XDR_FREE:
        if (*items != nullptr) {
            for (uint32_t i = 0; i < *count; ++i) element(xdrs, &(*items)[i]);
            std::free(*items);
        }
        *items = nullptr;
        *count = 0;
        return true;
    case XDR_ENCODE:
        if (*count > maxCount || (*count > 0 && *items == nullptr)) return false;
        if (!jxsXdrU32(xdrs, count)) return false;
        break;
    case XDR_DECODE:
        *items = nullptr;
        if (!jxsXdrCount(xdrs, count, maxCount)) {
            *count = 0;
            return false;
        }
        if (*count == 0) return true;
        *items = static_cast<T*>(std::calloc(*count, sizeof(T)));
        if (*items == nullptr) {
            *count = 0;
            return false;
        }
        break;
    }
    for (uint32_t i = 0; i < *count; ++i) {
        if (!element(xdrs, &(*items)[i])) return false;
    }
    return true;
}
