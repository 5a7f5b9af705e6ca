// CSQLBase: instance version and cluster services, database ids, the VSS
// writer configuration and the index browse client.
#include "JxSQLCommon/jobbase/CSQLBase.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "JXAppMgr/ApplicationId.h"
#include "JXAppMgr/BackupSet.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxRegKey.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxsqlDMO/CsqlDMO.h"

namespace {

// A "VCluster" instance name takes part with this many characters only (the
// longest computer name of a cluster's virtual server).
constexpr size_t kVClusterNameLength = 15;
constexpr size_t kSettingBufferLength = 1024;

// The application type of this agent.
constexpr int64_t kAppType = 81;

// Reads one decimal piece of a version text; false when it is not a plain
// decimal number that fits 32 bits.
bool VersionPiece(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 10) return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX) return false;
    value = v;
    return true;
}

}  // namespace

CSQLBase::CSQLBase() = default;

CSQLBase::~CSQLBase() = default;

void CSQLBase::setIsInstanceClustered(std::string instance) {
    CsqlDMO dmo;
    const int major = dmo.getInstanceMajorVersion(instance);
    if (major == 0) {
        m_logger.Debug("setIsInstanceClustered", "Could not get current version for instance [%s].", instance.c_str());
        return;
    }
    const size_t slash = instance.find('/');
    const std::string instancePart = slash == std::string::npos ? std::string() : instance.substr(slash + 1);
    const std::string nameToTest = slash == std::string::npos ? "MSSQLSERVER" : instancePart;
    const std::string nameToCompare = slash == std::string::npos ? instance : instancePart;

    m_isClustered = dmo.isSqlInstanceClustered(nameToTest, m_clusterName, major);
    if (m_isClustered) return;

    std::string vcluster;
    if (JXPlatformInfo().getString("VCluster", "szSQLInstanceName", vcluster) == 0) return;
    vcluster.resize(std::min(vcluster.size(), kSettingBufferLength - 1));
    // The whole name must equal the setting's first 15 characters: a longer
    // instance name that merely starts with them is another instance.
    const std::string significant = vcluster.substr(0, kVClusterNameLength);
    if (!significant.empty() && strcasecmp(nameToCompare.c_str(), significant.c_str()) == 0) m_isClustered = true;
}

