// The settings readers against the real settings file, global-parameter file,
// task file and application model of a fresh platform root.
#include <gtest/gtest.h>

#include "EvTaskApiNet/EvBkpTask.h"
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/Instance.h"
#include "JXAppMgr/Subclient.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SQLCloneSettings.h"
#include "JxSQLCommon/jobbase/SQLDirectorySettings.h"
#include "JxSQLCommon/jobbase/SQLGenericOptionSettings.h"
#include "JxSQLCommon/jobbase/SQLSwitchSettings.h"
#include "JxSQLCommon/jobbase/SQLTunableSettings.h"
#include "Messages/CNMessageBase.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kJob = 4711;

void SetClient(const std::string& key, int64_t value) { JXPlatformInfo().setNumber("MSSQLAgent", key, value); }

class SettingsReaders : public jxtest::RootedTest {};

// The two skip/ignore switches share one source order: global parameter, then
// client setting; default on.
struct SwitchCase {
    const char* globalParam;
    const char* clientSetting;
    bool (*read)();
};

bool ReadIgnore() { return IgnoreNonExistentDbSettings().isEnabled(); }
bool ReadSkipTL() { return SkipTLForSimpleRmDbSettings().isEnabled(); }
// Its names and default are the caller's; these are the test's own.
bool ReadAgViaInstance() {
    return BackupAgDbsViaInstanceSettings("MSSQLAgent", "bTestAgViaInstance", "TestAgViaInstance", true).isEnabled();
}

const SwitchCase kSwitches[] = {
    {"IgnoreNonExistentDB", "nIgnoreNonExistentDB", ReadIgnore},
    {"SkipTLForSimpleRecoveryModelDB", "bSkipTLForSimpleRecoveryModelDB", ReadSkipTL},
    {"TestAgViaInstance", "bTestAgViaInstance", ReadAgViaInstance},
};

TEST_F(SettingsReaders, SwitchDefaultsOnWithNoSource) {
    for (const auto& c : kSwitches) EXPECT_TRUE(c.read()) << c.globalParam;
}

TEST_F(SettingsReaders, SwitchGlobalParameterIsTrimmedAndNonNumbersCountAsOff) {
    for (const auto& c : kSwitches) {
        JXGlobalParam::setProperty(c.globalParam, "0");
        EXPECT_FALSE(c.read()) << c.globalParam;
        JXGlobalParam::setProperty(c.globalParam, " 1 ");
        EXPECT_TRUE(c.read()) << c.globalParam;
        JXGlobalParam::setProperty(c.globalParam, "abc");
        EXPECT_FALSE(c.read()) << c.globalParam;
    }
}

TEST_F(SettingsReaders, SwitchClientSettingOverridesAndAbsenceKeepsGlobalParameter) {
    for (const auto& c : kSwitches) {
        JXGlobalParam::setProperty(c.globalParam, "0");
        EXPECT_FALSE(c.read()) << "absent client setting keeps the global parameter";
        SetClient(c.clientSetting, 1);
        EXPECT_TRUE(c.read()) << c.clientSetting;
        JXGlobalParam::setProperty(c.globalParam, "1");
        SetClient(c.clientSetting, 0);
        EXPECT_FALSE(c.read()) << c.clientSetting;
        // A client setting that is not a number is ignored.
        JXPlatformInfo().setString("MSSQLAgent", c.clientSetting, "yes");
        EXPECT_TRUE(c.read()) << c.clientSetting;
    }
}

TEST_F(SettingsReaders, CachingReaderKeepsFirstValueUntilRefreshed) {
    IgnoreNonExistentDbSettings cached(true);
    bool value = false;
    JXGlobalParam::setProperty("IgnoreNonExistentDB", "0");
    cached.getOptionValue(value, false);
    EXPECT_FALSE(value);
    JXGlobalParam::setProperty("IgnoreNonExistentDB", "1");
    cached.getOptionValue(value, false);
    EXPECT_FALSE(value) << "second read without refresh must not read the sources";
    EXPECT_TRUE(cached.isEnabled()) << "isEnabled always reads";

    IgnoreNonExistentDbSettings uncached(false);
    uncached.getOptionValue(value, false);
    EXPECT_TRUE(value);
    JXGlobalParam::setProperty("IgnoreNonExistentDB", "0");
    uncached.getOptionValue(value, false);
    EXPECT_FALSE(value);
}

