// DumpXMLFile: locating, reading and checking dump metadata files.
#include "JxSQLCommon/state/DumpXMLFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/DumpLayoutConstants.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_INVALID_METADATA = 1465;

bool IsFile(const std::string& path) {
    struct stat info {};
    return wz::Fs().Stat(path, &info) == 0;
}

}  // namespace

CWzError DumpXMLFile::GetXMLFileFromBAKFile(const std::string& bak, std::string& xml) const {
    if (bak.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "strBakFile is empty");
    xml = bak;
    std::string stem = bak;
    if (!FXString::RemoveRightNoCase(stem, sqlosc::BAK_EXT)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "strBakFile does not have proper ext");
    }
    xml = stem + sqlosc::XML_EXT;
    return CWzError::Success();
}

bool DumpXMLFile::DoesXMLFileExists(const std::string& bak) const {
    if (bak.empty()) return false;
    std::string stem = bak;
    FXString::RemoveRightNoCase(stem, sqlosc::BAK_EXT);
    return IsFile(stem + sqlosc::XML_EXT);
}

CWzError DumpXMLFile::ReadInXmlFileContents(const std::string& xml, std::string& contents) const {
    if (xml.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "strXmlFile is empty");
    wz::FileSystem& fs = wz::Fs();
    struct stat info {};
    if (fs.Stat(xml, &info) != 0) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_FILE_NOT_FOUND, "XML file %s not found", xml.c_str());
    }
    if (info.st_size == 0) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "File size is 0 %s", xml.c_str());
    if (static_cast<uint64_t>(info.st_size) > kMaxMetadataBytes) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "File %s is too large (%lld bytes)", xml.c_str(),
                                         static_cast<long long>(info.st_size));
    }
    const int fd = fs.Open(xml, O_RDONLY);
    if (fd < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "CreateFileW failed");

    // The size was taken before the open: a file that grew meanwhile is read
    // only up to that size, one that shrank up to its end.
    std::vector<char> buffer(static_cast<size_t>(info.st_size));
    size_t total = 0;
    while (total < buffer.size()) {
        ssize_t n = fs.Read(fd, buffer.data() + total, buffer.size() - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            (void)fs.Close(fd);  // the read error is the one to report
            return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "ReadFile failed for %s", xml.c_str());
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    (void)fs.Close(fd);  // read-only: everything wanted has been read
    const void* zero = std::memchr(buffer.data(), '\0', total);
    contents.assign(buffer.data(), zero ? static_cast<const char*>(zero) - buffer.data() : total);
    return CWzError::Success();
}

CWzError DumpXMLFile::GetSweepMetadataFromXML(const std::string& xml, LogFileInfo& info) const {
    if (xml.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "strXmlFile is empty");
    if (!IsFile(xml)) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_FILE_NOT_FOUND, "XML file %s not found", xml.c_str());
    }
    std::string text;
    CWzError error = ReadInXmlFileContents(xml, text);
    if (error.IsError()) return error.Push(FXCODELOC, "Unable to read xml from FileName=%s", xml.c_str());

    SQLPmn::SQLDBBackupMetadata metadata;
    std::vector<SQLPmn::SQLDBBackupInfo> backups;
    if (metadata.unserialize(text) != kMsgOk ||
        !metadata.getlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, backups)) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_METADATA, "sqlBkpMetaData.unserialize failed");
    }
    // A metadata file without any backup record lacks every required field.
    const SQLPmn::SQLDBBackupInfo backup = backups.empty() ? SQLPmn::SQLDBBackupInfo() : backups.front();
    using Info = SQLPmn::SQLDBBackupInfo;
    const struct {
        bool present;
        const char* message;
    } required[] = {
        {!backup.getstring(Info::kDatabaseName).empty(), "getDatabaseName not set in %s"},
        {backup.isSet(Info::kDatabaseId), "isdatabaseIdSet not set in %s"},
        {!backup.getstring(Info::kLastLsn).empty(), "getLast_lsn not set in %s"},
        {!backup.getstring(Info::kFirstLsn).empty(), "getFirst_lsn not set in %s"},
        {!backup.getstring(Info::kCheckpointLsn).empty(), "getCheckpoint_lsn not set in %s"},
        {backup.isSet(Info::kBackupFinishDate), "isbackup_finish_DateSet not set in %s"},
        {backup.isSet(Info::kBackupStartDate), "isbackup_start_DateSet not set in %s"},
        {backup.isSet(Info::kBackupType), "istypeSet not set in %s"},
    };
    for (const auto& field : required) {
        if (!field.present) return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_METADATA, field.message, xml.c_str());
    }

    info.databaseName = backup.getstring(Info::kDatabaseName);
    info.databaseId = backup.getint64(Info::kDatabaseId);
    info.lastLSN = backup.getstring(Info::kLastLsn);
    info.firstLSN = backup.getstring(Info::kFirstLsn);
    info.checkpointLSN = backup.getstring(Info::kCheckpointLsn);
    info.finishTime = backup.getint64(Info::kBackupFinishDate);
    info.startTime = backup.getint64(Info::kBackupStartDate);
    info.furtherNumber = backup.getint64(Info::kValue1);
    info.type = backup.getstring(Info::kBackupType);

    EvDebug log;
    log.debugLvl(4, "GetSweepMetadataFromXML() - Xml file        = [%s]", xml.c_str());
    log.debugLvl(4, "GetSweepMetadataFromXML() - backup metadata = [%s]", text.c_str());
    return CWzError::Success();
}
