#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WzUtils/FXString.h"
#include "WzUtils/WzJson.h"

using Fields = std::vector<std::string>;

TEST(FXString, SplitKeepsEmptyFieldsUnlessAskedAndAnEmptyTextHasNone) {
    EXPECT_EQ(FXString::Split("tmp*:test?", ":"), (Fields{"tmp*", "test?"}));
    EXPECT_EQ(FXString::Split("a::b:", ":"), (Fields{"a", "", "b", ""}));
    EXPECT_EQ(FXString::Split("a::b:", ":", FXString::SPLIT_SKIP_EMPTY), (Fields{"a", "b"}));
    EXPECT_EQ(FXString::Split("", ":"), Fields{});
    EXPECT_EQ(FXString::Split("12|inst", "|"), (Fields{"12", "inst"}));
}

TEST(FXString, TrimsCharacterSetsAndRemovesSuffixesOnce) {
    std::string s = " \t db name \t";
    FXString::TrimWhiteSpace(s);
    EXPECT_EQ(s, "db name");
    s = " \t ";
    FXString::TrimWhiteSpace(s);
    EXPECT_EQ(s, "");

    s = "x.bak.jxf.jxf";
    EXPECT_TRUE(FXString::RemoveRight(s, ".jxf"));
    EXPECT_EQ(s, "x.bak.jxf");
    EXPECT_FALSE(FXString::RemoveRight(s, ".JXF"));
    EXPECT_TRUE(FXString::RemoveRightNoCase(s, ".JXF"));
    EXPECT_EQ(s, "x.bak");
    EXPECT_FALSE(FXString::RemoveRightNoCase(s, "longer than x.bak"));
}

TEST(FXString, MatchesPrefixesAndFindsTextIgnoringCase) {
    EXPECT_TRUE(FXString::MatchLeftNoCase("Master.mdf", "MASTER"));
    EXPECT_FALSE(FXString::MatchLeftNoCase("ma", "master"));
    const char* text = "Data Source=HOST";
    EXPECT_EQ(FXString::FindString(text, "source", true), text + 5);
    EXPECT_EQ(FXString::FindString(text, "source", false), nullptr);
    EXPECT_EQ(FXString::FindString(text, "HOSTS", true), nullptr);
    EXPECT_EQ(FXString::FindString(nullptr, "a", true), nullptr);
}

TEST(FXString, ConvertsBetweenUtf8AndWideText) {
    std::string utf8 = "Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC \xF0\x9F\x98\x80";  // Grüß€ 😀
    std::wstring wide = FXString::ToWstring(utf8);
    EXPECT_EQ(wide, (std::wstring{L'G', L'r', 0xFC, 0xDF, 0x20AC, L' ', 0x1F600}));
    EXPECT_EQ(FXString::ToString(wide), utf8);
    EXPECT_EQ(FXString::ToString(std::string("copy")), "copy");
    EXPECT_EQ(FXString::ToWstring(std::wstring(L"copy")), L"copy");
    std::string withNul("a\0b", 3);
    EXPECT_EQ(FXString::ToString(FXString::ToWstring(withNul)), withNul);
}

TEST(FXString, MalformedInputBecomesReplacementCharacters) {
    // Stray continuation, truncated sequence, overlong '/', encoded surrogate.
    EXPECT_EQ(FXString::ToWstring("\x80x"), (std::wstring{0xFFFD, L'x'}));
    EXPECT_EQ(FXString::ToWstring("a\xE2\x82"), (std::wstring{L'a', 0xFFFD, 0xFFFD}));
    EXPECT_EQ(FXString::ToWstring("\xC0\xAF"), (std::wstring{0xFFFD, 0xFFFD}));
    EXPECT_EQ(FXString::ToWstring("\xED\xA0\x80").front(), wchar_t(0xFFFD));
    EXPECT_EQ(FXString::ToString(std::wstring{static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)}),
              "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(WzJson, EscapesWhatWouldBreakAJsonLine) {
    EXPECT_EQ(wz::JsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
    EXPECT_EQ(wz::JsonString("\xC3\xBC"), "\"\xC3\xBC\"");
}
