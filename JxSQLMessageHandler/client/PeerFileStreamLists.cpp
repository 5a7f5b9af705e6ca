// FILESTREAM file lists: the requesters that ask another client for the
// files under a folder that match a name pattern, the handler of the first
// form, and the folder walk behind both forms.
#include <memory>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/client/PeerPathCheck.h"
#include "JxSQLMessageHandler/client/PeerRecordFrames.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "Messages/XMLDecoder.h"
#include "WzUtils/CSimpleFolderIterator.h"

namespace {

constexpr unsigned long kGenericRespTag = 0x22f2be27;

}  // namespace

void CSQLClientDll::walkFolder(const std::string& folder, const std::string& pattern,
                               const std::function<void(const std::string&, uint64_t)>& found) {
    CSimpleFolderIterator iterator;
    // A folder that cannot be opened yields no items, which ends the walk here.
    iterator.Open(folder, std::make_shared<CSimpleFolderFilterByItemName>(pattern));
    CSimpleFolderItem item;
    while (iterator.GetNextItem(item).IsSuccess()) {
        if (item.IsFolder()) {
            walkFolder(item.GetFullPath(), pattern, found);
        } else {
            found(item.GetFullPath(), item.GetSize());
        }
    }
}

bool CSQLClientDll::GetAllFilesInFolder(std::string folder, std::string pattern, std::vector<std::string>& files) {
    walkFolder(folder, pattern, [&](const std::string& path, uint64_t) { files.push_back(path); });
    return true;
}

bool CSQLClientDll::GetAllFilesInFolder(const std::string& folder, const std::string& pattern,
                                        SQLPmn::SqlGetFileStreamInfoRsp& reply) {
    SQLPmn::SqlFileStreamInfo record;
    walkFolder(folder, pattern, [&](const std::string& path, uint64_t size) {
        record.setstring(SQLPmn::SqlFileStreamInfo::kPath, path);
        record.setint64(SQLPmn::SqlFileStreamInfo::kSize, static_cast<int64_t>(size));
        reply.addlistobject(SQLPmn::SqlGetFileStreamInfoRsp::kFiles, record);
    });
    return true;
}

bool CSQLClientDll::RetrieveFilestreamInfo(unsigned long clientId, std::string folder, std::string pattern,
                                           std::vector<std::string>& files, int& error) {
    try {
        EV_DEBUG(m_event, 3, "Request to get file stream info [%s] from client [%lu].", folder.c_str(), clientId);
        SQLGetFileStreamInfoReq_t request;
        request.folder = folder.data();
        request.pattern = pattern.data();
        return requestPeerRecord<SQLGetFileStreamInfoRsp_t>(
            clientId, request, kSqlFileStreamInfoReq, kSqlFileStreamInfoRsp, true,
            [&](const SQLGetFileStreamInfoRsp_t& reply) {
                if (reply.error != 0) {
                    error = static_cast<int>(reply.error);
                    return false;
                }
                for (uint32_t i = 0; i < reply.count && reply.files != nullptr; ++i) {
                    const char* path = reply.files[i].path;
                    if (path != nullptr && *path != '\0') files.emplace_back(path);
                }
                return true;
            });
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception caught in retrieve file stream info.");
        return false;
    }
}

bool CSQLClientDll::RetrieveFilestreamInfo() {
    std::vector<std::string> found;
    std::vector<SQLFileStreamInfo_t> entries;  // point into `found` until the reply is sent
    return servePeerRecord<SQLGetFileStreamInfoReq_t, SQLGetFileStreamInfoRsp_t>(
        kSqlFileStreamInfoRsp, "Unexpected exception happened while listing file stream files.",
        [&](const SQLGetFileStreamInfoReq_t& request, SQLGetFileStreamInfoRsp_t& reply) {
            std::string folder = TextOf(request.folder);
            std::string pattern = TextOf(request.pattern);
            std::string why, resolved;
            if (folder.empty() || pattern.empty()) {
                reply.error = 1;
                return false;
            }
            if (!SqlIsPeerPathAllowed(folder, SqlPeerPathUse::kReadFile, resolved, why)) {
                // Peers list only the folders they may reach.
                EV_ERROR(m_event, "%s", why.c_str());
                reply.error = 1;
                return false;
            }
            GetAllFilesInFolder(folder, pattern, found);
            entries.resize(found.size() + 1);
            for (size_t i = 0; i < found.size(); ++i) entries[i].path = found[i].data();
            reply.count = static_cast<uint32_t>(entries.size());
            reply.files = entries.data();
            return true;
        });
}

bool CSQLClientDll::RetrieveFileStreamInfo_V2(unsigned long clientId, const std::string& folder,
                                              const std::string& pattern, SQLPmn::SqlGetFileStreamInfoRsp& reply) {
    try {
        EV_DEBUG(m_event, 3, "Request to get file stream info [%s] from client [%lu].", folder.c_str(), clientId);
        SQLPmn::SqlGetFileStreamInfoReq message;
        message.setstring(SQLPmn::SqlGetFileStreamInfoReq::kFolder, folder);
        message.setstring(SQLPmn::SqlGetFileStreamInfoReq::kPattern, pattern);
        std::string xml;
        if (int rc = message.serialize(xml); rc != 0) {
            EV_ERROR(m_event, "Failed to serialize request to fetch file stream info with error [%d].", rc);
            return false;
        }
        if (xml.empty()) {
            EV_ERROR(m_event, "Empty xml request to fetch file stream info.");
            return false;
        }
        EV_DEBUG(m_event, 3, "Xml request to fetch file stream info [%s]", xml.c_str());
        SQLGetFileStreamInfoV2Req_t request;
        request.xml = xml.data();
        return requestPeerRecord<SQLGetFileStreamInfoV2Rsp_t>(
            clientId, request, kSqlFileStreamInfoV2Req, kSqlFileStreamInfoV2Rsp, true,
            [&](const SQLGetFileStreamInfoV2Rsp_t& response) {
                std::string text = TextOf(response.xml);
                XMLDecoder decoder;
                if (int rc = decoder.initialize(); rc != 0) {
                    EV_ERROR(m_event, "Failed to initialize XML decoder object with error [%d].", rc);
                    return false;
                }
                const CNMessageBase* decoded = decoder.unSerialize(text);
                if (decoded == nullptr) {
                    EV_ERROR(m_event, "Failed to unserialize using XML decoder object. Xml [%s]", text.c_str());
                    return false;
                }
                if (decoded->getTagID() == kGenericRespTag) {
                    SQLPmn::GenericResp failure;
                    if (int rc = failure.unserialize(text); rc != 0) {
                        EV_ERROR(m_event, "Failed to unserialize generic response xml [%s] with error [%d].",
                                 text.c_str(), rc);
                    } else {
                        EV_ERROR(m_event,
                                 "Failed to get file stream info for path [%s] and pattern [%s] with error [%s].",
                                 folder.c_str(), pattern.c_str(),
                                 failure.getstring(SQLPmn::GenericResp::kErrorText).c_str());
                    }
                    return false;
                }
                if (int rc = reply.unserialize(text); rc != 0) {
                    EV_ERROR(m_event, "Failed to unserialize response xml [%s] with error [%d].", text.c_str(), rc);
                    return false;
                }
                return true;
            });
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception caught in retrieve file stream info.");
        return false;
    }
}
