// Attach requests as the database stand-in reads them, built for tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"

namespace dmotest {

// The request to attach, on `instance`, each (name, data file) of `databases`.
inline std::string AttachRequestXml(const std::string& instance,
                                    const std::vector<std::pair<std::string, std::string>>& databases) {
    SQLPmn::AttachDBMsg message;
    message.setstring(SQLPmn::AttachDBMsg::kInstanceName, instance);
    for (const auto& [name, file] : databases) {
        SQLPmn::AttachDB entry;
        entry.setstring(SQLPmn::AttachDB::kAttachName, name);
        entry.setliststring(SQLPmn::AttachDB::kFilePaths, std::vector<std::string>{file});
        message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
    }
    std::string xml;
    EXPECT_EQ(message.serialize(xml), kMsgOk);
    return xml;
}

}  // namespace dmotest
