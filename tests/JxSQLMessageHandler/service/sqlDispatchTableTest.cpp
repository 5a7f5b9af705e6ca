// The dispatch table: one row per request code, every code inside the range
// the request loop hands to the table, and every record-carrying request
// decodable before its handler runs.
#include <gtest/gtest.h>

#include <set>

#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/sqlDispatchTable.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/jxsCodecRegistry.h"

namespace {

TEST(sqlDispatchTable, EachRequestCodeHasOneRowInsideTheServedRange) {
    std::set<unsigned long> seen;
    for (const SqlDispatchRow& row : SqlDispatchRows()) {
        EXPECT_TRUE(seen.insert(row.requestCode).second) << std::hex << row.requestCode;
        EXPECT_GE(row.requestCode, kSqlFirstRequestCode) << std::hex << row.requestCode;
        EXPECT_LE(row.requestCode, kSqlLastRequestCode) << std::hex << row.requestCode;
        EXPECT_EQ(SqlFindRequestWrapper(row.requestCode), row.wrapper);
        // Only the first XML request is answered under its own code.
        if (row.requestCode != kSqlXmlReq) {
            EXPECT_NE(row.replyCode, row.requestCode) << std::hex << row.requestCode;
        }
    }
}

TEST(sqlDispatchTable, EveryRequestButTheEmptyInventoryRequestHasACodec) {
    SqlRegisterRecordCodecs();
    for (const SqlDispatchRow& row : SqlDispatchRows()) {
        jxsRecordCodec codec;
        EXPECT_EQ(jxsFindRecordCodec(row.requestCode, codec), row.requestCode != kSqlAzureInventoryReq)
            << std::hex << row.requestCode;
    }
}

}  // namespace
