// The streams of a restore pipeline.
#include "JxPipelineSetupUtility/RestorePipelineSetup.h"

RestorePipelineSetup::RestorePipelineSetup(const RestorePipelineSetup& other) {
    std::lock_guard<std::mutex> lock(other.m_mutex);
    m_streams = other.m_streams;
}

RestorePipelineSetup& RestorePipelineSetup::operator=(const RestorePipelineSetup& other) {
    if (this == &other) return *this;
    std::map<int, PipelineInfo> copy = other.getStreamPipeinfoMap();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams = std::move(copy);
    return *this;
}

CWzError RestorePipelineSetup::Setup(const std::list<RestoreArchiveInfo>& archives) {
    std::map<int, PipelineInfo> streams;
    int n = 0;
    for (const RestoreArchiveInfo& a : archives) {
        PipelineInfo info;
        info.streamNumber = static_cast<uint32_t>(++n);
        info.offset = a.ignoreOffset ? 0 : a.offset;
        ArchiveFileId_t id;
        id.jxCellId = static_cast<uint32_t>(a.jxCellId);
        id.archiveFileId = static_cast<uint32_t>(a.archiveFileId);
        info.pArchive = std::make_shared<JXArchive>(id);
        streams[n] = info;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams = std::move(streams);
    return CWzError::Success();
}

void RestorePipelineSetup::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams.clear();
}

std::map<int, PipelineInfo> RestorePipelineSetup::getStreamPipeinfoMap() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_streams;
}

void RestorePipelineSetup::setStreamBytes(int stream, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_streams.find(stream);
    if (it != m_streams.end()) it->second.bytes = bytes;
}
