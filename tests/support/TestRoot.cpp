// Test support: fresh platform roots.
#include "tests/support/TestRoot.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"

namespace jxtest {
namespace {

// In this process and, through the environment, in the programs it starts.
void SetHelperWaitFloor(int64_t realMs) {
    wz::SetHelperWaitFloorMs(realMs);
    ::setenv(wz::kHelperWaitFloorEnv, std::to_string(realMs).c_str(), 1);
}

}  // namespace

TestRoot::TestRoot(double timeScale) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "jxsql-test-XXXXXX").string();
    char* made = ::mkdtemp(tmpl.data());
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = made;
    wz::SetPlatformRoot(m_path);
    wz::SetTimeScale(timeScale);
    SetHelperWaitFloor(kHelperWaitFloorMs);
    // A helper the system starts in a session of its own can wait minutes
    // for the processor on a busy machine (JxProcess::StartProcess).
    ::setenv(JxProcess::kStartInCallerSessionEnv, "1", 1);
    JXPlatformInfo::SetCurrentInstance("Instance001");
    m_guard = std::make_unique<FaultyFileSystem>();
    m_guard->ConfineTo(m_path);
    m_useGuard = std::make_unique<wz::ScopedFileSystem>(*m_guard);
}

TestRoot::~TestRoot() {
    m_useGuard.reset();
    m_guard.reset();
    if (std::getenv("JX_KEEP_TEST_ROOT") != nullptr) return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string TestRoot::File(const std::string& relative) const {
    std::filesystem::path p = std::filesystem::path(m_path) / relative;
    std::filesystem::create_directories(p.parent_path());
    return p.string();
}

void TestRoot::WriteFile(const std::string& relative, const std::string& content) const {
    std::ofstream out(File(relative), std::ios::binary | std::ios::trunc);
    out << content;
}

std::string TestRoot::ReadFile(const std::string& relative) const {
    return ReadWholeFile((std::filesystem::path(m_path) / relative).string());
}

std::vector<std::string> TestRoot::Escapes() const { return m_guard->Escapes(); }

void TestRoot::ScaleHelperWaits() { SetHelperWaitFloor(0); }

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace jxtest
