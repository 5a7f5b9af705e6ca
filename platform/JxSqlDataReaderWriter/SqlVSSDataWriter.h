// SqlVSSDataWriter: one stream of a file-by-file (VSS-style) backup. It
// writes whole files one after another into its archive file and keeps,
// for each file, the offset at which that file's data begins there.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "JxSqlDataReaderWriter/DataReaderWriter.h"

class SqlVSSDataWriter : public DataReaderWriter {
public:
    using DataReaderWriter::DataReaderWriter;

    // Records that the data of `file` begins at `offset` of the archive file.
    void addFileOffset(const std::string& file, uint64_t offset) { m_offsets[file] = offset; }
    // File path to the offset of its data, in path order.
    const std::map<std::string, uint64_t>& getoffSetFileMap() const { return m_offsets; }

private:
    std::map<std::string, uint64_t> m_offsets;
};
