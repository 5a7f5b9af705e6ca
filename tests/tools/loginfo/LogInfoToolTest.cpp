// Behaviour of the loginfo command: adding dumps and printing the database.
#include <gtest/gtest.h>

#include "JxSQLCommon/state/CLogInfoDB.h"
#include "WzUtils/PlatformRoot.h"
#include "tests/JxSQLCommon/state/ChildProcess.h"
#include "tests/JxSQLCommon/state/DumpFiles.h"
#include "tests/JxSQLCommon/state/DumpFolderTest.h"
#include "tests/support/TestRoot.h"

namespace {

class LogInfoToolTest : public statetest::DumpFolderTest {
protected:
    // Runs the command; returns its exit code and fills `out` with stdout.
    static int Run(const std::string& arguments, std::string& out) {
        return statetest::RunCommand(std::string(LOGINFO_TOOL) + " " + arguments + " 2>/dev/null", out);
    }
};

TEST_F(LogInfoToolTest, AddsDumpsAndPrintsThem) {
    statetest::DumpFields fields;
    fields.database = "O'Neil";
    statetest::WriteDump(Folder(), "o'neil_log_backup_1", fields);
    fields.firstLSN = "200";
    fields.lastLSN = "300";
    statetest::WriteDump(Folder(), "o'neil_log_backup_2", fields);
    std::string out;
    const std::string folder = "'" + Folder() + "'";
    ASSERT_EQ(0, Run("add " + folder + " SQL1 \"o'neil_log_backup_1.bak\"", out));
    ASSERT_EQ(0, Run("add " + folder + " SQL1 \"o'neil_log_backup_2.bak\"", out));
    ASSERT_EQ(0, Run("add " + folder + " SQL1 \"o'neil_log_backup_2.bak\"", out));  // listed already

    ASSERT_EQ(0, Run("print " + folder, out));
    EXPECT_EQ("Databases\nSerialNo\tDatabaseId\tInstanceName\tDatabaseName\n1\t7\tSQL1\tO'Neil\n\n"
              "Logs\nId\tDBSerialNo_FK\tFileName\tFirstLSN\tLastLSN\tStartTime\tEndTime\tReferenceCount\t"
              "ReferenceTime\tSwept\n"
              "1\t1\to'neil_log_backup_1.bak\t100\t200\t1700000000\t1700000060\t0\tNULL\t0\n"
              "2\t1\to'neil_log_backup_2.bak\t200\t300\t1700000000\t1700000060\t0\tNULL\t0\n",
              out);
}

TEST_F(LogInfoToolTest, RefusesWhatItCannotUse) {
    std::string out;
    EXPECT_EQ(2, Run("", out));
    EXPECT_EQ(0, Run("--help", out));
    EXPECT_NE(std::string::npos, out.find("usage: loginfo print")) << out;
    EXPECT_EQ(1, Run("print " + Folder(), out));  // no database yet
    EXPECT_FALSE(CLogInfoDB(Folder(), DB_LOCALITY_1MIN_RPO).Exists());
    statetest::WriteDump(Folder(), "x_log_backup_1", {}, false);
    EXPECT_EQ(1, Run("add " + Folder() + " SQL1 x_log_backup_1.bak", out));  // no metadata
    EXPECT_EQ(2, Run("add " + Folder() + " SQL1 ../x_log_backup_1.bak", out));
}

}  // namespace
