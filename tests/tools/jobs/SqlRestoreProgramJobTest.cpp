// The restore program's job: after a job that moved the files of two
// databases, one restore map in the job-results directory holds both.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"
#include "tools/jobs/SqlRestoreProgramJob.h"

namespace {

class RestoreProgramJob : public RestoreEndToEnd {
protected:
    // Backs `database` up in full as job `jobId` and tells the central server.
    void TakeFull(const std::string& database, uint64_t jobId) {
        SqlDataTransferHandler handler(true, jobId, 7, 2, "cs", 1, 0);
        std::list<RestoreArchiveInfo> archives;
        vditest::Outcome o = vditest::Backup(handler, database, 'D', 1, &archives);
        ASSERT_TRUE(o.ok) << o.text;
        ASSERT_TRUE(handler.closePipeline(1, false));
        JxServeBackup b;
        b.instanceId = kInstanceId;
        b.database = database;
        b.jobId = jobId;
        b.applicationId = kSubclient;
        b.backupType = 'D';
        b.startTime = b.endTime = 1000 + jobId;
        b.backupSize = 4096;
        for (const RestoreArchiveInfo& a : archives) {
            b.archiveFiles.push_back({static_cast<uint32_t>(a.jxCellId), static_cast<uint32_t>(a.archiveFileId),
                                      a.offset, ""});
        }
        JxServePutBackup(b);
    }
    static std::string Entry(const std::string& db, const std::string& copy, const std::string& logical,
                             const std::string& oldPath, const std::string& newPath) {
        const char sep = '\x12';
        return db + sep + copy + sep + logical + sep + oldPath + sep + newPath;
    }
};

TEST_F(RestoreProgramJob, TwoRelocatedDatabasesShareOneMapWithQuotedPaths) {
    SqlSimDatabaseSpec hr;
    hr.name = "Hr";
    ASSERT_FALSE(sim.AddDatabase(hr).IsError());
    TakeFull("Sales", 100);
    TakeFull("Hr", 101);

    const std::string salesData = root.File("moved/sales,copy \"a\".mdf");
    const std::string salesData2 = root.File("moved/sales2.ndf");
    const std::string salesLog = root.File("moved/sales.ldf");
    const std::string hrData = root.File("moved/hr.mdf");
    const std::string hrLog = root.File("moved/hr.ldf");
    task.databases = {"Sales", "Hr"};
    task.relocations = {Entry("Sales", "SalesCopy", "Sales", "/old/s.mdf", salesData),
                        Entry("Sales", "SalesCopy", "Sales2", "/old/s2.ndf", salesData2),
                        Entry("Sales", "SalesCopy", "Sales_log", "/old/s.ldf", salesLog),
                        Entry("Hr", "HrCopy", "Hr", "/old/h,r.mdf", hrData),
                        Entry("Hr", "HrCopy", "Hr_log", "/old/h.ldf", hrLog)};
    SqlRestoreProgramJob job;
    int status = 0;
    ASSERT_TRUE(Run(job, 42, &status));
    ASSERT_EQ(status, 1);

    const std::string map = jxtest::ReadWholeFile(root.path() + "/jobresults/42/42_restore.txt");
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < map.size(); start = end + 1) {
        end = map.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "every line ends";
        lines.push_back(map.substr(start, end - start));
    }
    std::sort(lines.begin(), lines.end());
    const std::vector<std::string> expected = {
        "\"/old/h,r.mdf\",\"" + hrData + "\"",
        "\"/old/h.ldf\",\"" + hrLog + "\"",
        "\"/old/s.ldf\",\"" + salesLog + "\"",
        "\"/old/s.mdf\",\"" + root.path() + "/moved/sales,copy \"\"a\"\".mdf\"",
        "\"/old/s2.ndf\",\"" + salesData2 + "\"",
    };
    EXPECT_EQ(lines, expected);
}

}  // namespace
