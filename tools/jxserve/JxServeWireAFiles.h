// Archive-file entries of the stand-in's replies, made from its stored
// backups.
#pragma once

#include <deque>
#include <vector>

#include "JxSQLCommon/records/SqlArchiveFileRecords.h"
#include "tools/jxserve/JxServeRestoreStore.h"

struct JxServeRequest;

// Answers a chain request (reply kSqlAFilesRsp) with `backups` in the order
// given and the chain status; false when the reply could not be sent.
bool JxServeReplyChain(JxServeRequest& request, std::vector<JxServeBackup>& backups, uint64_t chainStatus);

// Keeps the entry lists of one reply; the entries point into the archive
// files they were made from, which must outlive the reply.
class JxServeWireAFiles {
public:
    // The entries of `files` (null when there are none).
    SQLAFileEntry_t* Of(std::vector<JxServeArchiveFile>& files) {
        std::vector<SQLAFileEntry_t>& list = m_lists.emplace_back();
        for (JxServeArchiveFile& f : files) {
            SQLAFileEntry_t e;
            e.jxCellId = static_cast<int32_t>(f.jxCellId);
            e.archiveFileId = static_cast<int32_t>(f.archiveFileId);
            e.offset = f.offset;
            e.path = f.path.data();
            list.push_back(e);
        }
        return list.empty() ? nullptr : list.data();
    }

private:
    std::deque<std::vector<SQLAFileEntry_t>> m_lists;
};
