// The indexed restore session's records as they come from the media agent:
// they survive the wire whole, and damaged or oversized ones are refused
// before anything is allocated for them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxSession/jxsFrame.h"
#include "JxSnapRestoreHandler/FSRMessages.h"

namespace {

class FSRMessagesTest : public ::testing::Test {
protected:
    void SetUp() override { FSRRegisterRecordCodecs(); }

    template <typename Record>
    std::string Encode(unsigned long code, Record& record) {
        jxsDatabuf_v2 out;
        out.setExternalBuffer(&record, sizeof record);
        std::string payload;
        EXPECT_TRUE(jxsEncodeRecord(code, out, payload).IsSuccess());
        return payload;
    }

    CWzError Decode(unsigned long code, const std::string& payload) {
        jxsDatabuf_v2 in = received.lend();
        return jxsDecodeRecord(code, payload, in);
    }

    void TearDown() override {
        jxsDatabuf_v2 in = received.lend();
        EXPECT_TRUE(jxsFreeRecord(lastCode, in).IsSuccess());
    }

    FSRReceiveBuffer received;
    unsigned long lastCode = FSR_MSG_RESTORE_ITEM_ARRAY;
};

TEST_F(FSRMessagesTest, ItemArrayKeepsItsCountAndItems) {
    std::vector<std::string> paths = {"/db/a.mdf", "/db/b.ldf"};
    std::vector<FSRRestoreItem> items(2);
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].path = paths[i].data();
        items[i].sizeHigh = 1;
        items[i].error = static_cast<int32_t>(i);
    }
    FSRRestoreItemArray array;
    array.count = 7;  // what the sender claims travels as it is
    array.itemCount = 2;
    array.items = items.data();
    ASSERT_TRUE(Decode(FSR_MSG_RESTORE_ITEM_ARRAY, Encode(FSR_MSG_RESTORE_ITEM_ARRAY, array)).IsSuccess());
    const auto& got = received.as<FSRRestoreItemArray>();
    EXPECT_EQ(got.count, 7u);
    ASSERT_EQ(got.itemCount, 2u);
    EXPECT_STREQ(got.items[1].path, "/db/b.ldf");
    EXPECT_EQ(got.items[1].sizeHigh, 1u);
    EXPECT_EQ(got.items[1].error, 1);
}

TEST_F(FSRMessagesTest, DamagedRecordsAreRefused) {
    std::string path = "/db/a.mdf";
    FSRRestoreItem item;
    item.path = path.data();
    const std::string whole = Encode(FSR_MSG_RESTORE_ITEM, item);
    lastCode = FSR_MSG_RESTORE_ITEM;
    EXPECT_TRUE(Decode(FSR_MSG_RESTORE_ITEM, whole.substr(0, whole.size() - 4)).IsError()) << "truncated";
    EXPECT_TRUE(Decode(FSR_MSG_RESTORE_ITEM, whole + std::string(4, '\0')).IsError()) << "trailing bytes";

    const auto U32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    // A path over the bound (the sender's encoder refuses it too).
    const uint32_t tooLong = kFsrMaxPathLength + 4;
    EXPECT_TRUE(Decode(FSR_MSG_RESTORE_ITEM, U32(1) + U32(tooLong) + std::string(tooLong, 'p') + std::string(32, '\0'))
                    .IsError());

    // An array announcing more elements than allowed, or than its bytes hold.
    lastCode = FSR_MSG_RESTORE_ITEM_ARRAY;
    EXPECT_TRUE(Decode(FSR_MSG_RESTORE_ITEM_ARRAY, U32(1) + U32(kFsrMaxItemsPerArray + 1)).IsError());
    EXPECT_TRUE(Decode(FSR_MSG_RESTORE_ITEM_ARRAY, U32(3) + U32(3) + std::string(8, '\0')).IsError());
}

TEST_F(FSRMessagesTest, CodesHaveTheirProtocolNames) {
    EXPECT_EQ(FSRMessageName(FSR_MSG_STOP), "FSR_MSG_STOP");
    EXPECT_EQ(FSRMessageName(0x9000102), "JXS_PM_DISCONNECT_REQ");
    EXPECT_EQ(FSRMessageName(0x18000099), "0x18000099");
}

}  // namespace
