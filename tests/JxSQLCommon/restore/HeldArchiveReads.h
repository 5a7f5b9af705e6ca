// A file system through which reads of the disk library's archive files wait
// until the test lets them go: a restore's data transfer that never ends
// while the test holds it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "WzUtils/WzFileSystem.h"

// Reads of the disk library's archive files wait until the test lets them go.
class HeldArchiveReads : public wz::ForwardingFileSystem {
public:
    int Open(const std::string& path, int flags, mode_t mode) override {
        const int fd = wz::ForwardingFileSystem::Open(path, flags, mode);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (fd >= 0 && path.rfind(DiskLibrary::Directory() + "/", 0) == 0) m_archives.insert(fd);
        if (fd >= 0 && path.rfind(DiskLibrary::Directory() + "/", 0) != 0) m_archives.erase(fd);
        return fd;
    }
    ssize_t PRead(int fd, void* b, size_t n, off_t o) override {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_archives.count(fd) != 0) m_changed.wait(lock, [&] { return m_open; });
        }
        return wz::ForwardingFileSystem::PRead(fd, b, n, o);
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // Runs `job` on a thread of its own while the reads are held, then lets
    // them go and waits for it; true when it returned while they were held.
    // It waits long in real time, so that a job that waits without end fails
    // the test instead of hanging it.
    bool RunWhileHeld(const std::function<void()>& job) {
        std::atomic<bool> returned{false};
        std::thread thread([&] {
            job();
            returned = true;
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!returned && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const bool endedWhileHeld = returned;
        Open();
        thread.join();
        return endedWhileHeld;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<int> m_archives;
    bool m_open = false;
};
