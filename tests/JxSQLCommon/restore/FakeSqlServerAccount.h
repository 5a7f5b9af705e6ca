// An account that records ownership changes and identity switches instead
// of making them, so tests never change the owner of anything.
#pragma once

#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "JxSQLCommon/restore/SqlServerAccount.h"

struct FakeSqlServerAccount : SqlServerAccount {
    static constexpr uid_t kSqlUid = 999;
    static constexpr gid_t kSqlGid = 998;

    int LookUp(const std::string& user, uid_t& uid, gid_t& gid) override {
        if (user != knownUser) return ENOENT;
        uid = kSqlUid;
        gid = kSqlGid;
        return 0;
    }
    int ChangeOwner(const std::string& path, uid_t uid, gid_t gid) override {
        calls.push_back("chown " + path + " " + std::to_string(uid) + ":" + std::to_string(gid));
        return chownError;
    }
    uid_t EffectiveUser() override { return euid; }
    gid_t EffectiveGroup() override { return egid; }
    int SetEffectiveGroup(gid_t gid) override {
        calls.push_back("setegid " + std::to_string(gid));
        if (euid != 0) return EPERM;  // only root changes its group
        egid = gid;
        return 0;
    }
    int SetEffectiveUser(uid_t uid) override {
        calls.push_back("seteuid " + std::to_string(uid));
        if (failUserSwitchTo.count(uid) != 0) return EPERM;
        euid = uid;
        return 0;
    }
    int CheckWriteAccess(const std::string& path) override {
        calls.push_back("access " + path + " as " + std::to_string(euid) + ":" + std::to_string(egid));
        return writable.count(path) != 0 ? 0 : EACCES;
    }

    std::string knownUser = "mssql";
    uid_t euid = 0;
    gid_t egid = 0;
    int chownError = 0;
    std::set<uid_t> failUserSwitchTo;
    std::set<std::string> writable;
    std::vector<std::string> calls;
};