TEST_F(SettingsReaders, RereadStartsFromDefaultNotFromLastValue) {
    IgnoreNonExistentDbSettings reader;
    JXGlobalParam::setProperty("IgnoreNonExistentDB", "0");
    EXPECT_FALSE(reader.isEnabled());
    JXGlobalParam::removeProperty("IgnoreNonExistentDB");
    EXPECT_TRUE(reader.isEnabled());
}

TEST_F(SettingsReaders, OptionWordBitsAndInvalidGlobalParameter) {
    SQLGenericOptionSettings options;
    unsigned long word = 99;
    options.getOptionValue(word, true);
    EXPECT_EQ(word, 0u);
    EXPECT_FALSE(options.isGlobalSettingSet());

    JXGlobalParam::setProperty("SQLGenericOptions", " 97 ");  // 64 + 32 + 1
    options.getOptionValue(word, true);
    EXPECT_EQ(word, 97u);
    EXPECT_TRUE(options.isGlobalSettingSet());
    EXPECT_TRUE(options.isDonotDeleteNonExistentDB());
    EXPECT_TRUE(options.isMarkSkippedItemFailed());
    EXPECT_TRUE(options.isSkipReplicaCheckForCopyOnlyFull());
    EXPECT_FALSE(options.isSkipBackup_ReadOnlyDB());

    // An unsigned setting given as -1 (or garbage) is invalid: the default stays.
    for (const char* bad : {"-1", "12x", "99999999999999999999999"}) {
        SQLGenericOptionSettings fresh;
        JXGlobalParam::setProperty("SQLGenericOptions", bad);
        fresh.getOptionValue(word, true);
        EXPECT_EQ(word, 0u) << bad;
        EXPECT_FALSE(fresh.isGlobalSettingSet()) << bad;
    }
}

TEST_F(SettingsReaders, OptionWordIsCachedByDefault) {
    SQLGenericOptionSettings options;
    unsigned long word = 0;
    JXGlobalParam::setProperty("SQLGenericOptions", "4");
    options.getOptionValue(word, false);
    JXGlobalParam::setProperty("SQLGenericOptions", "8");
    options.getOptionValue(word, false);
    EXPECT_EQ(word, 4u);
    options.getOptionValue(word, true);
    EXPECT_EQ(word, 8u);
}

TEST_F(SettingsReaders, ReadOnlySkipsTakeOptionWordBeforeTheirOwnSources) {
    SQLGenericOptionSettings options;
    unsigned long word = 0;
    JXGlobalParam::setProperty("SQLGenericOptions", "1");  // no read-only bit
    options.getOptionValue(word, true);

    SkipTLForReadOnlyDbSettings tl;
    tl.setGenericOption(&options);
    EXPECT_FALSE(tl.isEnabled());
    JXGlobalParam::setProperty("SkipTLForReadOnlyDB", "1");
    EXPECT_TRUE(tl.isEnabled());
    SetClient("bSkipTLForReadOnlyDB", 0);
    EXPECT_FALSE(tl.isEnabled());

    // Bit 2 turns both on when nothing later says otherwise.
    JXGlobalParam::setProperty("SQLGenericOptions", "4");
    options.getOptionValue(word, true);
    SkipTLForReadOnlyDbSettings tl2;
    JXGlobalParam::removeProperty("SkipTLForReadOnlyDB");
    JXPlatformInfo().deleteValue("MSSQLAgent", "bSkipTLForReadOnlyDB");
    tl2.setGenericOption(&options);
    EXPECT_TRUE(tl2.isEnabled());
}

TEST_F(SettingsReaders, SkipDiffForReadOnlyTaskOptionTurnsItOffUntilLaterSources) {
    EvBkpTask task(kJob);
    EXPECT_TRUE(SkipDIffForReadOnlyDbSettings(&task).isEnabled()) << "no option: on";
    EXPECT_TRUE(SkipDIffForReadOnlyDbSettings(nullptr).isEnabled()) << "no task: on";
    EvTask::setOption(kJob, 1493278158, "1");
    EXPECT_FALSE(SkipDIffForReadOnlyDbSettings(&task).isEnabled());

    SQLGenericOptionSettings options;
    unsigned long word = 0;
    JXGlobalParam::setProperty("SQLGenericOptions", "16");
    options.getOptionValue(word, true);
    SkipDIffForReadOnlyDbSettings withWord(&task);
    withWord.setGenericOption(&options);
    EXPECT_TRUE(withWord.isEnabled());
    SetClient("bSkipDiffReadOnlyDB", 0);
    EXPECT_FALSE(withWord.isEnabled());
}

