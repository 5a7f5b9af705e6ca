// auto_find_handle: owning holder of a directory search.
#include "WzUtils/auto_find_handle.h"

void CloseDirAndChangeDir(DIR* search) { ::closedir(search); }

void auto_find_handle::reset(DIR* search) {
    if (m_search != nullptr && m_search != search) CloseDirAndChangeDir(m_search);
    m_search = search;
}
