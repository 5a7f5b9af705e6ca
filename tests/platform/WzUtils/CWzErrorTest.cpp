#include <gtest/gtest.h>

#include <cerrno>

#include "WzUtils/FXErrorUtil.h"

TEST(CWzError, SuccessIsNoError) {
    CWzError ok = CWzError::Success();
    EXPECT_FALSE(ok.IsError());
    EXPECT_EQ(ok.GetErrorCode(), 0);
    EXPECT_EQ(ok.AsString(), "Success");
}

TEST(CWzError, EveryBuilderGivesAnErrorAndReadersGiveTheCodeBack) {
    CWzError jx = FXErrorUtil::ErrorJXResult(FXCODELOC, 306, "cluster [%s]", "c1");
    EXPECT_TRUE(jx.IsError());
    EXPECT_EQ(FXErrorUtil::GetJXResult(jx), 306);
    EXPECT_EQ(FXErrorUtil::GetErrNo(jx), 0);

    CWzError zero = FXErrorUtil::ErrorJXResult(FXCODELOC, 0, "no code");
    EXPECT_TRUE(zero.IsError());

    CWzError hr = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "in is empty");
    EXPECT_TRUE(hr.IsError());
    EXPECT_EQ(hr.GetErrorCode(), WZ_E_INVALIDARG);
    EXPECT_EQ(FXErrorUtil::GetHResult(hr), WZ_E_INVALIDARG);

    CWzError en = FXErrorUtil::ErrorErrNo(FXCODELOC, ENOENT, "open [%s]", "/x");
    EXPECT_TRUE(en.IsError());
    EXPECT_EQ(FXErrorUtil::GetErrNo(en), ENOENT);

    CWzError w32 = FXErrorUtil::ErrorWin32(FXCODELOC, 5u);
    EXPECT_TRUE(w32.IsError());
    EXPECT_EQ(FXErrorUtil::GetWin32(w32), 5u);

    CWzError sq = FXErrorUtil::ErrorSQLite(FXCODELOC, 5, "busy");
    EXPECT_TRUE(sq.IsError());
    EXPECT_TRUE(FXErrorUtil::IsSQLite(sq));
    EXPECT_EQ(FXErrorUtil::GetSQLite(sq), 5);
    EXPECT_FALSE(FXErrorUtil::IsSQLite(en));
}

TEST(CWzError, PushAddsContextSharedByCopies) {
    CWzError e = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "first");
    CWzError copy = e;
    copy.Push(FXCODELOC, "while doing %d", 42);
    std::string text = e.AsString();
    EXPECT_NE(text.find("first"), std::string::npos);
    EXPECT_NE(text.find("while doing 42"), std::string::npos);
    EXPECT_NE(text.find("CWzErrorTest.cpp("), std::string::npos);
    EXPECT_EQ(e.GetMessage(), "first");
}
