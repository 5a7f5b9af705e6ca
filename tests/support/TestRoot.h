// Test support: every test runs against a fresh platform root of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wz {
class ScopedFileSystem;
}

namespace jxtest {

class FaultyFileSystem;

// Makes a fresh temporary directory, points the platform root at it, scales
// platform time down (1 platform second = 1 real millisecond) and removes the
// directory afterwards (kept when JX_KEEP_TEST_ROOT is set). While it lives,
// every change the system makes to the disk through the file-system seam
// must stay inside the root: one outside fails with EPERM (see Escapes).
//
// Waits on helper processes (a program the system starts: its start, its
// call-back, its answers) last at least kHelperWaitFloorMs of real time
// whatever the scale, in this process and in the programs it starts: a busy
// machine can take seconds to run a new process, and such a wait still ends
// as soon as the helper answers. Helpers started detached stay in the test's
// session, where the scheduler does not leave them waiting behind busy
// programs (JxProcess::kStartInCallerSessionEnv).
class TestRoot {
public:
    static constexpr int64_t kHelperWaitFloorMs = 60000;

    explicit TestRoot(double timeScale = 0.001);
    ~TestRoot();
    TestRoot(const TestRoot&) = delete;
    TestRoot& operator=(const TestRoot&) = delete;

    const std::string& path() const { return m_path; }
    // Absolute path of a file under the root; parent directories are created.
    std::string File(const std::string& relative) const;
    void WriteFile(const std::string& relative, const std::string& content) const;
    std::string ReadFile(const std::string& relative) const;

    // The paths outside the root the system tried to change so far.
    std::vector<std::string> Escapes() const;

    // For a test of the bound of a wait on a helper process: from now on
    // such waits are scaled like every other wait.
    void ScaleHelperWaits();

private:
    std::string m_path;
    std::unique_ptr<FaultyFileSystem> m_guard;
    std::unique_ptr<wz::ScopedFileSystem> m_useGuard;
};

// A fixture whose tests each get a TestRoot.
class RootedTest : public ::testing::Test {
protected:
    TestRoot root;
};

// Reads a whole file; empty when it does not exist.
std::string ReadWholeFile(const std::string& path);

}  // namespace jxtest
