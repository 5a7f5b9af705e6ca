// Test support: tells a test when a connection of this process waits for a
// locked SQLite database. While a SqliteBusyWatch lives, connections opened
// use a copy of the default file-system layer of SQLite whose sleep is
// counted: SQLite sleeps between its attempts on a locked database (the busy
// time-out), and a connection without a busy time-out never does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_vfs;

namespace jxtest {

class SqliteBusyWatch {
public:
    SqliteBusyWatch();
    ~SqliteBusyWatch();
    SqliteBusyWatch(const SqliteBusyWatch&) = delete;
    SqliteBusyWatch& operator=(const SqliteBusyWatch&) = delete;

    // True once a connection has waited for a lock; false when `Stop` was
    // called first or `bound` passed.
    bool WaitForWaiter(std::chrono::seconds bound = std::chrono::seconds(30));
    // Ends a WaitForWaiter, e.g. once the connection watched has given up.
    void Stop();

private:
    static int Sleep(sqlite3_vfs* vfs, int microseconds);

    sqlite3_vfs* m_previous = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_waits = 0;
    bool m_stopped = false;
};

// Another process's write transaction on the database file `path`, open
// until Commit.
class OpenWriteTransaction {
public:
    explicit OpenWriteTransaction(const std::string& path);
    ~OpenWriteTransaction();
    OpenWriteTransaction(const OpenWriteTransaction&) = delete;
    OpenWriteTransaction& operator=(const OpenWriteTransaction&) = delete;
    void Commit();

private:
    sqlite3* m_db = nullptr;
};

// Runs `write` on a thread of its own while another writer holds the
// database file `path`, and ends that writer's transaction once `write`
// waits for it (a failed expectation when it never does). The error `write`
// gave, empty when it succeeded.
std::string WriteWhileAnotherWriterHolds(const std::string& path, const std::function<std::string()>& write);

}  // namespace jxtest