bool CSQLBase::isUpdateInstanceVersionNeeded() {
    CsqlDMO dmo;
    std::string version;
    if (!dmo.getInstanceVersion(m_sServername, version, m_jobClassText, m_sqlEdition)) {
        m_logger.Debug("isUpdateInstanceVersionNeeded", "Could not get current version for instance [%s].",
                       m_sServername.c_str());
        return false;
    }
    // major.minor.build[.revision], each a decimal number.
    std::vector<std::string> pieces;
    for (size_t start = 0;;) {
        size_t dot = version.find('.', start);
        pieces.push_back(version.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    int64_t major = 0, minor = 0, build = 0, revision = 0;
    if (pieces.size() < 3 || pieces.size() > 4 || !VersionPiece(pieces[0], major) || !VersionPiece(pieces[1], minor) ||
        !VersionPiece(pieces[2], build) || (pieces.size() == 4 && !VersionPiece(pieces[3], revision))) {
        EV_ERROR(m_logger, "Version [%s] of instance [%s] is not of the form major.minor.build.", version.c_str(),
                 m_sServername.c_str());
        return false;
    }
    const bool changed = version != m_sqlVersion;
    if (changed) m_sqlVersion = version;
    m_sqlMajorVersion = static_cast<uint64_t>(major);
    m_sqlMinorVersion = static_cast<int32_t>(minor);
    m_sqlBuildNumber = static_cast<int32_t>(build);
    return changed;
}

bool CSQLBase::getDatabaseId(std::string databaseName, uint64_t& id) {
    const size_t cut = databaseName.find('\x12');
    if (cut != std::string::npos) databaseName.resize(cut);
    CsqlDMO dmo;
    unsigned long found = 0;
    if (!dmo.getDatabaseId(m_sServername, databaseName, found)) return false;
    id = found;
    return true;
}

bool CSQLBase::initializeInstanceVersion() {
    m_preV8Instance = true;
    CsqlDMO dmo;
    dmo.setInstanceId(m_instanceId);
    m_sqlMajorVersion = static_cast<uint64_t>(dmo.getInstanceMajorVersion(m_sServername));
    if (m_sqlMajorVersion == 0) {
        m_logger.Debug("initializeInstanceVersion", "failed to get the sql instance version. Please check the sqlpmn logs");
        return false;
    }
    if (m_sqlMajorVersion > 7) m_preV8Instance = false;
    return true;
}

bool CSQLBase::isSystemDb(const std::string& databaseName) {
    uint64_t id = 0;
    if (!getDatabaseId(databaseName, id)) return false;
    return isSystemDb(id);
}

int CSQLBase::checkForWriterConfiguration() {
    int writer = VSS_WRITER_DEFAULT;
    JxRegKey key;
    if (key.open("ORVANE_REGISTRY_BASE", true) != JxRegKey::kOpenFailed) {
        std::string value;
        if (key.getValue("MSDEVersionChecking", value) && !value.empty()) writer = VSS_WRITER_MSDE;
    }
    m_logger.Debug("checkForWriterConfiguration", "VSS Writer configured = %ld", static_cast<long>(writer));
    return writer;
}

bool CSQLBase::initializeBrowseClient(uint64_t jxCellId, uint64_t appId, uint64_t listValue, uint64_t& rangeValueA,
                                      uint64_t& rangeValueB) {
    using databrowse::BrowseRequest;
    using JxEntities::GenericEntity;
    // The browse service reads the backup domain from the entity's first
    // field; the other fields follow the entity's own layout.
    constexpr CNFieldId kBrowseJxCellId{1, 1};

    BrowseRequest request;
    request.setint64(BrowseRequest::kOperation, 0);
    CNMessageBase requestKind(100, 5);
    requestKind.setint64(1, 1, 3);
    GenericEntity entity;
    entity.setint64(kBrowseJxCellId, static_cast<int64_t>(jxCellId));

    ApplicationId application(jxCellId, appId);
    JXClient* client = application.getClient();
    MsSqlInstance* instance = application.getInstance();
    if (client == nullptr || instance == nullptr) {
        EV_ERROR(m_logger, "Failed to get client or instance object from application manager.");
        return false;
    }
    uint64_t clientId = 0;
    int rc = client->getClientId(clientId);
    if (clientId == 0) {
        EV_ERROR(m_logger, "Failed to get client ID from application manager with error [%d].", rc);
        return false;
    }
    entity.setint64(GenericEntity::kClientId, static_cast<int64_t>(clientId));
    std::string clientName;
    client->getClientName(clientName);
    if (clientName.empty()) {
        EV_ERROR(m_logger, "Failed to get client name from application manager.");
        return false;
    }
    uint64_t backupSetId = 0;
    BackupSet(appId).getId(backupSetId);
    entity.setstring(GenericEntity::kClientName, clientName);
    entity.setint64(GenericEntity::kInstanceId, static_cast<int64_t>(instance->getId()));
    entity.setint64(GenericEntity::kApplicationType, kAppType);
    entity.setint64(GenericEntity::kBackupSetId, static_cast<int64_t>(backupSetId));
    entity.setint64(GenericEntity::kSubclientId, static_cast<int64_t>(appId));

    CNMessageBase timeRange(100, 64);
    timeRange.setint64(BrowseRequest::TimeRange::kFromTime, static_cast<int64_t>(rangeValueA));
    timeRange.setint64(BrowseRequest::TimeRange::kToTime, static_cast<int64_t>(rangeValueB));
    CNMessageBase mode(100, 4);
    mode.setint64(2, 2, 1);
    mode.setint64(11, 11, 1);
    mode.setint64(49, 49, 0);

    databrowse::Query query;
    query.setint64(databrowse::Query::kQueryType, 0);
    query.setObjectAccessor(databrowse::Query::kOptions, CNMessageBase(100, 71));
    databrowse::BrowsePath path;
    path.setstring(databrowse::BrowsePath::kPath, "/");
    CNMessageBase advanced(100, 63);
    advanced.setint64(BrowseRequest::Advanced::kCopyPrecedence, static_cast<int64_t>(listValue));

    request.setObjectAccessor(BrowseRequest::kRequestKind, requestKind);
    request.setObjectAccessor(BrowseRequest::kEntity, entity);
    request.setObjectAccessor(BrowseRequest::kTimeRange, timeRange);
    request.setObjectAccessor(BrowseRequest::kMode, mode);
    request.addlistobject(BrowseRequest::kQueries, query);
    request.addlistobject(BrowseRequest::kPaths, path);
    request.setObjectAccessor(BrowseRequest::kAdvanced, advanced);

    rc = m_browseClient.Initialize(request, nullptr, 2000, nullptr, nullptr);
    if (rc != 0) {
        EV_ERROR(m_logger, "IdxBrowseClient returned with error [%d]", rc);
        return false;
    }
    EV_DEBUG(m_logger, 1, "IdxBrowseClient init success. Code[%d].", rc);
    return true;
}
