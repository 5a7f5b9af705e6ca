// Codecs of the file-copy records.
#include "JxSession/jxsFileCopyRecords.h"

#include <climits>
#include <cstdlib>
#include <mutex>

#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

namespace {

// Opaque bytes, bounded by the chunk size and by the input left.
bool xdr_jxsFileCopyChunk(XDR* x, jxsFileCopyChunk* r) {
    switch (x->x_op) {
    case XDR_FREE:
        std::free(r->data);
        r->data = nullptr;
        r->length = 0;
        return true;
    case XDR_ENCODE:
        if (r->length > kJxsFileCopyChunkBytes || (r->length > 0 && r->data == nullptr)) return false;
        return jxsXdrU32(x, &r->length) && xdr_opaque(x, r->data, r->length);
    case XDR_DECODE:
        r->data = nullptr;
        if (!jxsXdrU32(x, &r->length)) return false;
        if (r->length > kJxsFileCopyChunkBytes || r->length > jxsXdrRemaining(x)) {
            r->length = 0;
            return false;
        }
        r->data = static_cast<char*>(std::malloc(r->length == 0 ? 1 : r->length));
        if (r->data == nullptr) {
            r->length = 0;
            return false;
        }
        return xdr_opaque(x, r->data, r->length);
    }
    return false;
}

bool xdr_jxsFileCopyBegin(XDR* x, jxsFileCopyBegin* r) {
    return jxsXdrString(x, &r->destinationPath, PATH_MAX) && jxsXdrString(x, &r->fileName, NAME_MAX) &&
           jxsXdrU64(x, &r->size) && jxsXdrU32(x, &r->option);
}

bool xdr_jxsFileCopyEnd(XDR* x, jxsFileCopyEnd* r) { return jxsXdrU64(x, &r->size) && jxsXdrU64(x, &r->checksum); }

bool xdr_jxsFileCopyStatus(XDR* x, jxsFileCopyStatus* r) {
    return jxsXdrI32(x, &r->code) && jxsXdrString(x, &r->text, 4096);
}

}  // namespace

void jxsRegisterFileCopyRecords() {
    static std::once_flag once;
    std::call_once(once, [] {
        jxsRegisterRecord<jxsFileCopyBegin, xdr_jxsFileCopyBegin>(JXS_MSG_FILECOPY_BEGIN, "jxsFileCopyBegin");
        jxsRegisterRecord<jxsFileCopyChunk, xdr_jxsFileCopyChunk>(JXS_MSG_FILECOPY_CHUNK, "jxsFileCopyChunk");
        jxsRegisterRecord<jxsFileCopyEnd, xdr_jxsFileCopyEnd>(JXS_MSG_FILECOPY_END, "jxsFileCopyEnd");
        jxsRegisterRecord<jxsFileCopyStatus, xdr_jxsFileCopyStatus>(JXS_MSG_FILECOPY_STATUS, "jxsFileCopyStatus");
    });
}

uint64_t jxsFileCopyChecksum(uint64_t hash, const char* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 1099511628211ull;
    }
    return hash;
}
