// Splits a file or file-group entry name at its 0x12 separators.
#include "JxSQLCommon/restore/FileGroupEntry.h"

#include <algorithm>

FileGroupEntry SplitFileGroupEntry(const std::string& entryName) {
    FileGroupEntry entry;
    entry.separators = static_cast<int>(std::count(entryName.begin(), entryName.end(), kFileGroupSeparator));
    const size_t first = entryName.find(kFileGroupSeparator);
    entry.database = entryName.substr(0, first);
    if (first == std::string::npos) return entry;
    const size_t last = entryName.rfind(kFileGroupSeparator);
    entry.name = entryName.substr(last + 1);
    if (entry.separators >= 2) {
        const size_t second = entryName.find(kFileGroupSeparator, first + 1);
        entry.fileGroup = entryName.substr(first + 1, second - first - 1);
    }
    return entry;
}
