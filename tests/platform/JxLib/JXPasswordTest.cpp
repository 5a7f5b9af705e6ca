// Stored-password encoding and the UTF-8/wide conversions under it.
#include <gtest/gtest.h>

#include <cwchar>

#include "JxLib/JXPassword.h"
#include "WzUtils/FXString.h"

namespace {

TEST(JXPassword, RoundTripsAndHidesText) {
    const std::string clear = "P\xc3\xa4ssw\xc3\xb6rd \xf0\x9f\x94\x91";
    std::string encoded = JXPassword::encrypt(clear);
    EXPECT_EQ(encoded.find("ssw"), std::string::npos);
    wchar_t out[64];
    ASSERT_EQ(JXPassword::decrypt(encoded, out, 63), 10);
    EXPECT_EQ(FXString::ToString(std::wstring(out)), clear);
}

TEST(JXPassword, RejectsForeignTextAndLeavesBufferAlone) {
    wchar_t out[8];
    std::wmemset(out, L'#', 8);
    for (const char* bad : {"", "secret", "jxp1:", "jxp1:abc", "jxp1:zz", "jxp1:ff"}) {
        EXPECT_EQ(JXPassword::decrypt(bad, out, 7), 0) << bad;
    }
    EXPECT_EQ(JXPassword::decrypt(JXPassword::encrypt("12345678"), out, 7), 0) << "does not fit";
    EXPECT_EQ(out[0], L'#');
    EXPECT_EQ(JXPassword::decrypt(JXPassword::encrypt("1234567"), out, 7), 7);
    EXPECT_EQ(out[7], L'\0');
}

TEST(JXPassword, HiddenBytesThatAreNotUtf8AreRefused) {
    wchar_t out[8];
    for (const char* bad : {"\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xff"}) {
        EXPECT_EQ(JXPassword::decrypt(JXPassword::encrypt(bad), out, 7), 0);
    }
}

}  // namespace
