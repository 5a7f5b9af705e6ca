// Clone jobs over a real snapshot: instance "node1/INST" (source, id 11)
// with sales, hr and crm, a full snapshot job 500 of sales and hr whose
// metadata is in the index, and a destination instance "node2/INST" (id 12).
// After the snapshot the live files of sales and hr change, so a clone that
// holds the snapshot's bytes is told from one that copied the live files.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/ApplProperties.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JobResults/IndexCacheClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLCommon/records/TMMsgMessages.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/restore/RestoreJobFixture.h"

// A restore job whose options name a source and a destination instance.
struct CloneRestoreJob : ScriptedRestoreJob {
    using CSQLRestoreBase::m_cloneEnvironment;
    using CSQLRestoreBase::m_jobResultsDirectory;
    using CSQLRestoreBase::m_snapCopyRestoreHandler;
    uint64_t sourceInstance = 11;
    uint64_t destinationInstance = 12;
    std::string destinationName = "node2/INST";

    bool getRestoreOptions() override {
        if (!ScriptedRestoreJob::getRestoreOptions()) return false;
        m_restoreOptions.sourceClientId = 5;
        m_restoreOptions.destinationClientId = 6;
        m_restoreOptions.sourceInstanceId = sourceInstance;
        m_restoreOptions.destinationInstanceId = destinationInstance;
        m_sServername = destinationName;
        return true;
    }
};

class CloneTest : public RestoreJobTest {
protected:
    static constexpr uint64_t kSnapJob = 500;

    void SetUp() override {
        RestoreJobTest::SetUp();
        SqlSimServerSpec server;
        server.name = "node2/INST";
        ASSERT_TRUE(destination.Create(server).IsSuccess());
        AppModel::Set("instance/11", "name", "node1/INST");
        AppModel::Set("instance/12", "name", "node2/INST");
        AppModel::Set("client/5", "hostName", "source.host");
        AppModel::Set("client/5", "name", "source");
        AppModel::Set("client/5", "useIndexingV2ForMSSQL", "0");
        AppModel::Set("client/6", "hostName", "destination.host");
        AppModel::Set("client/6", "name", "destination");
        AppModel::Set("client/9", "name", "ma1");
        AppModel::Set("client/9", "hostName", "ma1.host");
        JXPlatformInfo().setString("", "sPhysicalNodeName", "destination");
        // The destination instance's default backup set with its "Do Not
        // Backup" subclient.
        AppModel::Set("instance/12", "clientId", "6");
        AppModel::Set("backupset/50", "clientId", "6");
        AppModel::Set("backupset/50", "instanceId", "12");
        AppModel::Set("backupset/50", "isDefault", "1");
        AppModel::Set("subclient/9", "name", "Do Not Backup");
        AppModel::Set("subclient/9", "backupSetId", "50");
        AppModel::Set("subclient/9", "sqlSubclientType", "1");
        Snap(kSnapJob, {"sales", "hr"});
        for (const char* name : {"sales", "hr"}) {
            snapped[name] = Files("node1/INST", name);
            for (const std::string& file : snapped[name]) {
                snappedBytes[BaseName(file)] = jxtest::ReadWholeFile(file);
                Append(file, "changed after the snapshot");
            }
        }
        MakeCloneJob(kJob);
        clone.optionFlags = 0;
        clone.databases = {Named("sales", "sales_clone"), Named("hr", "hr_clone")};
        clone.chains["sales"] = SnapChain(kSnapJob);
        clone.chains["hr"] = SnapChain(kSnapJob);
    }

    // Registers the clone job the way the restore program does, for tests
    // that call its operations one by one.
    bool InitializeClone() {
        const char* args[] = {"jxsqlrestore", "-j", "42", "-token", "42:1:1", "-rt", "77"};
        RestoreOptionsParser cloneParser;
        EXPECT_TRUE(cloneParser.parse(7, args).IsSuccess());
        return clone.initializeRestore(cloneParser) && clone.getRestoreOptions();
    }

