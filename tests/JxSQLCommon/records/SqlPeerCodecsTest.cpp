#include <gtest/gtest.h>

#include <string>

#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerCodecs.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSession/jxsFrame.h"
#include "tests/JxSQLCommon/records/RecordCodingTest.h"

namespace {

class SqlPeerCodecsTest : public jxtest::RecordCodingTest {
protected:
    void SetUp() override { SqlRegisterPeerRecords(); }
};

TEST_F(SqlPeerCodecsTest, ShareRequestKeepsItsEmptyLastEntryAfterDecoding) {
    std::string a = "/data/a", b = "/data/b";
    SqlCreateUncPath_t paths[3];
    paths[0].path = a.data();
    paths[1].path = b.data();
    SqlUncPathCreateReq_t request;
    request.instanceId = 1ull << 40;
    request.count = 2;
    request.paths = paths;
    std::string payload = Encode(kSqlCreateUncPathReq, request);

    SqlUncPathCreateReq_t decoded;
    ASSERT_TRUE(Decode(kSqlCreateUncPathReq, payload, decoded));
    EXPECT_EQ(decoded.instanceId, 1ull << 40);
    ASSERT_EQ(decoded.count, 2);
    EXPECT_STREQ(decoded.paths[1].path, "/data/b");
    EXPECT_EQ(decoded.paths[2].path, nullptr);
    Free(kSqlCreateUncPathReq, decoded);
    EXPECT_EQ(decoded.paths, nullptr);
    Free(kSqlCreateUncPathReq, decoded);  // a second release does nothing
}

TEST_F(SqlPeerCodecsTest, TruncatedOrOverlongInputIsRefused) {
    std::string src = "/src/f", dst = "/dst/f";
    SQLCopySingleRemoteFileReq_t files[2];
    for (auto& f : files) {
        f.sourcePath = src.data();
        f.destinationPath = dst.data();
        f.destinationClientId = 7;
    }
    SQLCopyMultipleRemoteFilesReq_t request;
    request.count = 2;
    request.files = files;
    std::string payload = Encode(kSqlCopyMultipleFilesReq, request);

    SQLCopyMultipleRemoteFilesReq_t decoded;
    for (size_t cut : {size_t{2}, size_t{4}, payload.size() / 2, payload.size() - 1}) {
        EXPECT_FALSE(Decode(kSqlCopyMultipleFilesReq, payload.substr(0, cut), decoded)) << cut;
        Free(kSqlCopyMultipleFilesReq, decoded);
    }
    // A count far above what the message holds is refused before allocating.
    std::string huge("\x7f\xff\xff\xff", 4);
    EXPECT_FALSE(Decode(kSqlCopyMultipleFilesReq, huge, decoded));
    Free(kSqlCopyMultipleFilesReq, decoded);
    SqlDeleteUNCPathReq_t deleteRequest;
    EXPECT_FALSE(Decode(kSqlDeleteUncPathReq, std::string("\xff\xff\xff\xff", 4), deleteRequest));
    Free(kSqlDeleteUncPathReq, deleteRequest);

    // A path longer than any the system accepts is refused.
    std::string longPath(8000, 'x');
    SQLGetFileSizeReqRsp_t size;
    size.filePath = longPath.data();
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&size, sizeof size);
    std::string out;
    EXPECT_TRUE(jxsEncodeRecord(kSqlFileSizeReq, buffer, out).IsError());
}

TEST_F(SqlPeerCodecsTest, FileStreamReplyRoundTrip) {
    std::string p = "/fs/a";
    SQLFileStreamInfo_t files[2];
    files[0].path = p.data();
    SQLGetFileStreamInfoRsp_t reply;
    reply.count = 2;
    reply.files = files;
    reply.error = 0;
    std::string payload = Encode(kSqlFileStreamInfoRsp, reply);
    SQLGetFileStreamInfoRsp_t decoded;
    ASSERT_TRUE(Decode(kSqlFileStreamInfoRsp, payload, decoded));
    ASSERT_EQ(decoded.count, 2u);
    EXPECT_STREQ(decoded.files[0].path, "/fs/a");
    EXPECT_STREQ(decoded.files[1].path, "");
    Free(kSqlFileStreamInfoRsp, decoded);
}

}  // namespace
