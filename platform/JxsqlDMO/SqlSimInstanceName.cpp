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

std::vector<std::string> SqlSimInstanceName::DataDirectories(const char* area) {
    std::vector<std::string> folders;
    for (const std::string& catalog : CatalogPaths(area)) {
        folders.push_back((std::filesystem::path(catalog).parent_path() / "data").string());
    }
    return folders;
}

std::vector<std::string> SqlSimInstanceName::CatalogPaths(const char* area) {
    // Walked with error codes throughout: an unreadable directory is skipped,
    // never thrown.
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    std::error_code ec;
    for (fs::directory_iterator host(wz::PlatformPath(area), ec), end; !ec && host != end; host.increment(ec)) {
        std::error_code inner;
        for (fs::directory_iterator instance(host->path(), inner); !inner && instance != end;
             instance.increment(inner)) {
            fs::path catalog = instance->path() / "catalog.db";
            std::error_code test;
            if (fs::is_regular_file(catalog, test)) paths.push_back(catalog.string());
        }
    }
    return paths;
}
