// DumpXMLFile: the metadata file beside a transaction-log dump.
//
// A dump is a pair of files in one folder: <name>.bak and <name>.xml, the
// latter holding the backup metadata message of the dump, written by the
// dump library. This class finds, reads and checks that file and copies what
// a restore needs into a LogFileInfo.
#pragma once

#include <string>

#include "JxSQLCommon/state/LogFileInfo.h"
#include "WzUtils/CWzError.h"

class DumpXMLFile {
public:
    // A metadata file larger than this is refused rather than read.
    static constexpr size_t kMaxMetadataBytes = 16u << 20;

    DumpXMLFile() = default;
    virtual ~DumpXMLFile() = default;

    // `xml` = the backup path with its ".bak" (either case) replaced by ".xml".
    CWzError GetXMLFileFromBAKFile(const std::string& bak, std::string& xml) const;
    // Whether the metadata file of a backup path exists.
    bool DoesXMLFileExists(const std::string& bak) const;
    // The text of a metadata file (up to its first zero byte).
    CWzError ReadInXmlFileContents(const std::string& xml, std::string& contents) const;
    // Reads and checks a metadata file and fills `info` from it; the folder
    // and backup-file fields are left to the caller.
    CWzError GetSweepMetadataFromXML(const std::string& xml, LogFileInfo& info) const;
};
