// An XDR encode stream that appends to a std::string, growing as the record
// is written, so that a record of any size is encoded in one pass.
#pragma once

#include <rpc/xdr.h>

#include <cstdint>
#include <string>

// Sets `xdrs` up to encode onto the end of `out`. Writing past `limit` bytes
// in all fails the encode. `out` must outlive the stream; XDR_DESTROY is
// harmless and not required.
void jxsXdrAppendCreate(XDR* xdrs, std::string* out, uint32_t limit);
