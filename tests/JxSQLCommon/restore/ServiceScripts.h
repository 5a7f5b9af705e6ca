// Scripts that stand in for the service commands a restore runs: systemctl
// and the single-user server drive the simulated instance "node1/INST"
// through jxsqlservice; chown only records its arguments (nothing outside
// the test's root changes owner).
#pragma once

#include <sys/stat.h>

#include <string>

#include "JxLib/JxProcess.h"
#include "tests/support/TestRoot.h"

inline void InstallScript(jxtest::TestRoot& root, const std::string& program, const std::string& name,
                          const std::string& body) {
    root.WriteFile("bin/" + name, "#!/bin/sh\n" + body);
    const std::string path = root.File("bin/" + name);
    ::chmod(path.c_str(), 0755);
    JxProcess::SetProgramPath(program, path);
}

inline void InstallServiceScripts(jxtest::TestRoot& root, const std::string& instance = "node1/INST") {
    const std::string service = std::string(JX_SQLSERVICE_PROGRAM) + " --instance " + instance;
    InstallScript(root, "systemctl", "systemctl", "exec " + service + " systemctl \"$@\"\n");
    // The server starts with an empty environment: root and time scale are spelt out.
    InstallScript(root, "/opt/mssql/bin/sqlservr", "sqlservr",
                  "JX_TIME_SCALE=0.001 exec " + std::string(JX_SQLSERVICE_PROGRAM) + " --root " + root.path() +
                      " --instance " + instance + " sqlservr \"$@\"\n");
    InstallScript(root, "chown", "chown", "echo \"$@\" >> " + root.File("chown.log") + "\n");
}
