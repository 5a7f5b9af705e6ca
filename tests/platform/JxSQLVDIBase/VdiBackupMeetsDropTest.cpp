// A backup that meets a drop of its database waits for the drop, then finds
// the database gone (911); it is never told that the database is being
// restored.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/platform/JxSQLVDIBase/LogBackupFixture.h"
#include "tests/support/HeldCall.h"

namespace {

using vdilogtest::kServer;

// Holds the first removal of `file` until released: a drop whose catalogue
// change has committed and that still holds its database.
class HeldRemoval : public wz::ForwardingFileSystem {
public:
    explicit HeldRemoval(std::string file) : m_file(std::move(file)) {}

    int Unlink(const std::string& path) override {
        if (path == m_file) held.Hold();
        return ForwardingFileSystem::Unlink(path);
    }

    jxtest::HeldCall held;

private:
    const std::string m_file;
};

using VdiBackupMeetsDropTest = vdilogtest::LogBackupTest;

TEST_F(VdiBackupMeetsDropTest, TheBackupFindsTheDatabaseGone) {
    std::vector<std::string> files;
    std::string error;
    ASSERT_TRUE(CsqlDMO().getDatabaseFilePaths(kServer, "Sales", files, error)) << error;
    HeldRemoval removal(files.at(0));
    wz::ScopedFileSystem use(removal);
    bool dropped = false;
    std::thread drop([&] { dropped = CsqlDMO().DeleteDatabase(kServer, "Sales"); });
    long code = 0;
    std::string text;
    const bool reached = removal.held.WaitHeld();
    if (reached) {
        CJxSQLVDI engine;
        engine.setBackupType('L');
        engine.setNumberOfStreams(1);
        if (engine.Initialize() && engine.SetServerName(kServer, "Sales") && engine.StartVDIOperation()) {
            (void)engine.Finalize(false);  // the outcome is read below
        }
        code = engine.getJXErrorCode();
        text = engine.getJXErrorString();
    }
    removal.held.Release();
    drop.join();
    ASSERT_TRUE(reached) << "the drop never removed its files";
    EXPECT_TRUE(dropped);
    EXPECT_EQ(code, 911) << text;
    EXPECT_EQ(text, "Database 'Sales' does not exist. Make sure that the name is entered correctly.");
}

}  // namespace
