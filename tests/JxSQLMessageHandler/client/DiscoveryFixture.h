// Test fixture for the auto-discovery requests: the central-server host, a
// backup domain with client 2, instance 7 ("node1/INST", a database engine)
// and the discovering application (subclient 100 of backup set 50), the
// simulated instance with some databases, and a sink that keeps the job
// events raised.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxLib/EvEventSink.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace jxtest {

class RecordingEventSink : public EvEventSink {
public:
    void Record(const EvEventRecord& event) override { events.push_back(event); }
    std::vector<EvEventRecord> events;
};

class DiscoveryTest : public CentralServerTest {
protected:
    static constexpr unsigned long kApp = 100;
    static constexpr const char* kInstanceName = "node1/INST";

    void SetUp() override {
        CentralServerTest::SetUp();
        AppModel::Set("client/2", "name", "node1");
        AppModel::Set("instance/7", "name", kInstanceName);
        AppModel::Set("instance/7", "clientId", "2");
        AppModel::Set("instance/7", "serverType", "DataBase Engine");
        AddSubclient(kApp, "default", 0);
        SqlSimServerSpec server;
        server.name = kInstanceName;
        ASSERT_TRUE(instance.Create(server).IsSuccess());
        for (const char* name : {"sales", "hr", "stock"}) AddDatabase(name);
        EvEventSink::Install(&sink);
    }
    void TearDown() override {
        EvEventSink::Install(nullptr);
        CentralServerTest::TearDown();
    }

    void AddDatabase(const std::string& name, int64_t creationTime = 1600000000) {
        SqlSimDatabaseSpec desc;
        desc.name = name;
        desc.creationTime = creationTime;
        ASSERT_TRUE(instance.AddDatabase(desc).IsSuccess());
    }
    // A subclient of backup set 50 with its SQL type and databases.
    static void AddSubclient(unsigned long id, const std::string& name, int type,
                             const std::vector<std::string>& databases = {}) {
        const std::string object = "subclient/" + std::to_string(id);
        AppModel::Set(object, "name", name);
        AppModel::Set(object, "clientId", "2");
        AppModel::Set(object, "instanceId", "7");
        AppModel::Set(object, "backupSetId", "50");
        AppModel::Set(object, "sqlSubclientType", std::to_string(type));
        for (size_t i = 0; i < databases.size(); ++i) {
            AppModel::Set(object, "property118_" + std::to_string(i + 1), databases[i]);
        }
    }
    // How many events of `messageId` were raised, and the texts of the last one.
    int EventCount(uint32_t messageId, std::vector<std::string>* lastArguments = nullptr) const {
        int count = 0;
        for (const EvEventRecord& event : sink.events) {
            if (event.messageId != messageId) continue;
            ++count;
            if (lastArguments != nullptr) {
                lastArguments->clear();
                for (const auto& argument : event.arguments) lastArguments->push_back(argument.AsText());
            }
        }
        return count;
    }

    SqlSimInstance instance;
    RecordingEventSink sink;
};

}  // namespace jxtest
