// auto_find_handle: owns one directory search (an open directory stream,
// null = none) and ends it when replaced or destroyed.
#pragma once

#include <dirent.h>

// Ends the directory search `search` (not null): closes its stream. A search
// of this platform never changes the working directory, so there is none to
// change back.
void CloseDirAndChangeDir(DIR* search);

class auto_find_handle {
public:
    auto_find_handle() = default;
    explicit auto_find_handle(DIR* search) : m_search(search) {}
    ~auto_find_handle() { reset(nullptr); }
    auto_find_handle(const auto_find_handle&) = delete;
    auto_find_handle& operator=(const auto_find_handle&) = delete;

    // Ends the held search when there is one (and it is not `search`
    // itself), then holds `search`.
    void reset(DIR* search = nullptr);
    DIR* get() const { return m_search; }

private:
    DIR* m_search = nullptr;
};
