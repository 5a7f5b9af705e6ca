// Parsing and placement of simulated instance names.
#include "JxsqlDMO/SqlSimInstanceName.h"

#include <cctype>
#include <filesystem>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"

namespace {

constexpr size_t kMaxPartLength = 128;

bool IsValidPart(const std::string& part) {
    if (part.empty() || part.size() > kMaxPartLength || part.front() == '.') return false;
    for (unsigned char c : part) {
        if (!std::isalnum(c) && c != '_' && c != '-' && c != '$' && c != '.') return false;
    }
    return true;
}

}  // namespace

std::string SqlSimUpper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

CWzError SqlSimInstanceName::Parse(const std::string& name, SqlSimInstanceName& out, const char* area) {
    size_t slash = name.find('/');
    std::string host = name.substr(0, slash);
    std::string instance = slash == std::string::npos ? std::string() : name.substr(slash + 1);
    bool valid = IsValidPart(host) && (slash == std::string::npos || IsValidPart(instance));
    if (!valid) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "invalid SQL Server instance name [%s]",
                                         name.c_str());
    }
    // "HOST/MSSQLSERVER" is the default instance under its other name.
    if (SqlSimUpper(instance) == kDefaultInstance) instance.clear();
    out.host = host;
    out.instance = instance;
    out.area = area;
    return CWzError::Success();
}

std::string SqlSimInstanceName::FullName() const { return instance.empty() ? host : host + "/" + instance; }

std::string SqlSimInstanceName::RelativeDirectory() const {
    return area + "/" + SqlSimUpper(host) + "/" + (instance.empty() ? kDefaultInstance : SqlSimUpper(instance));
}

std::string SqlSimInstanceName::CatalogPath() const { return wz::PlatformPath(RelativeDirectory() + "/catalog.db"); }

std::string SqlSimInstanceName::DataDirectory() const { return wz::PlatformPath(RelativeDirectory() + "/data"); }

std::vector<std::string> SqlSimInstanceName::CatalogPaths(const char* area) {
    std::vector<std::string> paths;
    std::error_code ec;
    std::filesystem::path top = wz::PlatformPath(area);
    for (const auto& host : std::filesystem::directory_iterator(top, ec)) {
        if (!host.is_directory(ec)) continue;
        std::error_code inner;
        for (const auto& instance : std::filesystem::directory_iterator(host.path(), inner)) {
            std::filesystem::path catalog = instance.path() / "catalog.db";
            if (std::filesystem::is_regular_file(catalog, inner)) paths.push_back(catalog.string());
        }
    }
    return paths;
}
