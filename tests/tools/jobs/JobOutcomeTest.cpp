// Reading a job's end from its journal, and the line a job program ends with.
#include <gtest/gtest.h>

#include "tests/support/TestRoot.h"
#include "tools/jobs/JobOutcome.h"

namespace {

class JobOutcomeTest : public jxtest::RootedTest {
protected:
    void Journal(const std::string& lines) { root.WriteFile("jobmanager/9/journal.jsonl", lines); }
};

TEST_F(JobOutcomeTest, LineNamesStatusCauseAndTextsOfTheLastAttemptOnly) {
    EXPECT_EQ(UnfinishedJobLine(9, ReadJobOutcome(9), "could not start"), "job 9 could not start")
        << "no journal: nothing was reported";

    // The first attempt completed; the second registered and failed with a
    // cause of two texts, one of them on two lines.
    Journal(
        "{\"job\":9,\"op\":\"registerJob\",\"ok\":true}\n"
        "{\"job\":9,\"op\":\"setPendingCause\",\"cause\":\"0x1e000001\",\"args\":[\"old\"]}\n"
        "{\"job\":9,\"op\":\"complete\",\"status\":1,\"statusFor\":1,\"cause\":\"0x00000000\"}\n"
        "{\"job\":9,\"op\":\"registerJob\",\"ok\":true}\n"
        "{\"job\":9,\"op\":\"setPendingCause\",\"cause\":\"0x1e00015d\",\"args\":[\"Sales\",\"gone\\nfor good\"]}\n");
    JobOutcome outcome = ReadJobOutcome(9);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(UnfinishedJobLine(9, outcome, "could not start"),
              "job 9 could not start, cause 0x1e00015d: Sales; gone for good");

    Journal(
        "{\"job\":9,\"op\":\"registerJob\",\"ok\":true}\n"
        "{\"job\":9,\"op\":\"complete\",\"status\":3,\"statusFor\":1,\"cause\":\"0x00000000\"}\n");
    EXPECT_EQ(UnfinishedJobLine(9, ReadJobOutcome(9), "-"), "job 9 completed with errors (status 3)");

    Journal(
        "{\"job\":9,\"op\":\"registerJob\",\"ok\":true}\n"
        "{\"job\":9,\"op\":\"setPendingCause\",\"cause\":\"0x1e000001\",\"args\":[\"warning\"]}\n"
        "{\"job\":9,\"op\":\"complete\",\"status\":1,\"statusFor\":1,\"cause\":\"0x00000000\"}\n");
    EXPECT_EQ(UnfinishedJobLine(9, ReadJobOutcome(9), "-"), "") << "a completed job has no such line";
}

}  // namespace
