// Wire records of the integrity check of snapshot copies between the source
// job and the proxy. Every member zero until filled.
#pragma once

#include <cstdint>

// Message kinds of SQLIntegrityCheckReq_t.
constexpr uint32_t kIntegrityCheckInit = 1;   // text: SQLPmn::SQLIntegrityCheckInit
constexpr uint32_t kIntegrityCheckData = 2;   // text: SQLPmn::AttachDBMsg

// Message kSqlIntegrityCheckReq, source to proxy.
struct SQLIntegrityCheckReq_t {
    uint32_t kind = 0;
    char* text = nullptr;
};

// Message kSqlIntegrityCheckRsp, proxy to source: SQLPmn::SQLIntegrityCheckResponse text.
struct SQLIntegrityCheckResponse_t {
    char* text = nullptr;
};
