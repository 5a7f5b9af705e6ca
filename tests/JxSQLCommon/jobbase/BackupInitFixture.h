// A backup job whose subclient, instance, settings and SQL Server service
// are all in order, for the initialisation tests to break one at a time.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "tests/JxSQLCommon/jobbase/TestJob.h"
#include "tests/support/TestRoot.h"

class BackupInit : public ::testing::Test {
protected:
    static constexpr uint64_t kJob = 42;

    void SetUp() override { Reset(); }

    // A fresh root with the whole set-up, and a fresh job.
    void Reset() {
        job_.reset();
        root_.reset();
        root_ = std::make_unique<jxtest::TestRoot>();
        job_ = std::make_unique<TestJob>();
        parser = BackupOptionsParser();
        AppModel::Set("subclient/1234", "instanceId", "7");
        AppModel::Set("instance/7", "name", "node1/INST");
        AppModel::Set("instance/7", "serverType", "DataBase Engine");
        AppModel::Set("instance/7", "sqlVersion", "15.0.2000.5");
        JXPlatformInfo().setString("Base", "sJxServerHostName", "cs1");
        FakeSystemctl("Active: active (running)", 0);
    }

    void RemoveInstanceKey(const std::string& key) {
        std::string model = root_->ReadFile("appmgr/model.ini");
        size_t at = model.find(key + "=");
        ASSERT_NE(at, std::string::npos);
        model.erase(at, model.find('\n', at) - at + 1);
        root_->WriteFile("appmgr/model.ini", model);
    }

    // Points "systemctl" at a script that prints `output` and exits with `status`.
    void FakeSystemctl(const std::string& output, int status) {
        root_->WriteFile("bin/systemctl", "#!/bin/sh\necho '" + output + "'\nexit " + std::to_string(status) + "\n");
        std::string path = root_->File("bin/systemctl");
        ::chmod(path.c_str(), 0755);
        ASSERT_TRUE(JxProcess::SetProgramPath("systemctl", path));
    }

    bool InitializeWithToken(bool& registered, const char* token, std::vector<const char*> extra = {}) {
        std::vector<const char*> args = {"jxsqlbackup", "-j", "42", "-token", token, "-cell", "2", "-a", "1234"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_TRUE(parser.parse(static_cast<int>(args.size()), args.data()).IsSuccess());
        return job_->initializeBackup(parser, registered);
    }
    bool Initialize(bool& registered, std::vector<const char*> extra = {}) {
        return InitializeWithToken(registered, "42:1:2", extra);
    }

    std::vector<jobmanager::JournalEntry> Journal() {
        return jobmanager::JobJournalReader::Read(kJob).value_or(std::vector<jobmanager::JournalEntry>{});
    }
    std::vector<jobmanager::JournalEntry> CauseEntries() {
        return jobmanager::JobJournalReader::WithOp(Journal(), "setPendingCause");
    }
    std::vector<std::string> Causes() {
        std::vector<std::string> causes;
        for (const auto& e : CauseEntries()) causes.push_back(e.Get("cause"));
        return causes;
    }

    TestJob& Job() { return *job_; }
    jxtest::TestRoot& Root() { return *root_; }

    std::unique_ptr<jxtest::TestRoot> root_;
    std::unique_ptr<TestJob> job_;
    BackupOptionsParser parser;
};
