// ApplicationId: one application (subclient) of a backup domain, and the
// subclient and instance objects it leads to. The objects it hands out are
// its own and live as long as it does.
#pragma once

#include <cstdint>
#include <memory>

#include "JXAppMgr/ApplicationTypeSharePointV2Doc.h"
#include "JXAppMgr/BackupSet.h"
#include "JXAppMgr/Instance.h"
#include "JXAppMgr/JXClient.h"
#include "JXAppMgr/Subclient.h"

class ApplicationId {
public:
    ApplicationId() = default;
    ApplicationId(uint64_t jxCellId, uint64_t appNumber);

    uint64_t getJxCellId() const { return m_jxCellId; }
    uint64_t getAppNumber() const { return m_appNumber; }

    // Null when the model has no such subclient.
    MsSqlSubclient* getSubclient();
    // The subclient's instance (its property "instanceId"); null when none.
    MsSqlInstance* getInstance();
    // The subclient's client (its property "clientId"); null when none.
    JXClient* getClient();
    // The subclient's application type (its remote SQL login).
    ApplicationTypeSharePointV2Doc* getApplicationType();
    // The subclient's backup set (its property "backupSetId"); null when none.
    BackupSet* getBackupSet();

private:
    uint64_t m_jxCellId = 0;
    uint64_t m_appNumber = 0;
    std::unique_ptr<MsSqlSubclient> m_subclient;
    std::unique_ptr<MsSqlInstance> m_instance;
    std::unique_ptr<JXClient> m_client;
    std::unique_ptr<ApplicationTypeSharePointV2Doc> m_applicationType;
    std::unique_ptr<BackupSet> m_backupSet;
};
