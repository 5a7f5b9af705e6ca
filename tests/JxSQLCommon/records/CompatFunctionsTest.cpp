#include <gtest/gtest.h>

#include <cstring>

#include "JxSQLCommon/records/CompatFunctions.h"

TEST(StringCbPrintfA, ReportsWhetherTheWholeTextFit) {
    char buffer[10];
    EXPECT_EQ(StringCbPrintfA(buffer, sizeof buffer, "%s", "123456789"), STRSAFE_S_OK);
    EXPECT_STREQ(buffer, "123456789");
    EXPECT_EQ(StringCbPrintfA(buffer, sizeof buffer, "%d%s", 1, "234567890"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, "123456789");
}

TEST(StringCbPrintfA, RefusesInvalidBuffersWithoutWriting) {
    char buffer[4] = {'x', 'x', 'x', '\0'};
    EXPECT_EQ(StringCbPrintfA(buffer, 0, "%s", "a"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCbPrintfA(buffer, 0x80000000u, "%s", "a"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCbPrintfA(nullptr, 4, "%s", "a"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_STREQ(buffer, "xxx");
    EXPECT_LT(STRSAFE_E_INSUFFICIENT_BUFFER, 0);
    EXPECT_LT(STRSAFE_E_FORMAT_FAILED, 0);
}
