// CSQLBackup: steps shared by the generators that write an explicit list of
// databases (plug-in, on-demand and availability-group lists): the
// SharePoint skip set, the report of a SharePoint-protected database and the
// final check that the collect file holds something.
#include <set>
#include <string>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"

namespace {

constexpr int kCauseCollectFileEmpty = 0x1E00015D;
constexpr int kEventOnDemandCollectEmpty = 0x1E00018B;

}  // namespace

void CSQLBackup::LoadSharePointSkipSet(std::set<std::string>& databases, const char* failureWarning) {
    if (!isSkipSharepointContentDB()) return;
    CSQLClientDll requester;
    if (!requester.lookupSpContentDBbyClientId(static_cast<unsigned long>(m_jxCellId), m_sServername,
                                               static_cast<unsigned long>(m_clientId), databases)) {
        EV_WARN(m_logger, "%s", failureWarning);
    }
}

void CSQLBackup::SkipSharePointDatabase(CsqlDMO& sql, const std::string& name) {
    EV_DEBUG(m_logger, 1, "Database [%s] is already being protected from SPPmn, Skipping from SQL backup.",
             name.c_str());
    if (m_pBkpJobClnt != nullptr) {
        (void)m_pBkpJobClnt->setSkippedItemsToAdd(1);
        (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    }
    int version = 0;
    if (!sql.isSharepointContentDB(name, version)) EV_WARN(m_logger, "Failed to get SP version for DB [%s].", name.c_str());
    const std::string text = "Database [" + name + "] is already being protected from SPPmn.";
    (void)UpdateStatusTabSkippedDBInfo(name.c_str(), text.c_str(), version);
}

bool CSQLBackup::CloseListedCollectFile(JXFile& collectFile, const std::string& path, bool failEmptyCollect) {
    if (collectFile.close() != 0) {
        EV_ERROR(m_logger, "Failed to flush the collect file [%s] ErrorCode[%d].", path.c_str(),
                 collectFile.getLastError());
        return false;
    }
    long long size = 0;
    const int rc = JXFile::getFileSize(path.c_str(), &size);
    if (rc == 0 && size != 0) return true;
    EV_ERROR(m_logger, "The Collect file content is empty[%d]. There are no databases to be backed up.", rc);
    if (failEmptyCollect) {
        RaisePendingCause(kCauseCollectFileEmpty);
        if (!m_isSnapBackup) m_errorControl.setEmptyCollectFilaure();
    } else if (m_pJobClnt != nullptr) {
        *m_pJobClnt << path.c_str();
        (void)m_pJobClnt->setPendingCauseAndEvent(0, kEventOnDemandCollectEmpty, 0, false, 300, false, 0, 0, 0, 0);
    }
    return false;
}
