// Target-name to loopback-port resolution through a file under the root.
#include "JxSession/jxsTargets.h"

#include <cerrno>
#include <cstdlib>

#include "JxLib/SettingsFile.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"

namespace {
constexpr const char* kSection = "targets";
}

std::string jxsTargetsPath() { return wz::PlatformPath("network/targets.ini"); }

CWzError jxsResolveTarget(const std::string& target, uint16_t& port) {
    auto value = SettingsFile(jxsTargetsPath()).Get(kSection, target);
    if (!value) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EHOSTUNREACH, "Unknown target [%s] (not in %s).", target.c_str(),
                                       jxsTargetsPath().c_str());
    }
    char* end = nullptr;
    errno = 0;
    unsigned long n = std::strtoul(value->c_str(), &end, 10);
    if (value->empty() || *end != '\0' || errno != 0 || n == 0 || n > 65535) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "Target [%s] has an invalid port [%s].", target.c_str(),
                                       value->c_str());
    }
    port = static_cast<uint16_t>(n);
    return CWzError::Success();
}

bool jxsRegisterTarget(const std::string& target, uint16_t port) {
    wz::PlatformFilePath("network/targets.ini");
    return SettingsFile(jxsTargetsPath()).Set(kSection, target, std::to_string(port));
}
