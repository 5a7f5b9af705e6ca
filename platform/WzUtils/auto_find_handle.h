// auto_find_handle: owns one directory search and ends it when replaced or
// destroyed.
#pragma once

#include "WzUtils/FXDirectorySearch.h"

class auto_find_handle {
public:
    auto_find_handle() = default;
    explicit auto_find_handle(FXDirectorySearch* search) : m_search(search) {}
    ~auto_find_handle() { reset(nullptr); }
    auto_find_handle(const auto_find_handle&) = delete;
    auto_find_handle& operator=(const auto_find_handle&) = delete;

    // Ends the held search when there is one (and it is not `search`), then
    // holds `search`.
    void reset(FXDirectorySearch* search = nullptr) {
        if (m_search != nullptr && m_search != search) CloseDirAndChangeDir(m_search);
        m_search = search;
    }
    FXDirectorySearch* get() const { return m_search; }

private:
    FXDirectorySearch* m_search = nullptr;
};
