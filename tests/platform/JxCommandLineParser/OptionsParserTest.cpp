// The job programs' command lines: what each option sets and what is refused.
#include <gtest/gtest.h>

#include <vector>

#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxCommandLineParser/RestoreOptionsParser.h"

namespace {

template <typename Parser>
CWzError Parse(Parser& parser, std::vector<const char*> args) {
    args.insert(args.begin(), "prog");
    return parser.parse(static_cast<int>(args.size()), args.data());
}

TEST(BackupOptions, EveryOptionReachesItsAccessor) {
    BackupOptionsParser p;
    ASSERT_TRUE(Parse(p, {"-j", "18446744073709551615", "-token", "42:1:2", "-cn", "node1", "-cell", "2", "-a",
                          "1234", "-restart", "-o 4096", "-ma", "ma1", "-tl2snap", "-dctm", "-rbs"})
                    .IsSuccess());
    EXPECT_EQ(p.getJobId(), 18446744073709551615u);
    EXPECT_EQ(p.getJobToken(), "42:1:2");
    EXPECT_EQ(p.getClientName(), "node1");
    EXPECT_EQ(p.getJxCellId(), 2u);
    EXPECT_EQ(p.getApplicationNumber(), 1234u);
    EXPECT_EQ(p.getFullRestartString(), "-o 4096");
    EXPECT_EQ(p.getMediaAgent(), "ma1");
    EXPECT_TRUE(p.isTLToSnapJob());
    EXPECT_TRUE(p.isDctmJob());
    EXPECT_TRUE(p.isRBSJob());
}

TEST(BackupOptions, AbsentOptionsAreZeroOrEmpty) {
    BackupOptionsParser p;
    ASSERT_TRUE(Parse(p, {}).IsSuccess());
    EXPECT_EQ(p.getJobId(), 0u);
    EXPECT_EQ(p.getJobToken(), "");
    EXPECT_FALSE(p.isRBSJob());
    EXPECT_FALSE(p.isTLToSnapJob());
}

TEST(BackupOptions, BadCommandLinesAreRefusedWithTheOptionNamed) {
    struct Case {
        std::vector<const char*> args;
        const char* named;
    };
    for (const Case& c : {Case{{"-x"}, "-x"}, Case{{"-j"}, "-j"}, Case{{"-j", "12a"}, "-j"}, Case{{"-a", "-3"}, "-a"},
                          Case{{"-cell", "18446744073709551616"}, "-cell"}, Case{{"-j", ""}, "-j"},
                          Case{{"-rt", "5"}, "-rt"}}) {
        BackupOptionsParser p;
        CWzError e = Parse(p, c.args);
        ASSERT_TRUE(e.IsError()) << c.named;
        EXPECT_NE(e.GetMessage().find(c.named), std::string::npos) << e.GetMessage();
    }
}

TEST(RestoreOptions, TaskIdAndCommonOptions) {
    RestoreOptionsParser p;
    ASSERT_TRUE(Parse(p, {"-rt", "77", "-j", "43", "-j", "44", "-rbs"}).IsSuccess());
    EXPECT_EQ(p.getRestoreTaskId(), 77u);
    EXPECT_EQ(p.getJobId(), 44u);
    EXPECT_TRUE(p.isRBSJob());
    EXPECT_EQ(p.getJxCellId(), 0u) << "no -cell";
    RestoreOptionsParser q;
    EXPECT_TRUE(Parse(q, {"-a", "1"}).IsError());
    RestoreOptionsParser r;
    ASSERT_TRUE(Parse(r, {"-rt", "77", "-cell", "3"}).IsSuccess());
    EXPECT_EQ(r.getJxCellId(), 3u);
    RestoreOptionsParser bad;
    EXPECT_NE(Parse(bad, {"-cell", "x"}).GetMessage().find("-cell"), std::string::npos);
}

TEST(Options, NullArgumentIsRefused) {
    RestoreOptionsParser p;
    const char* args[] = {"prog", nullptr};
    EXPECT_TRUE(p.parse(2, args).IsError());
    EXPECT_TRUE(p.parse(1, nullptr).IsError());
}

}  // namespace
