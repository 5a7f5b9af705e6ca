// The job journal: lines as the clients write them and as tests read them.
#include <gtest/gtest.h>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxJobClient/JXRstJobClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalEventSink.h"
#include "JxJobClient/JobJournalReader.h"
#include "tests/support/TestRoot.h"

namespace {

using jobmanager::JobJournalReader;
using jobmanager::JournalEntry;
using jobmanager::JournalLine;

class Journal : public jxtest::RootedTest {
protected:
    std::vector<JournalEntry> Read(uint64_t job) {
        auto entries = JobJournalReader::Read(job);
        EXPECT_TRUE(entries.has_value());
        return entries.value_or(std::vector<JournalEntry>{});
    }
};

TEST_F(Journal, TextsSurviveQuotesControlCharactersAndUtf8) {
    const std::string awkward = "a\"b\\c\nd\te\x01 \xc3\xa9";
    ASSERT_TRUE(JournalLine(7, "note").Text("text", awkward).Texts("list", {awkward, ""}).Number("n", -5).Append());
    auto entries = Read(7);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].job, 7u);
    EXPECT_EQ(entries[0].op, "note");
    EXPECT_EQ(entries[0].Get("text"), awkward);
    EXPECT_EQ(entries[0].List("list"), (std::vector<std::string>{awkward, ""}));
    EXPECT_EQ(entries[0].Get("n"), "-5");
}

TEST_F(Journal, ReaderRefusesWhatIsNotAJournalLine) {
    for (const char* line : {"", "{}", "{\"op\":\"x\"}", "{\"job\":1}", "{\"job\":1,\"op\":\"x\"", "{\"job\":x,\"op\":\"x\"}",
                             "{\"job\":1,\"op\":\"x\"} trailing", "{\"job\":1,\"op\":\"x\",\"a\":[1]}",
                             "{\"job\":1,\"op\":\"\\q\"}", "{\"job\":1,\"op\":\"\\u00e9\"}", "{\"job\":1,\"op\":\"x"}) {
        EXPECT_FALSE(JobJournalReader::ParseLine(line).has_value()) << line;
    }
    EXPECT_TRUE(JobJournalReader::ParseLine("{\"job\":1,\"op\":\"x\",\"a\":[],\"b\":true}").has_value());
    root.WriteFile("jobmanager/3/journal.jsonl", "{\"job\":3,\"op\":\"a\"}\nnot json\n");
    EXPECT_FALSE(JobJournalReader::Read(3).has_value());
    EXPECT_TRUE(JobJournalReader::Read(4)->empty());
}

TEST_F(Journal, PendingCauseCarriesItsArgumentsAndRaisesACriticalEvent) {
    JobJournalEventSink::InstallForProcess();
    JXBkpJobClient client(42);
    client << 1234UL << "node1";
    ASSERT_TRUE(client.setPendingCauseAndCriticalEvent(0x1E000132, 0, false, 300, false, 0, 0, 0, 0));
    auto entries = Read(42);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].op, "setPendingCause");
    EXPECT_EQ(entries[0].Get("cause"), "0x1e000132");
    EXPECT_EQ(entries[0].Get("event"), "critical");
    EXPECT_EQ(entries[0].List("args"), (std::vector<std::string>{"1234", "node1"}));
    EXPECT_EQ(entries[1].op, "event");
    EXPECT_EQ(entries[1].Get("level"), "critical");
    EXPECT_EQ(entries[1].Get("id"), "0x1e000132");
    EXPECT_EQ(entries[1].List("args"), entries[0].List("args"));
    // The arguments went with that event only.
    client.InfoEvent(0x1E000100);
    EXPECT_TRUE(Read(42).back().List("args").empty());
}

TEST_F(Journal, RestoreCountersProgressAndCompletionAreLines) {
    JXRstJobClient client(9);
    client.setNoDBsToRestore(3);
    client.setNumFailures2Add(1);
    client.markJobAlive();
    client.addJobProgress(50);
    client.setCurrentDatabase("db1");
    bool changed = true;
    client.updateInfo(false, &changed);
    EXPECT_FALSE(changed);
    client.complete(3, 1);
    auto entries = Read(9);
    std::vector<std::string> ops;
    for (const auto& e : entries) ops.push_back(e.op);
    EXPECT_EQ(ops, (std::vector<std::string>{"setNoDBsToRestore", "setNumFailures2Add", "markJobAlive",
                                             "addJobProgress", "setCurrentDatabase", "updateInfo", "complete"}));
    EXPECT_EQ(entries[0].Get("value"), "3");
    EXPECT_EQ(entries[4].Get("value"), "db1");
    EXPECT_EQ(entries[6].Get("status"), "3");
    EXPECT_EQ(entries[6].Get("statusFor"), "1");
}

TEST_F(Journal, RestartStringIsJournalled) {
    ASSERT_TRUE(JXJobClient::setRestartString(5, "-o 10"));
    EXPECT_EQ(JXJobClient(5).getRestartString(0), "-o 10");
    EXPECT_EQ(Read(5).at(0).op, "setRestartString");
}

}  // namespace
