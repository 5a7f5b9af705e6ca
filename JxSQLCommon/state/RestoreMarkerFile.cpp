// RestoreMarkerFile: creating, holding and removing a restore marker.
#include "JxSQLCommon/state/RestoreMarkerFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/DumpLayoutConstants.h"
#include "JxSQLCommon/records/SqlConvert.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr uint32_t ERROR_PATH_NOT_FOUND_CODE = 2;

// A name that stays one file inside the folder.
bool IsPlainFileName(const std::string& name) { return name.find('/') == std::string::npos && name != "." && name != ".."; }

struct flock WholeFile(short type) {
    struct flock region {};
    region.l_type = type;
    region.l_whence = SEEK_SET;
    return region;
}

}  // namespace

RestoreMarkerFile::~RestoreMarkerFile() {
    // Remove before the handle closes: once the lock goes with the descriptor
    // another job could take the name over, and its marker must stay.
    // A marker that cannot be removed is one IsStale() recognises later.
    if (m_handle.is_valid()) (void)wz::Fs().Unlink(m_path);
}

CWzError RestoreMarkerFile::Create(const std::string& folder, const std::string& database, const std::string& jobID) {
    if (folder.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "path is empty");
    if (database.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "dbName is empty");
    if (jobID.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "jobID is empty");
    if (m_handle.is_valid()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "File handle already setup");
    wz::FileSystem& fs = wz::Fs();
    struct stat info {};
    if (fs.Stat(folder, &info) != 0 || !S_ISDIR(info.st_mode)) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_PATH_NOT_FOUND_CODE, "Path %s not found", folder.c_str());
    }

    const std::string name = SqlConvert::ToLower(database) + "_" + jobID + sqlosc::MARKER_EXT;
    std::string path = folder;
    CWzError error = IsPlainFileName(name) ? FXPath::Append(path, name)
                                           : FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "%s", name.c_str());
    if (error.IsError()) return error.Push(FXCODELOC, "Could not append fileName to marker path");

    // A marker of the same name left by a job that is gone is taken over;
    // one this call made is removed again when it cannot be held.
    m_handle.reset(fs.Open(path, O_RDWR | O_CREAT | O_EXCL, 0644));
    const bool made = m_handle.is_valid();
    if (!made && errno == EEXIST) m_handle.reset(fs.Open(path, O_RDWR | O_TRUNC));
    if (!m_handle.is_valid()) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Could not make marker %s", path.c_str());
    }
    struct flock region = WholeFile(F_RDLCK);
    if (::fcntl(m_handle.get(), F_OFD_SETLK, &region) != 0) {
        const int err = errno;
        if (made) (void)fs.Unlink(path);  // the lock error is the one to report
        m_handle.reset();
        return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "Could not make marker %s", path.c_str());
    }
    m_path = path;
    m_name = name;
    EvDebug().Tagged(__FILE_NAME__, __LINE__, EvDebug::kDebug, 1, "Marker %s created", m_path.c_str());
    return CWzError::Success();
}

CWzError RestoreMarkerFile::IsStale(const std::string& path, bool& stale) {
    stale = false;
    auto_handle handle(wz::Fs().Open(path, O_RDONLY));
    if (!handle.is_valid()) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Could not open marker %s", path.c_str());
    struct flock region = WholeFile(F_WRLCK);
    if (::fcntl(handle.get(), F_OFD_GETLK, &region) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Could not test marker %s", path.c_str());
    }
    stale = region.l_type == F_UNLCK;
    return CWzError::Success();
}
