// Folder iteration over std::filesystem.
#include "WzUtils/CSimpleFolderIterator.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/TPathMatch.h"

namespace fs = std::filesystem;

bool CSimpleFolderFilterByItemName::Accepts(const std::string& name) const {
    TPathMatch match;
    match.Init(m_pattern, false, true);
    return match.match(name) != 0;
}

CWzError CSimpleFolderIterator::Open(const std::string& folder, std::shared_ptr<CSimpleFolderFilter> filter) {
    m_items.clear();
    m_next = 0;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return FXErrorUtil::ErrorErrNo(FXCODELOC, ec.value(), "cannot open folder [%s]: %s", folder.c_str(),
                                           ec.message().c_str());
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        CSimpleFolderItem item;
        std::error_code entryError;  // an entry that vanished reads as an empty file
        item.m_name = it->path().filename().string();
        item.m_fullPath = it->path().string();
        bool link = it->is_symlink(entryError);
        item.m_folder = it->is_directory(entryError);
        if (link && item.m_folder) continue;  // a link to a folder could lead back up the tree
        if (!item.m_folder) {
            if (filter && !filter->Accepts(item.m_name)) continue;
            uintmax_t size = it->is_regular_file(entryError) ? it->file_size(entryError) : 0;
            item.m_size = entryError ? 0 : static_cast<uint64_t>(size);
        }
        m_items.push_back(std::move(item));
    }
    std::sort(m_items.begin(), m_items.end(),
              [](const CSimpleFolderItem& a, const CSimpleFolderItem& b) { return a.m_name < b.m_name; });
    if (ec) return FXErrorUtil::ErrorErrNo(FXCODELOC, ec.value(), "cannot read folder [%s]", folder.c_str());
    return CWzError::Success();
}

CWzError CSimpleFolderIterator::GetNextItem(CSimpleFolderItem& item) {
    if (m_next >= m_items.size()) return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOENT, "no item left");
    item = m_items[m_next++];
    return CWzError::Success();
}
