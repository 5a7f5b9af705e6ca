// Test support: a fixture whose tests work in folders of a fresh platform root.
#pragma once

#include <string>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/TestRoot.h"

namespace statetest {

class DumpFolderTest : public jxtest::RootedTest {
protected:
    // <root>/<name>, created when missing.
    std::string Folder(const std::string& name = "dump") const {
        std::string folder = root.path() + "/" + name;
        wz::MakeDirectoryTree(folder);
        return folder;
    }
};

}  // namespace statetest
