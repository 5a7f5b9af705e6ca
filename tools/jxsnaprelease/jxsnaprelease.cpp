// jxsnaprelease: ends the snapshot mounts whose reservation has passed.
//
// Run from a schedule (or by hand). For every mount the snapshot engine has
// recorded whose reservation ended, it detaches the databases that were
// attached from the mount, removes the mount's directories and forgets the
// mount. A mount whose database cannot be detached is kept for the next run.
//
// Exit code 0 when every expired mount was ended, 1 when one had to be kept,
// 2 on a usage error.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JXSnapHandler/SnapMountRegistry.h"

namespace {

constexpr const char* kUsage =
    "usage: jxsnaprelease\n"
    "Ends the snapshot mounts whose reservation has passed: detaches the databases attached\n"
    "from them, removes their directories and forgets them. Prints one line per mount.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<std::string> report;
    const int released = JXSnapClientAPI::releaseExpiredMounts(SnapMountRegistry::NowSeconds(), report);
    for (const std::string& line : report) std::printf("%s\n", line.c_str());
    return released < 0 ? 1 : 0;
}
