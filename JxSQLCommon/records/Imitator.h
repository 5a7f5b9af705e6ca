// Imitator: takes on the identity configured for a network (UNC) path, so that
// files there can be reached, and remembers per path the identity it took.
//
// On this platform the identity switch itself (the virtual Impersonate with a
// user and password) is not available and answers false, so every UNC path
// ends in error 1368; a platform that can switch identity overrides it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "JxLib/EvDebug.h"
#include "WzUtils/CLoggedOnUser.h"
#include "WzUtils/CWzError.h"

// The file-system agent's record of the credentials configured for a mount
// path. The platform has no file-system agent, so by default no source is set
// and no credentials are known.
class MountPathCredentialSource {
public:
    virtual ~MountPathCredentialSource() = default;
    // True, with the user and password, when credentials for `path` are known.
    virtual bool getMagneticMountPathInfo(const std::string& path, std::string& user,
                                          std::string& password) const = 0;
};

class Imitator {
public:
    Imitator() = default;
    // Impersonates for `path` at once; the result is dropped.
    explicit Imitator(const std::string& path);
    virtual ~Imitator();

    // Takes on the identity configured for `path` (for its parent folder with
    // `useParent`). A path that is not UNC needs nothing and succeeds; a UNC
    // path whose identity could not be taken gives the HRESULT error 1368.
    CWzError Impersonate(const std::string& path, bool useParent);

    // Switches to `user`; not available on this platform: always false.
    virtual bool Impersonate(const std::string& path, const std::string& user, const std::string& password,
                             bool keepToken);

    // True for "\\server\share..." (blanks and tabs around it ignored): more
    // than 3 characters, two backslashes first, and no '.' third.
    bool IsPathUNC(const std::string& path) const;

    // Where credentials are looked up (not owned; null: none known).
    void SetCredentialSource(const MountPathCredentialSource* source) { m_credentials = source; }

private:
    CLoggedOnUser m_loggedOnUser;
    bool m_impersonated = false;
    std::unordered_map<std::string, uint64_t> m_tokensByPath;
    const MountPathCredentialSource* m_credentials = nullptr;
    EvDebug m_log;
};
