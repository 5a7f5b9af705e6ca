// Reading and writing the host's library/entry bindings.
#include "tools/host/HostBindings.h"

#include <cerrno>

#include "JxLib/SettingsFile.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"

namespace {
constexpr const char* kLibraryKey = "library";
}

std::string HostBindingsPath() { return wz::PlatformPath("host/bindings.ini"); }

CWzError FindHostBinding(const std::string& libraryName, const std::string& entryName, HostBinding& binding) {
    SettingsFile file(HostBindingsPath());
    auto path = file.Get(libraryName, kLibraryKey);
    if (!path || path->empty()) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOENT, "No library is bound to [%s].", libraryName.c_str());
    }
    auto symbol = entryName == kLibraryKey ? std::nullopt : file.Get(libraryName, entryName);
    if (!symbol || symbol->empty()) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOENT, "No entry [%s] is bound for library [%s].",
                                       entryName.c_str(), libraryName.c_str());
    }
    binding.libraryPath = *path;
    binding.symbol = *symbol;
    return CWzError::Success();
}

bool SetHostBinding(const std::string& libraryName, const std::string& entryName, const HostBinding& binding) {
    wz::PlatformFilePath("host/bindings.ini");
    SettingsFile file(HostBindingsPath());
    return file.Set(libraryName, kLibraryKey, binding.libraryPath) && file.Set(libraryName, entryName, binding.symbol);
}
