// The job programs' README example, run as a reader would type it: the
// example root, three backups, a change, and the restore of Sales under a
// new name. Its commands are read from the README itself, so the test keeps
// the README true.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "JxJobClient/JobJournalReader.h"
#include "JxLib/JxProcess.h"
#include "tests/support/TestRoot.h"

namespace {

using jobmanager::JobJournalReader;

// The indented command lines of the README's "## Examples" section, but the
// one that points JX_PLATFORM_ROOT elsewhere: the test's root is set already.
std::string ExampleCommands() {
    std::ifstream readme(std::string(JX_SOURCE_DIR) + "/tools/jobs/README.md");
    std::string line;
    std::string commands;
    bool inExamples = false;
    while (std::getline(readme, line)) {
        if (line.rfind("## ", 0) == 0) inExamples = line == "## Examples";
        if (!inExamples || line.rfind("    ", 0) != 0) continue;
        if (line.find("export JX_PLATFORM_ROOT=") != std::string::npos) continue;
        commands += line.substr(4) + "\n";
    }
    return commands;
}

std::string CompleteStatus(uint64_t jobId) {
    const auto complete = JobJournalReader::WithOp(JobJournalReader::Read(jobId).value_or(
                                                       std::vector<jobmanager::JournalEntry>{}),
                                                   "complete");
    return complete.empty() ? "" : complete.back().Get("status");
}

TEST(ReadmeExample, BackupsCompleteAndTheRestoreBringsSalesBackUnderItsNewName) {
    jxtest::TestRoot root;
    const std::string commands = ExampleCommands();
    ASSERT_NE(commands.find("jxsqlrestore"), std::string::npos) << commands;
    ASSERT_NE(commands.find("kill $host"), std::string::npos) << commands;

    // The commands run where "build" and "tools" are what the README means.
    const std::filesystem::path here = root.File("try/.");
    std::filesystem::create_directory_symlink(JX_BINARY_DIR, here / "build");
    std::filesystem::create_directory_symlink(std::string(JX_SOURCE_DIR) + "/tools", here / "tools");
    // The host is stopped whatever happens to the commands.
    root.WriteFile("try/example.sh", "set -e\ncd '" + here.string() + "'\n" +
                                         "trap '[ -z \"${host:-}\" ] || kill $host 2>/dev/null' EXIT\n" + commands);
    std::string output;
    std::string error;
    // Platform seconds, scaled down in tests: about a minute of real time.
    const int status = JxProcess::system("sh " + root.File("try/example.sh"), output, error, 60000);
    ASSERT_EQ(status, 0) << output << error;

    for (uint64_t job : {42, 43, 44, 45}) EXPECT_EQ(CompleteStatus(job), "1") << "job " << job;
    EXPECT_NE(output.find("5\tSalesCopy"), std::string::npos) << output;
    EXPECT_EQ(error.find("jxsqlrestore:"), std::string::npos) << "a completed job says nothing: " << error;
    EXPECT_EQ(error.find("jxsqlbackup:"), std::string::npos) << error;
    // The copy holds Sales as the last backup left it.
    EXPECT_EQ(jxtest::ReadWholeFile(root.File("restored/SalesCopy.mdf")),
              jxtest::ReadWholeFile(root.File("mssql/HOST/INST/data/Sales.mdf")));
    EXPECT_FALSE(jxtest::ReadWholeFile(root.File("restored/SalesCopy.mdf")).empty());
}

}  // namespace
