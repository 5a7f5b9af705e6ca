// DataReaderWriter: one stream of the data pipeline and the archive file it
// writes (backup) or reads (restore).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "JxPipelineSetupUtility/ArchiveFileId.h"

class DataReaderWriter {
public:
    DataReaderWriter(int stream, const ArchiveFileId_t& archive, uint64_t offset, const std::string& path)
        : m_stream(stream), m_archive(archive), m_offset(offset), m_path(path) {}

    int getStream() const { return m_stream; }
    ArchiveFileId_t getArchiveFileId() const { return m_archive; }
    // Where this database's piece starts in the archive file.
    uint64_t getArchiveFileOffset() const { return m_offset; }
    uint64_t getBytesTransferred() const { return m_bytes.load(); }
    const std::string& getArchiveFilePath() const { return m_path; }

    void addBytesTransferred(uint64_t bytes) { m_bytes += bytes; }

private:
    int m_stream;
    ArchiveFileId_t m_archive;
    uint64_t m_offset;
    std::string m_path;
    std::atomic<uint64_t> m_bytes{0};
};
