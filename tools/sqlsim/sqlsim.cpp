// sqlsim: creates simulated SQL Server instances under the platform root
// ($JX_PLATFORM_ROOT) from a description file ("-" reads standard input).
// The description's format is documented in JxsqlDMO/SqlSimDescription.h.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "JxsqlDMO/SqlSimDescription.h"
#include "WzUtils/PlatformRoot.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DESCRIPTION-FILE|-\n", argv[0]);
        return 2;
    }
    std::string source = argv[1];
    std::stringstream text;
    if (source == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream file(source);
        if (!file) {
            std::fprintf(stderr, "sqlsim: cannot read [%s]\n", source.c_str());
            return 1;
        }
        text << file.rdbuf();
    }
    std::vector<std::string> created;
    CWzError err = SqlSimApplyDescription(text.str(), &created);
    for (const std::string& name : created) {
        std::printf("created instance %s under %s\n", name.c_str(), wz::PlatformRoot().c_str());
    }
    if (err.IsError()) {
        std::fprintf(stderr, "sqlsim: %s\n", err.AsString().c_str());
        return 1;
    }
    return 0;
}
