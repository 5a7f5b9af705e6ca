// CSQLBackup::isReplicationEnabledAtSPLevel: whether the media manager
// replicates the snapshots of the job's application. The platform type
// picks the snapshot-engine kind to ask; only a replication of kind 1 counts.
#include "JXMMSnapAPI/JXMMSnapAPI.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPIPlatformBase.h"
#include "JxSQLCommon/backup/CSQLBackup.h"

namespace {

constexpr unsigned long kPlatformKind1 = 0x2;
constexpr unsigned long kPlatformKind2 = 0x4;
constexpr int kReplicatedKind = 1;

}  // namespace

bool CSQLBackup::isReplicationEnabledAtSPLevel(int, int appNumber) {
    const unsigned long platform = JXPI_Base::getPlatformType();
    const int kind = (platform & kPlatformKind1) != 0 ? 1 : (platform & kPlatformKind2) != 0 ? 2 : 4;
    JXMMSnapAPI api(kind);
    bool enabled = false;
    int replicationKind = kind;
    std::string error;
    if (int rc = api.isReplicationEnabled(static_cast<uint32_t>(appNumber), 0, enabled, replicationKind, error);
        rc != 0) {
        EvDebug("JxSQLCommon").Error("isReplicationEnabledAtSPLevel",
                                     "Failed to check replication for application [%d] with error [%d] [%s].",
                                     appNumber, rc, error.c_str());
        return false;
    }
    return enabled && replicationKind == kReplicatedKind;
}