    static SqlRestoreDbInfo_t Named(const std::string& name, const std::string& newName) {
        SqlRestoreDbInfo_t db = Database(name);
        db.newDbName = newName;
        return db;
    }

    // A full snapshot of `databases` on node1, its metadata in the index
    // cache and its archive file on the disk library; `treeVolumes` are
    // volumes that lie above their files' folders.
    void Snap(uint64_t jobId, const std::vector<std::string>& databases,
              const std::vector<std::string>& treeVolumes = {}) {
        JXSnapClientAPI::SnapRequest request;
        request.treeVolumes = treeVolumes;
        request.jobId = jobId;
        request.instance = "node1/INST";
        request.databases = databases;
        request.metadataDirectory = root.File("backup/" + std::to_string(jobId));
        request.levelName = "Full";
        ASSERT_EQ(0, wz::MakeDirectoryTree(request.metadataDirectory));
        std::vector<std::string> volumes;
        std::string error;
        ASSERT_TRUE(JXSnapClientAPI::snapDatabases(request, volumes, error)) << error;
        const std::string base = request.metadataDirectory + "/" + std::to_string(jobId) + "_Full";
        ASSERT_EQ(0, IndexCacheClient::sendDirChange(2, 3, 1, "ma1", "", {base + "_WRT.xml", base + "_BCD.xml"},
                                                     false, jobId, '/', 1, 2));
        DiskLibrary library;
        ASSERT_FALSE(library.Open().IsError());
        MediaArchiveFile afile;
        ASSERT_FALSE(library.CreateArchiveFile(2, jobId, 1, afile).IsError());
    }

    // Makes job `jobId` a clone task whose mount path is the root's "clones".
    void MakeCloneJob(uint64_t jobId) {
        ASSERT_TRUE(EvTask::setOption(jobId, 656362099, "1"));
        SetMountPath(root.File("clones"), jobId);
    }

    void SetMountPath(const std::string& path, uint64_t jobId = kJob) {
        TMMsg::SqlServerRstOption option;
        option.setliststring(TMMsg::SqlServerRstOption::kCommonMountPaths, {path});
        std::string text;
        ASSERT_EQ(kMsgOk, option.serialize(text));
        ASSERT_TRUE(EvTask::setOption(jobId, 439957546, text));
    }

    // The chain of a database whose full backup was snapshot job `jobId`.
    static std::list<SqlAFilesPerBackup_t> SnapChain(uint64_t jobId) {
        SqlAFilesPerBackup_t full = Backup('D', jobId);
        full.backupMethod = 2;
        full.applicationId = 3;
        full.endTime = 1700000000;
        AFileInfo_t afile;
        afile.jxCellId = 2;
        full.archiveFiles.push_back(afile);
        return {full};
    }

    static std::vector<std::string> Files(const std::string& instanceName, const std::string& database) {
        CsqlDMO dmo;
        std::vector<std::string> files;
        std::string error;
        if (!dmo.getDatabaseFilePaths(instanceName, database, files, error)) return {};
        return files;
    }
    static void Append(const std::string& path, const std::string& text) {
        const std::string content = jxtest::ReadWholeFile(path) + text;
        ASSERT_TRUE(wz::WriteFileAtomically(path, content));
    }
    // The databases the "Do Not Backup" subclient lists.
    static std::list<std::string> DoNotBackup() {
        PropertiesList list;
        (void)ApplProperties(9).getProperties(list, nullptr);
        std::list<std::string> names;
        for (const auto& p : list.getList()) names.push_back(p->getValue());
        return names;
    }
    static std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }
    static bool Exists(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    SqlSimInstance destination;
    CloneRestoreJob clone;
    std::map<std::string, std::vector<std::string>> snapped;   // source files at the snapshot
    std::map<std::string, std::string> snappedBytes;   // file name -> bytes at the snapshot
};
