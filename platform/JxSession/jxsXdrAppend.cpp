// The growing XDR encode stream.
#include "JxSession/jxsXdrAppend.h"

#include <cstring>

namespace {

// The stream keeps the string in x_private and the limit in x_handy.
std::string& Out(XDR* xdrs) { return *static_cast<std::string*>(xdrs->x_private); }

bool_t Append(XDR* xdrs, const char* bytes, u_int length) {
    std::string& out = Out(xdrs);
    const u_int limit = xdrs->x_handy;
    if (length > limit || out.size() > limit - length) return FALSE;
    out.append(bytes, length);
    return TRUE;
}

bool_t PutLong(XDR* xdrs, const long* value) {
    // An XDR unit is four bytes, big-endian, whatever the width of long.
    auto word = static_cast<uint32_t>(*value);
    const char bytes[4] = {static_cast<char>(word >> 24), static_cast<char>(word >> 16), static_cast<char>(word >> 8),
                           static_cast<char>(word)};
    return Append(xdrs, bytes, sizeof bytes);
}

bool_t PutBytes(XDR* xdrs, const char* bytes, u_int length) { return Append(xdrs, bytes, length); }

u_int GetPosition(XDR* xdrs) { return static_cast<u_int>(Out(xdrs).size()); }

// Only a step back over what was written is possible.
bool_t SetPosition(XDR* xdrs, u_int position) {
    std::string& out = Out(xdrs);
    if (position > out.size()) return FALSE;
    out.resize(position);
    return TRUE;
}

bool_t GetLong(XDR*, long*) { return FALSE; }
bool_t GetBytes(XDR*, char*, u_int) { return FALSE; }
// No direct buffer access: the XDR routines then take the plain path.
int32_t* Inline(XDR*, u_int) { return nullptr; }
void Destroy(XDR*) {}
bool_t Control(XDR*, int, void*) { return FALSE; }

const XDR::xdr_ops kAppendOps = {GetLong, PutLong, GetBytes, PutBytes, GetPosition, SetPosition,
                                  Inline,  Destroy, Control};

}  // namespace

void jxsXdrAppendCreate(XDR* xdrs, std::string* out, uint32_t limit) {
    std::memset(xdrs, 0, sizeof *xdrs);
    xdrs->x_op = XDR_ENCODE;
    xdrs->x_ops = &kAppendOps;
    xdrs->x_private = out;
    xdrs->x_handy = limit;
}
