#include "JxsqlDMO/SqlSimText.h"

#include <gtest/gtest.h>

TEST(SqlSimTextTest, RoundTripsUnicodeNames) {
    const std::string names[] = {"", "sales", "a'b]", "Ums\xC3\xA4tze", "\xE6\x97\xA5\xE6\x9C\xAC",
                                 "\xF0\x9F\x98\x80 db"};
    for (const std::string& name : names) {
        EXPECT_EQ(SqlSimNarrow(SqlSimWiden(name)), name);
    }
    EXPECT_EQ(SqlSimWiden("\xC3\xA4"), std::wstring(1, L'\u00e4'));
}

TEST(SqlSimTextTest, BrokenInputBecomesReplacementCharacters) {
    // A truncated sequence, a lone continuation byte, an overlong "/" and a
    // surrogate half.
    EXPECT_EQ(SqlSimWiden("a\xE6\x97"), std::wstring(L"a\uFFFD\uFFFD"));
    EXPECT_EQ(SqlSimWiden("\x80z"), std::wstring(L"\uFFFDz"));
    EXPECT_EQ(SqlSimWiden("\xC0\xAF").find(L'/'), std::wstring::npos);
    EXPECT_EQ(SqlSimWiden("\xED\xA0\x80").front(), L'\uFFFD');
    EXPECT_EQ(SqlSimNarrow(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
}
