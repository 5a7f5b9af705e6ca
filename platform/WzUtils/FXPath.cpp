// FXPath: path helpers of the utility library.
#include "WzUtils/FXPath.h"

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"

CWzError FXPath::SplitParentPath(const std::string& path, std::string& parent, std::string& name) {
    std::string trimmed = path;
    (void)RemoveTrailingDelimiter(trimmed);  // cannot fail
    std::string::size_type slash = trimmed.rfind('/');
    if (slash == std::string::npos || slash + 1 == trimmed.size())
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "path [%s] has no parent folder",
                                         path.c_str());
    name = trimmed.substr(slash + 1);
    parent = slash == 0 ? std::string("/") : trimmed.substr(0, slash);
    return CWzError::Success();
}

CWzError FXPath::Append(std::string& path, const std::string& name) {
    std::string component = name;
    FXString::TrimLeft(component, "/");
    if (component.empty())
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "name to append to [%s] is empty",
                                         path.c_str());
    if (!path.empty() && path.back() != '/') path += '/';
    path += component;
    return CWzError::Success();
}

CWzError FXPath::RemoveTrailingDelimiter(std::string& path) {
    if (path.size() > 1) FXString::RemoveRight(path, "/");
    return CWzError::Success();
}

bool FXPath::HasParentLevel(const std::string& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end - start == 2 && path.compare(start, 2, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}
