#include <gtest/gtest.h>

#include "JxSQLCommon/records/JXSQLCmdArgs.h"

TEST(JXSQLCmdArgs, StartsWithDatabaseBackupOnAndNothingSet) {
    JXSQLCmdArgs args;
    EXPECT_TRUE(args.databaseBackupOn());
    EXPECT_FALSE(args.validateBackupOptions());
    EXPECT_FALSE(args.validateInteractiveBackupOptions());
    EXPECT_FALSE(args.validateRestoreOptions());
}

TEST(JXSQLCmdArgs, RefusedInputChangesNothing) {
    JXSQLCmdArgs args;
    EXPECT_FALSE(args.setJobId(""));
    EXPECT_FALSE(args.setJobId(0ULL));
    EXPECT_FALSE(args.setApplicationNumber("57"));
    EXPECT_FALSE(args.setApplicationNumber("5:"));
    EXPECT_FALSE(args.setApplicationNumber(5, 0));
    EXPECT_FALSE(args.setBackupType("d"));
    EXPECT_FALSE(args.setBackupType(""));
    EXPECT_FALSE(args.setBackupTypeInteractive("incremental"));
    EXPECT_FALSE(args.setVirtualMachine(""));
    EXPECT_FALSE(args.setRestoreTaskId(""));
    EXPECT_EQ(args.jobId(), 0u);
    EXPECT_EQ(args.backupType(), 0);
    EXPECT_EQ(args.applicationNumberFirst(), 0u);
}

TEST(JXSQLCmdArgs, ParsesTheValuesItAccepts) {
    JXSQLCmdArgs args;
    EXPECT_TRUE(args.setApplicationNumber("5:7"));
    EXPECT_EQ(args.applicationNumberFirst(), 5u);
    EXPECT_EQ(args.applicationNumberSecond(), 7u);
    EXPECT_TRUE(args.setJobId("18446744073"));
    EXPECT_EQ(args.jobId(), 18446744073u);
    EXPECT_TRUE(args.setBackupTypeInteractive("DIFF"));
    EXPECT_EQ(args.backupType(), JXSQLCmdArgs::kDifferential);
    EXPECT_TRUE(args.setBackupType("Log"));
    EXPECT_EQ(args.backupType(), JXSQLCmdArgs::kLog);
    args.setCommandLine("-a 2:3");
    EXPECT_EQ(args.commandLine(), "-a 2:3 -O ");
}

TEST(JXSQLCmdArgs, OverrideMakesAFullBackupAndKeepsTheRequestedLevel) {
    JXSQLCmdArgs args;
    ASSERT_TRUE(args.setBackupType("L"));
    args.databaseBackupTypeOverride();
    EXPECT_EQ(args.backupType(), JXSQLCmdArgs::kFull);
    EXPECT_EQ(args.savedBackupType(), JXSQLCmdArgs::kLog);
    EXPECT_TRUE(args.backupTypeOverridden());
}

TEST(JXSQLCmdArgs, ScheduledAndInteractiveBackupsNeedTheirValuesAndNoRestoreTask) {
    JXSQLCmdArgs backup;
    backup.setJobId(12ULL);
    backup.setApplicationNumber(5, 7);
    backup.setBackupType("D");
    EXPECT_FALSE(backup.validateBackupOptions());
    backup.setVirtualMachine("vm1");
    EXPECT_TRUE(backup.validateBackupOptions());
    backup.setRestoreTaskId("9");
    EXPECT_FALSE(backup.validateBackupOptions());

    JXSQLCmdArgs interactive;
    interactive.setBackupTypeInteractive("full");
    interactive.setSqlDatabaseName("sales");
    interactive.setSqlServerInstance("host/INST1");
    EXPECT_FALSE(interactive.validateInteractiveBackupOptions());
    interactive.setVirtualMachine("vm1");
    interactive.setClientMachine("client1");
    EXPECT_TRUE(interactive.validateInteractiveBackupOptions());
    EXPECT_FALSE(interactive.validateBackupOptions());  // the plain backup type is not set
}

TEST(JXSQLCmdArgs, ARestoreRefusesAnyBackupValue) {
    JXSQLCmdArgs restore;
    restore.setJobId(12ULL);
    restore.setRestoreTaskId("9");
    restore.setVirtualMachine("vm1");
    EXPECT_TRUE(restore.validateRestoreOptions());
    restore.setBackupDescription("");
    EXPECT_FALSE(restore.validateRestoreOptions());

    JXSQLCmdArgs withDb;
    withDb.setJobId(12ULL);
    withDb.setRestoreTaskId("9");
    withDb.setVirtualMachine("vm1");
    withDb.setSqlDatabaseName("sales");
    EXPECT_FALSE(withDb.validateRestoreOptions());
}
