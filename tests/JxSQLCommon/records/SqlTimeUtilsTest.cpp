#include <gtest/gtest.h>

#include <climits>
#include <regex>
#include <string>

#include "JxSQLCommon/records/SqlTimeUtils.h"

TEST(SqlTimeUtils, PrintsTheNumberAndTheLocalTime) {
    const std::string text = PRINT_TIMESTR(1700000000L);
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(1700000000 - \d\d/\d\d/2023 \d\d:\d\d:\d\d (AM|PM))")))
        << text;
}

TEST(SqlTimeUtils, ATimeThatCannotBeConvertedPrintsTheNumberAlone) {
    EXPECT_EQ(GetTimeString(LONG_MAX), "");
    EXPECT_EQ(PRINT_TIMESTR(LONG_MAX), "9223372036854775807");
}
