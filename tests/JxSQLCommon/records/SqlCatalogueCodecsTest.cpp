#include "JxSQLCommon/records/SqlCatalogueCodecs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"
#include "JxSQLCommon/records/SqlDatabaseListRecords.h"
#include "JxSQLCommon/records/SqlServerListRecords.h"
#include "JxSQLCommon/records/SqlStepRestoreRecords.h"
#include "JxSession/jxsFrame.h"
#include "tests/JxSQLCommon/records/RecordCodingTest.h"

namespace {

class SqlCatalogueCodecsTest : public jxtest::RecordCodingTest {
protected:
    void SetUp() override { SqlRegisterCatalogueRecords(); }
};

TEST_F(SqlCatalogueCodecsTest, NullTextsStayNullAndEmptyTextsStayEmpty) {
    std::string empty;
    SQLVerifyUserReq_t request;
    request.password = empty.data();  // user name and instance stay null
    std::string payload = Encode(0x1e00008f, request);
    SQLVerifyUserReq_t decoded;
    ASSERT_TRUE(Decode(0x1e00008f, payload, decoded));
    EXPECT_EQ(decoded.userName, nullptr);
    ASSERT_NE(decoded.password, nullptr);
    EXPECT_STREQ(decoded.password, "");
    EXPECT_EQ(decoded.instanceName, nullptr);
    Free(0x1e00008f, decoded);
    EXPECT_EQ(decoded.password, nullptr);
    Free(0x1e00008f, decoded);  // a second release does nothing

    SQLDatabaseStateRsp_t state;
    state.failed = 1;
    SQLDatabaseStateRsp_t stateBack;
    ASSERT_TRUE(Decode(0x1e000098, Encode(0x1e000098, state), stateBack));
    EXPECT_EQ(stateBack.failed, 1u);
    EXPECT_EQ(stateBack.stateText, nullptr);
    Free(0x1e000098, stateBack);
}

TEST_F(SqlCatalogueCodecsTest, NestedListsRoundTripIncludingEmptyOnes) {
    std::string name = "PRIMARY";
    std::string logical = "a'b]";
    std::string physical = "/root/a_b_.mdf";
    SqlFileItem_t files[2];
    files[0].value1 = 1;
    files[0].logicalName = logical.data();
    files[0].physicalName = physical.data();
    files[1].value3 = 1ull << 40;
    files[1].logicalName = logical.data();
    files[1].physicalName = physical.data();
    SqlFileGroupItem_t groups[2];
    groups[0].groupNumber = 1;
    groups[0].name = name.data();
    groups[0].fileCount = 2;
    groups[0].files = files;
    groups[1].name = name.data();  // no files
    SQLDatabaseFileGroupRsp_t reply;
    reply.count = 2;
    reply.groups = groups;
    SQLDatabaseFileGroupRsp_t back;
    ASSERT_TRUE(Decode(0x1e000094, Encode(0x1e000094, reply), back));
    ASSERT_EQ(back.count, 2u);
    ASSERT_EQ(back.groups[0].fileCount, 2u);
    EXPECT_STREQ(back.groups[0].files[0].logicalName, "a'b]");
    EXPECT_EQ(back.groups[0].files[1].value3, 1ull << 40);
    EXPECT_EQ(back.groups[1].fileCount, 0u);
    EXPECT_EQ(back.groups[1].files, nullptr);
    EXPECT_EQ(back.extra, nullptr);
    Free(0x1e000094, back);
    EXPECT_EQ(back.groups, nullptr);

    SQLDatabaseListRsp_11_t emptyList;
    emptyList.result = 1;
    SQLDatabaseListRsp_11_t emptyBack;
    ASSERT_TRUE(Decode(0x1e0000ec, Encode(0x1e0000ec, emptyList), emptyBack));
    EXPECT_EQ(emptyBack.count, 0u);
    EXPECT_EQ(emptyBack.databases, nullptr);
    EXPECT_EQ(emptyBack.result, 1u);
    Free(0x1e0000ec, emptyBack);
}

TEST_F(SqlCatalogueCodecsTest, TruncatedOrOversizedInputIsRefusedWithoutLeaks) {
    std::string instance = "h/i";
    SqlBackupsetEntry_t entries[3];
    for (SqlBackupsetEntry_t& e : entries) e.instanceName = instance.data();
    SqlBackupsetListReq_t request;
    request.count = 3;
    request.entries = entries;
    std::string payload = Encode(0x1e0000ab, request);
    for (size_t length = 0; length < payload.size(); ++length) {
        SqlBackupsetListReq_t back;
        EXPECT_FALSE(Decode(0x1e0000ab, payload.substr(0, length), back)) << length;
        Free(0x1e0000ab, back);
    }

    // A count far beyond what the input holds is refused before allocating.
    std::string huge("\xff\xff\xff\xff", 4);
    SqlBackupsetListReq_t back;
    EXPECT_FALSE(Decode(0x1e0000ab, huge, back));
    Free(0x1e0000ab, back);
    // So is a string length beyond the input.
    std::string longText("\x00\x00\x00\x00\x00\x00\x00\x00\x7f\xff\xff\xff", 12);
    SQLServerListReq_t server;
    EXPECT_FALSE(Decode(0x1e00008d, longText, server));
    Free(0x1e00008d, server);
}

TEST_F(SqlCatalogueCodecsTest, AlternativeCodesShareTheirRecords) {
    std::string client = "node1";
    SQLServerListReq_t request;
    request.clientName = client.data();
    EXPECT_EQ(Encode(0x1e00008d, request), Encode(0x1e0000b4, request));
    std::string xml = "<x/>";
    SQLXmlTextRecord_t document;
    document.xml = xml.data();
    for (unsigned long code : {0x1e0000dcul, 0x1e0000ddul, 0x1e0000e4ul, 0x1e0000e5ul}) {
        SQLXmlTextRecord_t back;
        ASSERT_TRUE(Decode(code, Encode(code, document), back));
        EXPECT_STREQ(back.xml, "<x/>");
        Free(code, back);
    }
}

}  // namespace
