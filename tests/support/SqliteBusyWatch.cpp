// Test support: a counted sleep in a copy of SQLite's default VFS.
#include "tests/support/SqliteBusyWatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sqlite3.h>
#include <thread>

namespace jxtest {

namespace {

// The layer stays valid for connections that outlive the watch; `g_watch` is
// the live watch, if any.
sqlite3_vfs g_layer{};
std::atomic<SqliteBusyWatch*> g_watch{nullptr};
int (*g_sleep)(sqlite3_vfs*, int) = nullptr;

}  // namespace

SqliteBusyWatch::SqliteBusyWatch() {
    sqlite3_initialize();
    m_previous = sqlite3_vfs_find(nullptr);
    g_layer = *m_previous;
    g_layer.zName = "jxtest-busy-watch";
    g_layer.pNext = nullptr;
    g_sleep = m_previous->xSleep;
    g_layer.xSleep = &SqliteBusyWatch::Sleep;
    g_watch = this;
    sqlite3_vfs_register(&g_layer, 1);
}

SqliteBusyWatch::~SqliteBusyWatch() {
    sqlite3_vfs_register(m_previous, 1);
    sqlite3_vfs_unregister(&g_layer);
    g_watch = nullptr;
}

int SqliteBusyWatch::Sleep(sqlite3_vfs* vfs, int microseconds) {
    if (SqliteBusyWatch* watch = g_watch.load()) {
        std::lock_guard<std::mutex> lock(watch->m_mutex);
        ++watch->m_waits;
        watch->m_changed.notify_all();
    }
    return g_sleep(vfs, microseconds);
}

bool SqliteBusyWatch::WaitForWaiter(std::chrono::seconds bound) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, bound, [this] { return m_waits > 0 || m_stopped; });
    return m_waits > 0;
}

void SqliteBusyWatch::Stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopped = true;
    m_changed.notify_all();
}

OpenWriteTransaction::OpenWriteTransaction(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &m_db), SQLITE_OK);
    sqlite3_busy_timeout(m_db, 30000);
    EXPECT_EQ(sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
}

OpenWriteTransaction::~OpenWriteTransaction() { sqlite3_close(m_db); }

void OpenWriteTransaction::Commit() {
    EXPECT_EQ(sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
}

std::string WriteWhileAnotherWriterHolds(const std::string& path, const std::function<std::string()>& write) {
    SqliteBusyWatch watch;
    OpenWriteTransaction other(path);
    std::string error;
    std::thread writer([&] {
        error = write();
        watch.Stop();
    });
    const bool waited = watch.WaitForWaiter();
    other.Commit();
    writer.join();
    EXPECT_TRUE(waited) << "the write did not wait for the lock";
    return error;
}

}  // namespace jxtest
