#include <gtest/gtest.h>

#include <string>

#include "JxSQLCommon/records/SqlConvert.h"

namespace {
std::string Lower(const std::string& s) { return SqlConvert::ToLower(s); }
}  // namespace

TEST(SqlConvert, LowersAsciiAndGermanCapitalsAndKeepsDigitsAndPunctuation) {
    EXPECT_EQ(Lower("\xC3\x84\xC3\x96\xC3\x9C-DB_01.Bak"), "\xC3\xA4\xC3\xB6\xC3\xBC-db_01.bak");
    EXPECT_EQ(Lower("0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"),
              "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
    EXPECT_EQ(Lower(""), "");
}

TEST(SqlConvert, LowersEachListedBlock) {
    EXPECT_EQ(Lower("\xC4\x80"), "\xC4\x81");          // Latin Extended-A: A-macron
    EXPECT_EQ(Lower("\xC6\x81"), "\xC9\x93");          // Latin Extended-B: B-hook
    EXPECT_EQ(Lower("\xCE\xA3\xCE\x91"), "\xCF\x83\xCE\xB1");  // Greek: Sigma Alpha
    EXPECT_EQ(Lower("\xD0\x96\xD0\x81"), "\xD0\xB6\xD1\x91");  // Cyrillic: Zhe, Io
    EXPECT_EQ(Lower("\xD4\xB1"), "\xD5\xA1");          // Armenian: Ayb
    EXPECT_EQ(Lower("\xE1\xB8\x80"), "\xE1\xB8\x81");  // Latin Extended Additional
    EXPECT_EQ(Lower("\xE1\xBC\x88"), "\xE1\xBC\x80");  // Greek Extended
    EXPECT_EQ(Lower("\xF0\x90\x92\xB0"), "\xF0\x90\x93\x98");  // Osage
}

TEST(SqlConvert, GeorgianCapitalsBecomeTheLettersThirtyHexOn) {
    EXPECT_EQ(Lower("\xE1\x82\xA0"), "\xE1\x83\x90");  // U+10A0 -> U+10D0
    EXPECT_EQ(Lower("\xE1\x83\x85"), "\xE1\x83\xB5");  // U+10C5 -> U+10F5
    EXPECT_EQ(Lower("\xE1\x83\x87"), "\xE1\x83\xB7");  // U+10C7 -> U+10F7
    EXPECT_EQ(Lower("\xE1\x83\x8D"), "\xE1\x83\xBD");  // U+10CD -> U+10FD
}

TEST(SqlConvert, KeepsTheByteLength) {
    // U+0130 lowers to the one-byte 'i', U+1E9E to the two-byte U+00DF: both stay.
    EXPECT_EQ(Lower("\xC4\xB0"), "\xC4\xB0");
    EXPECT_EQ(Lower("\xE1\xBA\x9E"), "\xE1\xBA\x9E");
    // Outside the listed lead bytes nothing changes (U+2C00 Glagolitic capital).
    EXPECT_EQ(Lower("\xE2\xB0\x80"), "\xE2\xB0\x80");
}

TEST(SqlConvert, LeavesInvalidSequencesAsTheyAre) {
    EXPECT_EQ(Lower("A\xC3"), "a\xC3");                    // truncated at the end
    EXPECT_EQ(Lower("\xC3" "A"), "\xC3" "a");              // lead without continuation
    EXPECT_EQ(Lower("\xE1\x82"), "\xE1\x82");              // truncated three-byte
    EXPECT_EQ(Lower("\xF0\x90\x92"), "\xF0\x90\x92");      // truncated four-byte
    EXPECT_EQ(Lower("\x84\x96Z"), "\x84\x96z");            // stray continuation bytes
}

TEST(SqlConvert, ToLowerKeepsEmbeddedNulsAndWhatFollows) {
    const std::string text("AB\0CD", 5);
    EXPECT_EQ(Lower(text), std::string("ab\0cd", 5));
}

TEST(SqlConvert, StrToLwrExtWorksInPlaceAndToleratesNullAndEmpty) {
    EXPECT_EQ(SqlConvert::StrToLwrExt(nullptr), nullptr);
    unsigned char empty[] = "";
    EXPECT_EQ(SqlConvert::StrToLwrExt(empty), empty);
    unsigned char text[] = "MASTER\xC3\x84";
    EXPECT_EQ(SqlConvert::StrToLwrExt(text), text);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "master\xC3\xA4");
}

TEST(SqlConvert, WideLowerCasingAgreesWithNarrowAndNeedsNoLocale) {
    std::wstring wide = L"DB_\u00C4\u0416\u10A0\u0130\U000104B0";
    SqlConvert::ToLowerCase(wide);
    EXPECT_EQ(wide, L"db_\u00E4\u0436\u10D0i\U000104D8");
}
