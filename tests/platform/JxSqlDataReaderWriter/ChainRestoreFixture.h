// Test support: the instance kServer with Sales (VdiHarness.h's MakeSales),
// backups each committed through a pipeline of its own, and whole chains
// restored in place or under another name.
#pragma once

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "VdiHarness.h"

namespace vditest {

// One backup: what a restore reads and what the job was handed.
struct Taken {
    std::list<RestoreArchiveInfo> archives;
    JxSQLBackupSetInfo set;
};

class ChainRestoreTest : public jxtest::RootedTest {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(MakeSales(sim, 1024 * 1024, 256 * 1024)); }

    void Change(const std::string& database, uint32_t pages, uint64_t seed, int64_t timeMs = 0,
                const std::string& mark = "") {
        ASSERT_FALSE(SqlSimChanges(sim).Change({database, pages, seed, mark, timeMs}).IsError());
    }

    // A backup through a pipeline of its own, committed at once so that a
    // restore can read it; `outcome` (may be null) receives the engine's,
    // which must succeed when it is null.
    Taken Take(const std::string& database, char type, Outcome* outcome = nullptr) {
        SqlDataTransferHandler handler(true, ++m_job, 7, 2, "cs", 1, 0);
        Taken taken;
        Outcome o = Backup(handler, database, type, 1, &taken.archives);
        EXPECT_TRUE(handler.closePipeline(1, false));
        if (outcome != nullptr) {
            *outcome = o;
        } else {
            EXPECT_TRUE(o.ok) << o.text;
        }
        taken.set = o.set;
        return taken;
    }

    // Restores `chain` in order into `database`: the first sets with
    // `first`, the last with `last` (REPLACE only on the first).
    void RestoreChain(const std::string& database, const std::vector<const Taken*>& chain, RestoreOptions first,
                      RestoreOptions last) {
        for (size_t i = 0; i < chain.size(); ++i) {
            RestoreOptions o = i + 1 == chain.size() ? last : first;
            if (i > 0) o.replace = false;
            Outcome r = Restore(database, chain[i]->archives, o);
            ASSERT_TRUE(r.ok) << "set " << i << ": " << r.text;
        }
    }

    static RestoreOptions InPlace(bool recovery = false) {
        RestoreOptions o;
        o.replace = true;
        o.recovery = recovery;
        return o;
    }
    // Sales's files moved under `folder` of the root.
    RestoreOptions Moved(const std::string& folder, bool recovery = false) {
        RestoreOptions o;
        o.moves = {{"Sales", root.File(folder + "/sales.mdf")},
                   {"Sales2", root.File(folder + "/sales2.ndf")},
                   {"Sales_log", root.File(folder + "/sales.ldf")}};
        o.recovery = recovery;
        return o;
    }

    SqlSimLsnState State(const std::string& database) {
        int64_t id = 0;
        EXPECT_FALSE(sim.DatabaseId(database, id).IsError());
        SqlSimLsnState state;
        EXPECT_FALSE(SqlSimChanges(sim).State(id, state).IsError());
        return state;
    }

    std::vector<std::string> Contents(const std::string& database) {
        std::vector<std::string> out;
        for (const std::string& p : DataFiles(sim, database)) out.push_back(ReadAll(p));
        return out;
    }

    SqlSimInstance sim;

private:
    uint64_t m_job = 70;
};

}  // namespace vditest
