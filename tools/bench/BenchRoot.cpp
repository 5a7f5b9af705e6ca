// The temporary platform root of a benchmark.
#include "tools/bench/BenchRoot.h"

#include <cstdlib>
#include <filesystem>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"

namespace bench {

BenchRoot::BenchRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "jxbench.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    m_path = pattern;
    ::setenv(wz::kPlatformRootEnv, m_path.c_str(), 1);
    wz::SetTimeScale(1.0);
}

BenchRoot::~BenchRoot() {
    if (m_path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void DropArchiveFiles() {
    std::error_code ec;
    std::filesystem::remove_all(wz::PlatformPath("media/afiles"), ec);
}

}  // namespace bench
