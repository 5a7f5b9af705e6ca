// Test support: a file system that passes every call on to another one (by
// default the one in use when it is made: in a test, the test root's, which
// keeps every call inside the root). A test derives from it and overrides
// only the calls it wants to change.
#pragma once

#include <string>
#include <vector>

#include "WzUtils/WzFileSystem.h"

namespace jxtest {

class ForwardingFileSystem : public wz::FileSystem {
public:
    explicit ForwardingFileSystem(wz::FileSystem& next = wz::Fs()) : m_next(next) {}

    int Open(const std::string& p, int f, mode_t m) override { return m_next.Open(p, f, m); }
    ssize_t Read(int fd, void* b, size_t n) override { return m_next.Read(fd, b, n); }
    ssize_t Write(int fd, const void* b, size_t n) override { return m_next.Write(fd, b, n); }
    ssize_t PWrite(int fd, const void* b, size_t n, off_t o) override { return m_next.PWrite(fd, b, n, o); }
    ssize_t PRead(int fd, void* b, size_t n, off_t o) override { return m_next.PRead(fd, b, n, o); }
    int Fsync(int fd) override { return m_next.Fsync(fd); }
    int Close(int fd) override { return m_next.Close(fd); }
    int Rename(const std::string& a, const std::string& b) override { return m_next.Rename(a, b); }
    int Unlink(const std::string& p) override { return m_next.Unlink(p); }
    int Mkdir(const std::string& p, mode_t m) override { return m_next.Mkdir(p, m); }
    int Rmdir(const std::string& p) override { return m_next.Rmdir(p); }
    int Stat(const std::string& p, struct stat* st) override { return m_next.Stat(p, st); }
    int Lstat(const std::string& p, struct stat* st) override { return m_next.Lstat(p, st); }
    int Fstat(int fd, struct stat* st) override { return m_next.Fstat(fd, st); }
    int Fchmod(int fd, mode_t m) override { return m_next.Fchmod(fd, m); }
    int ReadDirectory(const std::string& p, std::vector<std::string>& names) override {
        return m_next.ReadDirectory(p, names);
    }
    int RealPath(const std::string& p, std::string& resolved) override { return m_next.RealPath(p, resolved); }

protected:
    wz::FileSystem& m_next;
};

}  // namespace jxtest
