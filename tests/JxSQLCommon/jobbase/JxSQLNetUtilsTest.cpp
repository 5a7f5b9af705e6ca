// Network shares, long-path forms and the COM guard.
#include "JxSQLCommon/jobbase/JxSQLNetUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "JxSQLCommon/jobbase/CSQLCom.h"
#include "tests/support/TestRoot.h"

namespace {

std::wstring LongPath(const wchar_t* path, int size = 512) {
    std::wstring out(static_cast<size_t>(size), L'#');
    if (!JxSQLNetUtils::MakeLongPathRequest(path, out.data(), size)) return L"(refused)";
    return out.c_str();
}

TEST(LongPath, LocalAndUncPathsGetTheirPrefixes) {
    EXPECT_EQ(LongPath(L"C:\\data\\x.mdf"), L"\\\\?\\C:\\data\\x.mdf");
    EXPECT_EQ(LongPath(L"\\\\srv\\share\\x.bak"), L"\\\\?\\UNC\\srv\\share\\x.bak");
}

TEST(LongPath, ShortLongFormAndDevicePathsStayAsTheyAre) {
    for (const wchar_t* same : {L"\\\\?\\C:\\a", L"\\\\?\\UNC\\srv\\s", L"\\\\.\\pipe\\x", L"C:\\", L""}) {
        EXPECT_EQ(LongPath(same), same);
    }
}

TEST(LongPath, OutputSizeIsHonoured) {
    // "\\?\C:\ab" needs 9 characters and the terminator.
    EXPECT_EQ(LongPath(L"C:\\ab", 10), L"\\\\?\\C:\\ab");
    wchar_t small[9];
    std::wmemset(small, L'#', 9);
    EXPECT_FALSE(JxSQLNetUtils::MakeLongPathRequest(L"C:\\ab", small, 9));
    EXPECT_EQ(small[0], L'#') << "nothing written";
    EXPECT_FALSE(JxSQLNetUtils::MakeLongPathRequest(L"C:\\", small, 0));
    EXPECT_FALSE(JxSQLNetUtils::MakeLongPathRequest(nullptr, small, 9));
}

TEST(NetworkShares, NoSharesOnThisPlatform) {
    char buffer[32] = "prepared";
    EXPECT_FALSE(JxSQLNetUtils::CreateUNCPath("/var/opt/mssql/data", buffer, "node1"));
    EXPECT_STREQ(buffer, "prepared");
    EXPECT_TRUE(JxSQLNetUtils::DeleteNetWorkShare("share", "node1"));
}

class ComGuard : public jxtest::RootedTest {};

TEST_F(ComGuard, InitialisesOnceAndFreesOnce) {
    CSQLCom guard(true);
    EXPECT_TRUE(guard.isInitialised());
    EXPECT_EQ(guard.InitCom(), 1);
    EXPECT_EQ(guard.FreeCom(), 0);
    EXPECT_EQ(guard.FreeCom(), 1);
    CSQLCom idle(false);
    EXPECT_FALSE(idle.isInitialised());
    EXPECT_EQ(idle.FreeCom(), 1);
    idle = guard;
    EXPECT_FALSE(idle.isInitialised()) << "assignment copies nothing";
}

}  // namespace
