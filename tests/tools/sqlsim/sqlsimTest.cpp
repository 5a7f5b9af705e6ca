#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "JxsqlDMO/CsqlDMO.h"
#include "tests/support/TestRoot.h"

namespace {

class SqlsimTest : public jxtest::RootedTest {
protected:
    // Runs the program under the test's root; returns its exit status and
    // what it printed (both streams).
    int Run(const std::string& arguments, std::string& output) {
        std::string command = std::string(JX_SQLSIM_PROGRAM) + " " + arguments + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return -1;
        char buffer[512];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        int status = ::pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(SqlsimTest, CreatesTheInstancesOfADescriptionFile) {
    root.WriteFile("desc.txt", "instance h/one\ndatabase \"a'b]\" state=offline\n");
    std::string output;
    ASSERT_EQ(Run(root.File("desc.txt"), output), 0) << output;
    EXPECT_NE(output.find("created instance h/one"), std::string::npos);
    CsqlDMO dmo;
    int state = 0;
    std::string text;
    ASSERT_TRUE(dmo.getDatabaseStatus("h/one", "a'b]", state, text));
    EXPECT_EQ(text, "OFFLINE");
}

TEST_F(SqlsimTest, ReportsMistakesAndUnreadableFilesWithAFailureStatus) {
    root.WriteFile("bad.txt", "instance h/two\ndatabase d size=1\n");
    std::string output;
    EXPECT_EQ(Run(root.File("bad.txt"), output), 1);
    EXPECT_NE(output.find("line 2"), std::string::npos) << output;
    EXPECT_NE(output.find("created instance h/two"), std::string::npos);

    std::string missing;
    EXPECT_EQ(Run(root.File("nothere.txt"), missing), 1);
    EXPECT_NE(missing.find("cannot read"), std::string::npos);
    std::string usage;
    EXPECT_EQ(Run("", usage), 2);
}

}  // namespace

namespace {

class SqlsimChangeTest : public SqlsimTest {};

TEST_F(SqlsimChangeTest, ChangesADatabaseAndExplainsItsArguments) {
    root.WriteFile("desc.txt", "instance h/one\ndatabase sales\n");
    std::string output;
    ASSERT_EQ(Run(root.File("desc.txt"), output), 0) << output;
    output.clear();
    ASSERT_EQ(Run("change h/one sales pages=3 seed=9 mark=m1", output), 0) << output;
    EXPECT_NE(output.find("last LSN 1003"), std::string::npos) << output;
    std::string help;
    EXPECT_EQ(Run("--help", help), 0);
    EXPECT_NE(help.find("change INSTANCE DATABASE"), std::string::npos) << help;
    for (const char* bad : {"change h/one", "change h/one sales pages=0", "change h/one sales pages=x",
                            "change h/one sales colour=red"}) {
        std::string out;
        EXPECT_EQ(Run(bad, out), 2) << bad;
        EXPECT_NE(out.find("usage"), std::string::npos) << bad << out;
    }
    std::string missing;
    EXPECT_EQ(Run("change h/one nosuch", missing), 1);
    EXPECT_NE(missing.find("nosuch"), std::string::npos) << missing;
}

}  // namespace
