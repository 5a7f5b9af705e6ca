// Test support: every test runs against a fresh platform root of its own.
#pragma once

#include <gtest/gtest.h>

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
class TestRoot {
public:
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
