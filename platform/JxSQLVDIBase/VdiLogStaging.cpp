// Log staging of the simulated instance: one log backup through the engine
// into a dump file and its metadata twin.
#include "JxSQLVDIBase/VdiLogStaging.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSQLVDIBase/VdiDevice.h"
#include "JxSQLVDIBase/VdiServeWait.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kDumpInfix = "_Log_Backup_";

// The highest <n> of "<prefix><n>.bak" in `folder`, 0 when there is none.
unsigned long long HighestStagedNumber(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) return 0;
    unsigned long long highest = 0;
    for (const std::string& name : names) {
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (name.compare(name.size() - 4, 4, ".bak") != 0) continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        highest = std::max(highest, std::strtoull(digits.c_str(), nullptr, 10));
    }
    return highest;
}

// Writes `content` to `path`, synced; false with errno set.
bool WriteSynced(const std::string& path, const std::string& content) {
    const int fd = wz::Fs().Open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = wz::WriteAll(fd, content.data(), content.size()) && wz::Fs().Fsync(fd) == 0;
    const int err = errno;
    if (wz::Fs().Close(fd) != 0 && ok) return false;
    errno = err;
    return ok;
}

}  // namespace

std::string VdiFileSafeName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        if (std::string(":\\/*?\"<>|").find(c) != std::string::npos) c = '_';
    }
    return safe;
}

std::string VdiAGStageSubfolder(const std::string& group) {
    const size_t slash = group.find('/');
    return VdiFileSafeName(slash == std::string::npos ? group : group.substr(slash + 1) + "_" + group.substr(0, slash));
}

CWzError VdiBackUpOnOneStream(const std::string& instance, const std::string& database, char type,
                              const VdiStreamSink& sink, std::string& metadataXml) {
    const char* what = type == 'L' ? "Log backup" : "Backup";
    CJxSQLVDI engine;
    engine.setBackupType(type);
    engine.setNumberOfStreams(1);
    if (!engine.Initialize() || !engine.SetServerName(instance, database) || !engine.StartVDIOperation()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s of %s not started: %s", what, database.c_str(),
                                         engine.getJXErrorString().c_str());
    }
    VdiDevice* device = engine.getDevice(0);
    // Waits as the data pipeline does, so that a slow statement is not cut
    // short and a stalled one ends with the engine's own verdict.
    const int64_t waitMs = VdiServeWaitMs(engine);
    std::string failure;  // why this side ended the backup
    if (device == nullptr) failure = "The backup has no device.";
    while (failure.empty()) {
        VdiBlock block;
        const VdiWait w = device->Get(block, waitMs);
        if (w == VdiWait::End || w == VdiWait::Aborted) break;  // an abort is the engine's failure, told below
        if (w == VdiWait::TimedOut) {
            failure = wz::Format("The backup timed out: the engine gave no data for %lld seconds.",
                                 static_cast<long long>(waitMs / 1000));
            break;
        }
        if (!sink(block.data.get(), block.size, failure) && failure.empty()) failure = "The stream could not be kept.";
        device->Release(std::move(block));
    }
    if (!failure.empty()) engine.AbortOperation(failure);
    const bool done = engine.Finalize(false);
    if (!failure.empty() || !done) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s of %s failed: %s", what, database.c_str(),
                                         failure.empty() ? engine.getJXErrorString().c_str() : failure.c_str());
    }
    metadataXml = engine.getXMLBackupSetInfo_10();
    return CWzError::Success();
}

CWzError VdiStageLogBackup(const std::string& instance, const std::string& database, const std::string& folder,
                           std::string& dumpPath) {
    if (wz::MakeDirectoryTree(folder) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create staging folder [%s]", folder.c_str());
    }
    std::string stream, metadata;
    CWzError backup = VdiBackUpOnOneStream(
        instance, database, 'L',
        [&stream](const char* data, size_t size, std::string&) {
            stream.append(data, size);
            return true;
        },
        metadata);
    if (backup.IsError()) return backup.Push(FXCODELOC, "Staging a log dump of %s", database.c_str());
    const std::string prefix = VdiFileSafeName(database) + kDumpInfix;
    const std::string base =
        folder + "/" + prefix + std::to_string(HighestStagedNumber(folder, prefix) + 1);
    const std::string dump = base + ".bak", twin = base + ".xml";
    const std::string dumpTemp = dump + ".tmp", twinTemp = twin + ".tmp";
    if (!WriteSynced(dumpTemp, stream) || !WriteSynced(twinTemp, metadata) ||
        wz::Fs().Rename(dumpTemp, dump) != 0 || wz::Fs().Rename(twinTemp, twin) != 0) {
        const int err = errno;
        (void)wz::Fs().Unlink(dumpTemp);  // leftovers of a failed attempt; absent ones are fine
        (void)wz::Fs().Unlink(twinTemp);
        return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "cannot stage the log dump [%s]", dump.c_str());
    }
    dumpPath = dump;
    return CWzError();
}
