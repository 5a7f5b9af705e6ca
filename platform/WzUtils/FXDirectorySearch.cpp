// FXDirectorySearch: ending a directory search.
#include "WzUtils/FXDirectorySearch.h"

void CloseDirAndChangeDir(FXDirectorySearch* search) {
    if (search == nullptr) return;
    // The search never changes the working directory (it is process-wide and
    // would race with other threads), so there is nothing to change back.
    if (search->dir != nullptr) ::closedir(search->dir);
    delete search;
}
