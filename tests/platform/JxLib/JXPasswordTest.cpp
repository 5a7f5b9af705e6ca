// Stored-password encoding and the UTF-8/wide conversions under it.
#include <gtest/gtest.h>

#include <cwchar>

#include "JxLib/JXPassword.h"
#include "JxLib/WideText.h"

namespace {

TEST(JXPassword, RoundTripsAndHidesText) {
    const std::string clear = "P\xc3\xa4ssw\xc3\xb6rd \xf0\x9f\x94\x91";
    std::string encoded = JXPassword::encrypt(clear);
    EXPECT_EQ(encoded.find("ssw"), std::string::npos);
    wchar_t out[64];
    ASSERT_EQ(JXPassword::decrypt(encoded, out, 63), 10);
    EXPECT_EQ(jx::WideToUtf8(out), clear);
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

TEST(WideText, InvalidUtf8IsRefused) {
    std::wstring w = L"keep";
    for (const char* bad : {"\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xff"}) {
        EXPECT_FALSE(jx::Utf8ToWide(bad, w)) << bad;
    }
    EXPECT_EQ(w, L"keep");
    EXPECT_TRUE(jx::Utf8ToWide("a\xc3\xa9", w));
    EXPECT_EQ(w, L"a\u00e9");
}

}  // namespace
