// The platform root: the one directory under which every stand-in keeps its
// state (settings, logs, job results, simulated instances, journals, media).
//
// It is taken from the environment variable JX_PLATFORM_ROOT, else the demo
// default. Every stand-in resolves its paths here and nowhere else.
#pragma once

#include <string>
#include <string_view>

namespace wz {

inline constexpr const char* kPlatformRootEnv = "JX_PLATFORM_ROOT";
inline constexpr const char* kDefaultPlatformRoot = "/var/tmp/jxsql-root";

// The root directory, without a trailing "/".
std::string PlatformRoot();

// root + "/" + relative; `relative` uses "/" between levels.
std::string PlatformPath(std::string_view relative);

// Like PlatformPath, and creates the parent directories of the result
// (through the file-system seam, wz::MakeDirectoryTree); a parent that
// cannot be made shows when the result is opened.
std::string PlatformFilePath(std::string_view relative);

// Points the root elsewhere for this process (sets the environment too, so
// programs this process starts inherit it).
void SetPlatformRoot(const std::string& root);

}  // namespace wz
