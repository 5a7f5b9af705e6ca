// Imitator: takes on the identity configured for a network path.
#include "JxSQLCommon/records/Imitator.h"

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/FXString.h"

namespace {
// ERROR_CANNOT_IMPERSONATE.
constexpr int32_t kCannotImpersonate = 1368;
}  // namespace

Imitator::Imitator(const std::string& path) { (void)Impersonate(path, false); }

Imitator::~Imitator() { m_tokensByPath.clear(); }

bool Imitator::Impersonate(const std::string& /*path*/, const std::string& /*user*/,
                           const std::string& /*password*/, bool /*keepToken*/) {
    return false;
}

bool Imitator::IsPathUNC(const std::string& path) const {
    std::string trimmed = path;
    FXString::TrimWhiteSpace(trimmed);
    return trimmed.size() > 3 && trimmed[0] == '\\' && trimmed[1] == '\\' && trimmed[2] != '.';
}

CWzError Imitator::Impersonate(const std::string& givenPath, bool useParent) {
    if (givenPath.empty() || !IsPathUNC(givenPath)) return CWzError::Success();

    std::string path = givenPath;
    if (useParent) {
        std::string name;
        CWzError err = FXPath::SplitParentPath(givenPath, path, name);
        if (err.IsError()) return err.Push(FXCODELOC, "FXPath::SplitParentPath failed %s", givenPath.c_str());
    }

    auto known = m_tokensByPath.find(path);
    if (known != m_tokensByPath.end() && known->second == m_loggedOnUser.GetToken()) return CWzError::Success();

    std::string user;
    std::string password;
    if (m_credentials != nullptr && m_credentials->getMagneticMountPathInfo(path, user, password)) {
        m_impersonated = Impersonate(path, user, password, true);
        if (m_impersonated) m_tokensByPath[path] = m_loggedOnUser.GetToken();
    } else {
        m_log.debug("INFO: Failed to get credential details for the path: %s", path.c_str());
    }

    if (!m_impersonated) return FXErrorUtil::ErrorHResult(FXCODELOC, kCannotImpersonate);
    return CWzError::Success();
}
