// Test support: the file system in use, with the faults that hit the last
// steps of a backup's data path. The fsync of the media's archive files can
// fail (EIO), which makes the pipeline's commit fail; the writes to one named
// list of the job results can fail as on a full disk. Each counts the calls
// it failed, so a test can check that its fault really fired.
#pragma once

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <set>
#include <string>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "WzUtils/WzFileSystem.h"

namespace jxtest {

class CommitFaults : public wz::ForwardingFileSystem {
public:
    // Once `passing` more fsyncs of archive files have succeeded, the next
    // `failing` ones fail.
    void FailArchiveSyncs(int passing = 0, int failing = INT_MAX) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_syncFault = true;
        m_syncsPassing = passing;
        m_syncsFailing = failing;
    }
    // Every write to a file named `name` fails with ENOSPC.
    void FailWritesTo(const std::string& name) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fullName = "/" + name;
    }
    void Heal() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_syncFault = false;
        m_fullName.clear();
    }
    int FailedSyncs() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_failedSyncs;
    }
    int FailedWrites() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_failedWrites;
    }

    int Open(const std::string& path, int flags, mode_t mode) override {
        const int fd = wz::ForwardingFileSystem::Open(path, flags, mode);
        if (fd < 0) return fd;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (path.rfind(m_archives, 0) == 0) m_archiveFds.insert(fd);
        if (!m_fullName.empty() && path.size() >= m_fullName.size() &&
            path.compare(path.size() - m_fullName.size(), m_fullName.size(), m_fullName) == 0) {
            m_fullFds.insert(fd);
        }
        return fd;
    }
    int Close(int fd) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_archiveFds.erase(fd);
            m_fullFds.erase(fd);
        }
        return wz::ForwardingFileSystem::Close(fd);
    }
    int Fsync(int fd) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_syncFault && m_archiveFds.count(fd) != 0 && m_syncsPassing-- <= 0 && m_syncsFailing > 0) {
                --m_syncsFailing;
                ++m_failedSyncs;
                errno = EIO;
                return -1;
            }
        }
        return wz::ForwardingFileSystem::Fsync(fd);
    }
    ssize_t Write(int fd, const void* b, size_t n) override {
        if (Full(fd)) return -1;
        return wz::ForwardingFileSystem::Write(fd, b, n);
    }
    ssize_t PWrite(int fd, const void* b, size_t n, off_t o) override {
        if (Full(fd)) return -1;
        return wz::ForwardingFileSystem::PWrite(fd, b, n, o);
    }

private:
    bool Full(int fd) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_fullName.empty() || m_fullFds.count(fd) == 0) return false;
        ++m_failedWrites;
        errno = ENOSPC;
        return true;
    }

    mutable std::mutex m_mutex;
    const std::string m_archives = DiskLibrary::Directory() + "/afiles/";
    std::set<int> m_archiveFds;
    std::set<int> m_fullFds;
    bool m_syncFault = false;
    int m_syncsPassing = 0;
    int m_syncsFailing = 0;
    int m_failedSyncs = 0;
    std::string m_fullName;
    int m_failedWrites = 0;
};

}  // namespace jxtest
