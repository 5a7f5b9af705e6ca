#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "JxLib/EvEvent.h"
#include "JxLib/EvEventFileSink.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

namespace {

// Keeps the events raised while it is installed.
class KeepingSink : public EvEventSink {
public:
    KeepingSink() { Install(this); }
    ~KeepingSink() override { Install(nullptr); }
    void Record(const EvEventRecord& event) override { events.push_back(event); }
    std::vector<EvEventRecord> events;
};

}  // namespace

class EvEventTest : public RootedTest {};

TEST_F(EvEventTest, ArgumentsAreLittleEndianWithTheirTypeCodes) {
    EvEvent ev;
    ev << 0x01020304 << static_cast<long long>(-2) << 0x1122334455667788UL << "ab" << L"\u00e9";
    const std::vector<uint8_t> expected = {
        5,  0, 0, 0, 0x04, 0x03, 0x02, 0x01,                                  // int
        9,  0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,          // long long
        10, 0, 0, 0, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,          // unsigned long
        11, 0, 0, 0, 2,    0,    0,    0,    'a',  'b',                       // const char*
        12, 0, 0, 0, 1,    0,    0,    0,    0xE9, 0,    0,    0};            // const wchar_t*
    EXPECT_EQ(ev.pendingArguments().Bytes(), expected);
    EXPECT_EQ(ev.pendingArguments().Count(), 5u);
}

TEST_F(EvEventTest, RaisingHandsLevelIdJobAndArgumentsToTheSinkAndStartsAfresh) {
    KeepingSink sink;
    EvEvent ev;
    ev.setJobId(12345678901234ULL);
    ev << "N'tempdb'" << "inst1" << static_cast<const char*>(nullptr);
    ev.CriticalEvent(0x1e0000f7, 0, 0);
    ev << INT_MIN;
    ev.InfoEvent(0x48000036);
    ev.MinorEvent(1);
    ev.MajorEvent(2);
    ASSERT_EQ(sink.events.size(), 4u);
    const EvEventRecord& critical = sink.events[0];
    EXPECT_EQ(critical.level, EvEventLevel::Critical);
    EXPECT_EQ(critical.messageId, 0x1e0000f7u);
    EXPECT_EQ(critical.jobId, 12345678901234ULL);
    ASSERT_EQ(critical.arguments.size(), 3u);
    EXPECT_EQ(critical.arguments[0].AsText(), "N'tempdb'");
    EXPECT_EQ(critical.arguments[2].AsText(), "");
    ASSERT_EQ(sink.events[1].arguments.size(), 1u);
    EXPECT_EQ(sink.events[1].arguments[0].TypeCode(), 5);
    EXPECT_EQ(sink.events[1].arguments[0].AsText(), "-2147483648");
    EXPECT_EQ(sink.events[2].level, EvEventLevel::Minor);
    EXPECT_TRUE(sink.events[3].arguments.empty());
    EXPECT_TRUE(ev.pendingArguments().Empty());
}

TEST_F(EvEventTest, TheFileSinkWritesOneJsonLinePerEventAndLogsIt) {
    EvEvent ev;
    ev.setJobId(42);
    ev << "say \"hi\"" << L"\u20ac" << 7UL;
    ev.CriticalEvent(0x1e0000f7);
    ev.InfoEvent(0x1e000179);
    std::string text = jxtest::ReadWholeFile(EvEventFileSink::FilePath());
    ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    std::string first = text.substr(0, text.find('\n'));
    EXPECT_NE(first.find("\"job\":42,\"level\":\"critical\",\"id\":\"0x1e0000f7\""), std::string::npos);
    EXPECT_NE(first.find("{\"type\":11,\"value\":\"say \\\"hi\\\"\"}"), std::string::npos);
    EXPECT_NE(first.find("{\"type\":12,\"value\":\"\xE2\x82\xAC\"}"), std::string::npos);
    EXPECT_NE(first.find("{\"type\":10,\"value\":\"7\"}"), std::string::npos);
    EXPECT_NE(text.find("\"level\":\"info\",\"id\":\"0x1e000179\",\"args\":[]"), std::string::npos);
    std::string log = root.ReadFile("logs/" + EvDebug::ProgramName() + ".log");
    EXPECT_NE(log.find("Event 0x1e0000f7 (critical) raised with 3 argument(s): [say \"hi\"]"), std::string::npos);
}

TEST(EvEventArguments, DecodeRefusesTruncatedOrUnknownInput) {
    EvEventArguments args;
    args.Add("hello");
    args.Add(L"w");
    args.Add(3);
    std::vector<uint8_t> bytes = args.Bytes();
    ASSERT_TRUE(EvEventArguments::Decode(bytes).has_value());
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        std::vector<uint8_t> part(bytes.begin(), bytes.end() - static_cast<long>(cut));
        auto decoded = EvEventArguments::Decode(part);
        // A cut that falls between arguments decodes to fewer of them.
        if (decoded) {
            EXPECT_LT(decoded->size(), 3u);
        }
    }
    EXPECT_FALSE(EvEventArguments::Decode({7, 0, 0, 0, 1, 0, 0, 0}).has_value());
    // A huge wide-text count must not be believed.
    EXPECT_FALSE(EvEventArguments::Decode({12, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3, 4}).has_value());
    EXPECT_TRUE(EvEventArguments::Decode({})->empty());
}
