// The restore link: silent without a client, forwarding with one.
#include <gtest/gtest.h>

#include "JxJobClient/JobJournalEventSink.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "tests/support/TestRoot.h"

namespace {

using jobmanager::JobJournalReader;

class RestoreLink : public jxtest::RootedTest {};

TEST_F(RestoreLink, UnboundLinkAnswersFalseAndWritesNothing) {
    SqlRstJobClient link;
    EXPECT_EQ(link.Get(), nullptr);
    EXPECT_FALSE(link.complete(1, 1, 0));
    EXPECT_FALSE(link.markJobAlive());
    EXPECT_FALSE(link.setCurrentDatabase("db1"));
    EXPECT_FALSE(link.setPendingCauseAndCriticalEvent(kCauseRestoreFailed));
    EXPECT_FALSE(link.setPendingCauseAndEvent(kCauseRestoreFailed, kEventAttachFailed));
    EXPECT_EQ(link.setRCID(3), nullptr);
    JobManager::PreparedJobsFromForeignReq req;
    JobManager::PreparedJobsFromForeignResp resp;
    EXPECT_FALSE(link.getPreparedJobFromForeignJob(req, resp));
    link << "text" << uint64_t{5};
    link.setNumFailures2Add(1);
    link.setActiveFile("f");
    link.setToken("t");
    link.InfoEvent(kEventAttachFailed);
    EXPECT_TRUE(JobJournalReader::Read(0)->empty());
}

TEST_F(RestoreLink, BoundLinkForwardsToTheJobManager) {
    JobJournalEventSink::InstallForProcess();
    JXRstJobClient client(11);
    SqlRstJobClient link;
    ASSERT_TRUE(link.Set(&client).IsSuccess());
    EXPECT_EQ(link.Get(), &client);
    link << "db1" << nullptr << uint64_t{18446744073709551615u};
    EXPECT_TRUE(link.setPendingCauseAndCriticalEvent(kCauseLogTailNotBackedUp));
    EXPECT_TRUE(link.setNoDBsRestoredSoFar(2));
    EXPECT_EQ(link.setRCID(4), &client);
    EXPECT_TRUE(link.complete(1, 1, 0));
    auto entries = JobJournalReader::Read(11).value();
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[0].op, "setPendingCause");
    EXPECT_EQ(entries[0].Get("eventType"), "300");
    EXPECT_EQ(entries[0].List("args"), (std::vector<std::string>{"db1", "18446744073709551615"}));
    EXPECT_EQ(entries.back().op, "complete");

    // Unbinding makes the link silent again; the client is still its owner's.
    ASSERT_TRUE(link.Set(nullptr).IsSuccess());
    EXPECT_FALSE(link.markJobAlive());
    EXPECT_EQ(JobJournalReader::Read(11)->size(), entries.size());
}

TEST_F(RestoreLink, ClientsMadeByCreateBelongToTheLink) {
    // The sanitizer build reports a leak if a created client is not freed.
    SqlRstJobClient link;
    ASSERT_TRUE(link.Create().IsSuccess());
    JXRstJobClient* first = link.Get();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(link.Create().IsSuccess());
    EXPECT_NE(link.Get(), nullptr);
    JXRstJobClient owned(12);
    ASSERT_TRUE(link.Set(&owned).IsSuccess());
    EXPECT_EQ(link.Get(), &owned);
}

}  // namespace