TEST_F(SettingsReaders, PromoteToFullReadsIntoCallersVariable) {
    EvBkpTask task(kJob);
    PromoteToFull promote(&task);
    bool value = true;
    promote.getOptionValue(value, true);
    EXPECT_TRUE(value) << "absent option leaves the caller's value";
    EvTask::setOption(kJob, 900859578, "0");
    promote.getOptionValue(value, true);
    EXPECT_FALSE(value);
}

// One VDI time-out read with the given sources attached.
unsigned long VdiTimeout(unsigned long def, int operation, SubclientConf* subclient, MsSqlInstance* instance,
                         EvTask* task) {
    GetVdiTimeout reader(def, operation);
    reader.setSubclientPtr(subclient);
    reader.setInstancePtr(instance);
    reader.setTaskPtr(task);
    unsigned long seconds = 0;
    reader.getOptionValue(seconds, true);
    return seconds;
}

// One tunable read with the given sources attached.
template <typename Reader>
int Tunable(int def, SQLOperationType operation, MsSqlSubclient* subclient, EvTask* task) {
    Reader reader(def, operation);
    reader.setSubclientPtr(subclient);
    reader.setTaskPtr(task);
    int value = 0;
    reader.getOptionValue(value, true);
    return value;
}

TEST_F(SettingsReaders, VdiTimeoutSourcesInOrder) {
    EXPECT_EQ(VdiTimeout(0, 1, nullptr, nullptr, nullptr), 300u) << "nothing found and default 0";

    AppModel::Set("subclient/5", "vdiTimeout", "600");
    AppModel::Set("instance/7", "vdiTimeout", "700");
    MsSqlSubclient subclient(5);
    MsSqlInstance instance(7);
    EvBkpTask task(kJob);
    EXPECT_EQ(VdiTimeout(300, 1, &subclient, nullptr, nullptr), 600u);
    EXPECT_EQ(VdiTimeout(300, 1, &subclient, &instance, nullptr), 700u);

    EvTask::setOption(kJob, 1460375259, "900");
    EvTask::setOption(kJob, 1776271159, "1200");
    EXPECT_EQ(VdiTimeout(300, 1, &subclient, nullptr, &task), 900u);
    EXPECT_EQ(VdiTimeout(300, 2, nullptr, nullptr, &task), 1200u);
    EXPECT_EQ(VdiTimeout(300, 3, nullptr, nullptr, &task), 300u) << "no task option for other operations";

    // A task option of 0, or one out of range, keeps the earlier value.
    for (const char* ignored : {"0", "-5"}) {
        EvTask::setOption(kJob, 1460375259, ignored);
        EXPECT_EQ(VdiTimeout(300, 1, &subclient, nullptr, &task), 600u) << ignored;
    }
}

TEST_F(SettingsReaders, TunablesOverrideAndFallBack) {
    MsSqlSubclient subclient(5);
    EvBkpTask task(kJob);

    AppModel::Set("subclient/5", "tunableBlockSize", "32768");
    EvTask::setOption(kJob, 2112785777, "131072");
    EXPECT_EQ(Tunable<GetTunableBlockSize>(65536, SQL_OPERATION_BACKUP, &subclient, &task), 131072);
    EXPECT_EQ(Tunable<GetTunableBlockSize>(65536, SQL_OPERATION_RESTORE, &subclient, &task), 32768)
        << "a restore does not ask the task for the block size";
    for (const char* bad : {"0", "-4096"}) {
        AppModel::Set("subclient/5", "tunableBlockSize", bad);
        EXPECT_EQ(Tunable<GetTunableBlockSize>(4096, SQL_OPERATION_RESTORE, &subclient, nullptr), 65536) << bad;
    }

    EvTask::setOption(kJob, 793491248, "0");
    EXPECT_EQ(Tunable<GetTunableBufferCount>(12, SQL_OPERATION_BACKUP, nullptr, &task), 12)
        << "task option 0 keeps the constructor's default";
    EXPECT_EQ(Tunable<GetTunableBufferCount>(0, SQL_OPERATION_BACKUP, nullptr, nullptr), 20);
    EvTask::setOption(kJob, 1996329556, "40");
    EXPECT_EQ(Tunable<GetTunableBufferCount>(20, SQL_OPERATION_RESTORE, nullptr, &task), 40);

    AppModel::Set("subclient/5", "tunableMaxTransferSize", "1048576");
    EvTask::setOption(kJob, 1749046413, "4194304");
    EXPECT_EQ(Tunable<GetTunableMaxTransferSize>(2097152, SQL_OPERATION_RESTORE, &subclient, &task), 4194304);
    EXPECT_EQ(Tunable<GetTunableMaxTransferSize>(2097152, SQL_OPERATION_BACKUP, &subclient, &task), 1048576)
        << "the backup's own option id is absent";
}

