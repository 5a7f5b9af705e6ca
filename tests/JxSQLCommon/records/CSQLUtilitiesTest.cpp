#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/records/CSQLUtilities.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
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
    for (int failure : {EACCES, ENOSPC, EIO}) {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCall(jxtest::FsCall::kMkdir, 2, failure);  // the second level fails
        unsigned int error = 0;
        EXPECT_FALSE(Create(root.path() + "/made/x/y", error));
        EXPECT_EQ(error, static_cast<unsigned int>(failure));
        EXPECT_EQ(faulty.Fired(jxtest::FsCall::kMkdir), 1);
        std::error_code ec;
        std::filesystem::remove_all(root.path() + "/made", ec);
    }
}

TEST_F(CSQLUtilitiesTest, StartedProcessRunsWithoutBeingWaitedFor) {
    const std::string script = root.File("bin/tool.sh");
    const std::string marker = root.path() + "/started";
    root.WriteFile("bin/tool.sh", "#!/bin/sh\necho \"$1\" > " + marker + ".tmp && mv " + marker + ".tmp " + marker + "\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    JxProcess::SetProgramPath("jxtool", script);

    EXPECT_TRUE(CSQLUtilities::createProcessAsUser("svc", "secret", "jxtool hello"));
    std::string written;
    for (int i = 0; i < 500 && written.empty(); ++i) {
        written = jxtest::ReadWholeFile(marker);
        if (written.empty()) ::usleep(10 * 1000);
    }
    EXPECT_EQ(written, "hello\n");
}

TEST_F(CSQLUtilitiesTest, AProgramThatCannotStartIsReported) {
    EXPECT_FALSE(CSQLUtilities::createProcessAsUser("svc", "secret", "/no/such/program --x"));
    EXPECT_FALSE(CSQLUtilities::createProcessAsUser("svc", "secret", ""));
    const std::string log = jxtest::ReadWholeFile(EvDebug::LogFilePath());
    EXPECT_NE(log.find("Failed to create process [/no/such/program --x] for user [svc]"), std::string::npos);
    EXPECT_NE(log.find("cannot execute program [/no/such/program]"), std::string::npos);
    EXPECT_EQ(log.find("secret"), std::string::npos);
}

TEST_F(CSQLUtilitiesTest, TheStartErrorNeverOverrunsTheCallersBuffer) {
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(JxProcess::StartProcess("/", "/no/such/program", small, 6, 0), 0);
    EXPECT_EQ(std::strlen(small), 5u);
    EXPECT_EQ(small[6], 'x');
}
