// JXArchive: archive files reserved for the volumes of a snapshot backup.
#include <cerrno>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxPipelineSetupUtility/JXArchive.h"

int JXArchive::CreateArchiveForSnapBackup(const CreateArgs_t& args) {
    if (m_jobId == 0) return EINVAL;
    if (DiskLibrary::IsOffline()) return EIO;
    DiskLibrary library;
    if (library.Open().IsError()) return EIO;
    MediaArchiveFile file;
    if (library.CreateArchiveFile(args.jxCellId, m_jobId, ++m_snapStream, file).IsError()) return EIO;
    m_id = file.id;
    m_open = true;
    return 0;
}

int JXArchive::closeAfile() {
    if (!m_open) return EBADF;
    m_open = false;
    return 0;
}