TEST_F(SettingsReaders, CloneSettings) {
    EvBkpTask task(kJob);
    int seconds = 0;
    CloneReservationTimeInSeconds(&task, 3600).getOptionValue(seconds, true);
    EXPECT_EQ(seconds, 3600);
    EvTask::setOption(kJob, 136708744, "7200");
    CloneReservationTimeInSeconds(&task, 3600).getOptionValue(seconds, true);
    EXPECT_EQ(seconds, 7200);
    EvTask::setOption(kJob, 136708744, "-1");
    CloneReservationTimeInSeconds(&task, 3600).getOptionValue(seconds, true);
    EXPECT_EQ(seconds, 3600);

    unsigned long proxy = 0;
    EvTask::setOption(kJob, 162972553, "-1");
    IscsiMountProxyClient(&task, 33).getOptionValue(proxy, true);
    EXPECT_EQ(proxy, 33u) << "a negative client id is not read";
    EvTask::setOption(kJob, 162972553, "44");
    IscsiMountProxyClient(&task, 33).getOptionValue(proxy, true);
    EXPECT_EQ(proxy, 44u);

    EXPECT_TRUE(CloneViaIscsiEnabled(false).isEnabled());
    JXGlobalParam::setProperty("bEnableClonesViaISCSI", "0");
    EXPECT_FALSE(CloneViaIscsiEnabled(false).isEnabled());
}

TEST_F(SettingsReaders, CloneMountDirectoryFromRestoreOptionMessage) {
    EvBkpTask task(kJob);
    std::string path = "untouched";
    EXPECT_FALSE(CloneMountDirectory(&task, "/jr").getOptionValue(path, true));
    EXPECT_FALSE(CloneMountDirectory(nullptr, "/jr").getOptionValue(path, true));

    EvTask::setOption(kJob, 439957546, "<not xml");
    EXPECT_FALSE(CloneMountDirectory(&task, "/jr").getOptionValue(path, true));

    CNMessageBase options(12, 133);
    std::string text;
    ASSERT_EQ(options.serialize(text), kMsgOk);
    EvTask::setOption(kJob, 439957546, text);
    EXPECT_FALSE(CloneMountDirectory(&task, "/jr").getOptionValue(path, true)) << "no path in the message";
    EXPECT_EQ(path, "untouched");

    options.setliststring(43, 49, {"/mnt/clone", "/mnt/other"});
    ASSERT_EQ(options.serialize(text), kMsgOk);
    EvTask::setOption(kJob, 439957546, text);
    EXPECT_TRUE(CloneMountDirectory(&task, "/jr").getOptionValue(path, true));
    EXPECT_EQ(path, "/mnt/clone");
}

TEST_F(SettingsReaders, HomeDirectoriesAreEmptyWhenUnset) {
    std::string home = "stale";
    MSSQLAgentHomeDirectory reader;
    reader.getOptionValue(home, true);
    EXPECT_EQ(home, "");
    JXPlatformInfo().setString("MSSQLAgent", "dHOME", "/opt/agent");
    reader.getOptionValue(home, true);
    EXPECT_EQ(home, "/opt/agent");

    MediaAgentHomeDirectory mediaAgent("MediaAgent", "dHOME");
    mediaAgent.getOptionValue(home, true);
    EXPECT_EQ(home, "");
    JXPlatformInfo().setString("MediaAgent", "dHOME", "/opt/ma");
    mediaAgent.getOptionValue(home, true);
    EXPECT_EQ(home, "/opt/ma");
}

TEST_F(SettingsReaders, SnapMountDirectoryIsRegisteredForCleanUp) {
    std::string directory;
    SnapMountProdDirectory().getOptionValue(directory, true);
    EXPECT_EQ(directory, root.path() + "/ProductionDataMounts/SnapVolumeMounts");
    std::string library;
    JXPlatformInfo().getString("ProductionDataMounts/SnapVolumeMounts", "library", library);
    EXPECT_EQ(library, "libJXSnapHandler.so");
}

}  // namespace
