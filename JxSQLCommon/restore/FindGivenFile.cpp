// FindGivenFile over the file-system seam.
#include "JxSQLCommon/restore/FindGivenFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "WzUtils/WzFileSystem.h"

void FindGivenFile(std::string folder, std::set<std::string, __less_nocase_cmp> wanted,
                   std::map<std::string, std::string, __less_nocase_cmp>& found) {
    std::vector<std::string> names;
    if (wanted.empty() || wz::Fs().ReadDirectory(folder, names) != 0) return;
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = (!folder.empty() && folder.back() == '/') ? folder + name : folder + "/" + name;
        struct stat st {};
        if (wz::Fs().Lstat(path, &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                FindGivenFile(path, wanted, found);
            } else if (S_ISREG(st.st_mode) && wanted.count(name) != 0) {
                found.emplace(name, path);
            }
        }
        if (found.size() >= wanted.size()) return;
    }
}
