// The registry of record codecs: which XDR routine encodes and decodes the
// record carried under each message code.
//
// A codec is one routine for all three directions, in the manner of XDR
// routines: it is called with a stream whose x_op says encode, decode or free.
// Write codecs with the helpers of "JxSession/jxsXdr.h", which bound every
// string length and array count. A decode runs on a zero-filled record; a
// free releases what the decode allocated and clears the pointers, so that a
// second free of the same record does nothing.
//
// The registry keeps the routine's address: a library that registers codecs
// must stay loaded (the host loads plug-ins with RTLD_NODELETE).
//
// Codes without a codec carry no payload: a send of a lent record under such
// a code is refused, and a payload that arrives under one is skipped.
#pragma once

#include <cstddef>
#include <cstdint>

typedef struct __rpc_xdr XDR;

using jxsRecordProc = bool (*)(XDR* xdrs, void* record);

struct jxsRecordCodec {
    const char* name = "";          // record type name, for log and error texts
    jxsRecordProc proc = nullptr;
    size_t recordSize = 0;          // sizeof the record in memory
};

// Registers (or replaces) the codec of `code`. Thread-safe.
void jxsRegisterRecordCodec(uint64_t code, const jxsRecordCodec& codec);

// Registers the typed routine `Proc` of `Record` under `code`; `name` is the
// codec's name. Callers use JXS_REGISTER_RECORD, which names the type once.
template <typename Record, bool (*Proc)(XDR*, Record*)>
bool jxsRecordProcOf(XDR* xdrs, void* record) {
    return Proc(xdrs, static_cast<Record*>(record));
}
template <typename Record, bool (*Proc)(XDR*, Record*)>
void jxsRegisterRecord(uint64_t code, const char* name) {
    jxsRegisterRecordCodec(code, jxsRecordCodec{name, &jxsRecordProcOf<Record, Proc>, sizeof(Record)});
}

// Registers `Record` with its routine xdr_<Record> under `code`, the type's
// name becoming the codec's name:
//   JXS_REGISTER_RECORD(kSqlVerifyUserReq, SQLVerifyUserReq_t);
#define JXS_REGISTER_RECORD(code, Record) jxsRegisterRecord<Record, xdr_##Record>((code), #Record)

// The codec of `code`; false when none is registered.
bool jxsFindRecordCodec(uint64_t code, jxsRecordCodec& codec);
