// CSimpleFolderIterator: the items of one folder, one after another.
//
//   CSimpleFolderIterator it;
//   it.Open(folder, std::make_shared<CSimpleFolderFilterByItemName>("*.ndf"));
//   CSimpleFolderItem item;
//   while (it.GetNextItem(item).IsSuccess()) { ... }
//
// Items come in name order. A filter decides which files are returned;
// folders are always returned, so that a caller can walk into them.
// A symbolic link to a file is returned as a file; links to folders are
// left out, so a walk cannot loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "WzUtils/CWzError.h"

class CSimpleFolderItem {
public:
    const std::string& GetFullPath() const { return m_fullPath; }
    const std::string& GetName() const { return m_name; }
    bool IsFolder() const { return m_folder; }
    uint64_t GetSize() const { return m_size; }

private:
    friend class CSimpleFolderIterator;
    std::string m_fullPath;
    std::string m_name;
    bool m_folder = false;
    uint64_t m_size = 0;
};

class CSimpleFolderFilter {
public:
    virtual ~CSimpleFolderFilter() = default;
    virtual bool Accepts(const std::string& name) const = 0;
};

// Accepts the files whose name matches a wildcard pattern ('*', '?'),
// letters compared with regard to case.
class CSimpleFolderFilterByItemName : public CSimpleFolderFilter {
public:
    explicit CSimpleFolderFilterByItemName(std::string pattern) : m_pattern(std::move(pattern)) {}
    bool Accepts(const std::string& name) const override;

private:
    std::string m_pattern;
};

class CSimpleFolderIterator {
public:
    // Reads the folder's item list; an error when it cannot be read (the
    // iterator is then empty).
    CWzError Open(const std::string& folder, std::shared_ptr<CSimpleFolderFilter> filter);
    // The next item; an error when no item is left.
    CWzError GetNextItem(CSimpleFolderItem& item);

private:
    std::vector<CSimpleFolderItem> m_items;
    size_t m_next = 0;
};
