#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "JxSQLCommon/records/CSQLUtilities.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

class CSQLUtilitiesTest : public RootedTest {
protected:
    bool Create(const std::string& path, unsigned int& error) {
        const std::wstring wide(path.begin(), path.end());  // test paths are ASCII
        return CSQLUtilities::createRecursiveDirectory(wide.c_str(), error);
    }
    static bool IsDirectory(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
};

TEST_F(CSQLUtilitiesTest, CreatesMissingParentsAndAcceptsAnExistingDirectory) {
    unsigned int error = 99;
    const std::string deep = root.path() + "/a/b/c";
    ASSERT_TRUE(Create(deep, error));
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(IsDirectory(deep));
    EXPECT_TRUE(Create(deep + "/", error));
    EXPECT_EQ(error, 0u);
}

TEST_F(CSQLUtilitiesTest, AnExistingFileIsNotADirectory) {
    root.WriteFile("file", "x");
    unsigned int error = 0;
    EXPECT_FALSE(Create(root.path() + "/file", error));
    EXPECT_EQ(error, static_cast<unsigned int>(ENOTDIR));
    EXPECT_FALSE(Create(root.path() + "/file/sub", error));
    EXPECT_EQ(error, static_cast<unsigned int>(ENOTDIR));
}

TEST_F(CSQLUtilitiesTest, RefusesNullEmptyAndUnencodablePaths) {
    unsigned int error = 0;
    EXPECT_FALSE(CSQLUtilities::createRecursiveDirectory(nullptr, error));
    EXPECT_EQ(error, static_cast<unsigned int>(EINVAL));
    EXPECT_FALSE(CSQLUtilities::createRecursiveDirectory(L"", error));
    EXPECT_EQ(error, static_cast<unsigned int>(EINVAL));
    const wchar_t surrogate[] = {L'/', static_cast<wchar_t>(0xD800), L'\0'};
    EXPECT_FALSE(CSQLUtilities::createRecursiveDirectory(surrogate, error));
    EXPECT_EQ(error, static_cast<unsigned int>(EINVAL));
}

TEST_F(CSQLUtilitiesTest, ReportsTheErrnoOfAFailedCreation) {
    const std::string locked = root.path() + "/locked";
    ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
    unsigned int error = 0;
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
    EXPECT_FALSE(Create(locked + "/x/y", error));
    EXPECT_EQ(error, static_cast<unsigned int>(EACCES));
}
