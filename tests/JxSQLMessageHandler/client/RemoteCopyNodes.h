// Test support for remote copies: two nodes served by one in-process host,
// files to copy, and a FIFO whose writer the test paces (a copy that lasts
// as long as the test wants).
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/client/PeerPathRoots.h"
#include "JxSQLMessageHandler/client/ProcessRemoteOpsMessage.h"
#include "JxSession/jxsTargets.h"
#include "WzUtils/WzClock.h"
#include "tests/support/TestRoot.h"
#include "tools/host/HostBindings.h"
#include "tools/host/JxHost.h"

namespace jxtest {

// The shared library this test loaded the system from; the host loads the
// same one for the remote-operations entry.
inline std::string SystemLibraryPath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ProcessRemoteOpsMessage), &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}

inline SQLPmn::RemoteCopyFileInfo CopyEntry(const std::string& sourceFolder, const std::string& destinationFolder,
                                            const std::string& name, int64_t deleteSource = 0) {
    SQLPmn::RemoteCopyFileInfo file;
    file.setstring(SQLPmn::RemoteCopyFileInfo::kSourceFolder, sourceFolder);
    file.setstring(SQLPmn::RemoteCopyFileInfo::kDestinationFolder, destinationFolder);
    file.setstring(SQLPmn::RemoteCopyFileInfo::kFileName, name);
    file.setint64(SQLPmn::RemoteCopyFileInfo::kDeleteSource, deleteSource);
    return file;
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// Names in `folder` (empty when it does not exist), hidden ones included.
inline std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Bytes of every value 0..255 and then some, `size` long.
inline std::string BinaryContent(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(x >> 16);
    }
    return bytes;
}

// "node1" serves remote operations; "node2" is this process's own name (the
// requester), reachable through the same host.
class RemoteCopyTest : public ::testing::Test {
protected:
    // 1 platform second = 10 real ms: progress every 600 ms, receives give up
    // after 1.2 s.
    RemoteCopyTest() : root(0.01) {}

    void SetUp() override {
        ASSERT_TRUE(host.Start(0).IsSuccess());
        ASSERT_TRUE(jxsRegisterTarget("node1", host.Port()));
        ASSERT_TRUE(jxsRegisterTarget("node2", host.Port()));
        ASSERT_TRUE(SetHostBinding(kRemoteOpsLibraryName, kRemoteOpsEntryName,
                                   {SystemLibraryPath(), "ProcessRemoteOpsMessage"}));
        JXPlatformInfo().setString("", "sPhysicalNodeName", "node2");
        source = root.path() + "/node1/JobResults/";
        destination = root.path() + "/node2/JobResults/restore";
        std::filesystem::create_directories(source);
        data = root.path() + "/node1/data/";
        std::filesystem::create_directories(data);
        // Both nodes live in this process: the serving side's job results are
        // the source folder; peers may also read (not remove) the data folder.
        JXPlatformInfo().setString("Machines/node2", "dJOBRESULTSDIR", source);
        JXPlatformInfo().setString(kPeerPathRootsSection, kPeerPathRootsKey, source + ":" + data);
    }
    void TearDown() override { host.Stop(); }

    void WriteSource(const std::string& name, const std::string& bytes) { root.WriteFile("node1/JobResults/" + name, bytes); }

    TestRoot root;
    JxHost host;
    std::string node = "node1";
    std::string source;
    std::string data;
    std::string destination;
};

// A FIFO in the source folder whose writer runs on its own thread: it waits
// for the copy to open the FIFO, writes `first`, waits `pauseMs` platform
// milliseconds or until Release(), writes `rest` and closes.
class PacedFifo {
public:
    PacedFifo(const std::string& path, std::string first, std::string rest, int64_t pauseMs)
        : m_path(path), m_first(std::move(first)), m_rest(std::move(rest)), m_pauseMs(pauseMs) {
        m_made = ::mkfifo(path.c_str(), 0600) == 0;
        if (m_made) m_writer = std::thread([this] { Write(); });
    }
    ~PacedFifo() {
        Release();
        if (m_writer.joinable()) m_writer.join();
    }
    bool made() const { return m_made; }
    bool opened() const { return m_opened; }
    void Release() { m_released = true; }

private:
    void Write() {
        int fd = -1;
        // Opening a FIFO for writing without a reader fails with ENXIO: retry
        // until the copy opens it (10 real seconds at most).
        for (int i = 0; i < 1000 && fd < 0 && !m_released; ++i) {
            fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) ::usleep(10000);
        }
        if (fd < 0) return;
        m_opened = true;
        ::fcntl(fd, F_SETFL, 0);
        WriteAll(fd, m_first);
        int64_t until = wz::ClockMs() + m_pauseMs;
        while (!m_released && wz::ClockMs() < until) ::usleep(1000);
        if (!m_released) WriteAll(fd, m_rest);
        ::close(fd);
    }
    static void WriteAll(int fd, const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return;
            done += static_cast<size_t>(n);
        }
    }

    std::string m_path, m_first, m_rest;
    int64_t m_pauseMs;
    bool m_made = false;
    std::atomic<bool> m_opened{false};
    std::atomic<bool> m_released{false};
    std::thread m_writer;
};

}  // namespace jxtest
