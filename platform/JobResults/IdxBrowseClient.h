// IdxBrowseClient: a client of the index browse service.
//
// Initialize records the browse request it is given under the platform root,
// one file per request ("index/browse/request-<n>.xml", n counting from 1),
// where tests and the demo read it back; the service itself answers nothing.
#pragma once

#include <string>

#include "Messages/CNMessageBase.h"

class IdxBrowseClient {
public:
    // Result of a request that is not a databrowse::BrowseRequest.
    static constexpr int kNotABrowseRequest = 22;

    // 0 when the request was recorded; kNotABrowseRequest, or the errno of
    // the failed write. The response, text and interrupt are not used.
    int Initialize(CNMessageBase request, CNMessageBase* response, int timeoutMs, const char* text, void* interrupt);
    bool isInitialized() const { return m_initialized; }

    // "index/browse" under the platform root.
    static std::string RequestDirectory();

private:
    bool m_initialized = false;
};
