// The table of cause and event codes stays one table: each code has one
// name, and no source defines or spells a code of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlJobCauses.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSourceRoot = JX_SOURCE_ROOT;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every `inline constexpr int kName = 0x...;` of the header, in order.
std::vector<std::pair<std::string, unsigned long>> HeaderCodes() {
    std::vector<std::pair<std::string, unsigned long>> codes;
    const std::string text = ReadText(kSourceRoot / "JxSQLCommon/records/SqlJobCauses.h");
    const std::regex definition(R"(inline constexpr int (k\w+) = (0x[0-9A-Fa-f]+);)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), definition); it != std::sregex_iterator(); ++it) {
        codes.emplace_back((*it)[1], std::stoul((*it)[2], nullptr, 16));
    }
    return codes;
}

TEST(SqlJobCauses, EachCodeHasOneNameAndEachNameOneCode) {
    const auto codes = HeaderCodes();
    ASSERT_GT(codes.size(), 90u) << "the header's definitions were not read";
    std::map<unsigned long, std::string> byValue;
    std::map<std::string, unsigned long> byName;
    for (const auto& [name, value] : codes) {
        EXPECT_TRUE(name.rfind("kCause", 0) == 0 || name.rfind("kEvent", 0) == 0) << name;
        auto [sameValue, newValue] = byValue.emplace(value, name);
        EXPECT_TRUE(newValue) << name << " and " << sameValue->second << " are both " << std::hex << value;
        EXPECT_TRUE(byName.emplace(name, value).second) << name << " is defined twice";
    }
    // What was read is what the code compiles against.
    EXPECT_EQ(byName.at("kCauseJobTerminated"), static_cast<unsigned long>(kCauseJobTerminated));
    EXPECT_EQ(byName.at("kCauseJobFileOpen"), static_cast<unsigned long>(kCauseJobFileOpen));
    EXPECT_EQ(byName.at("kCauseFreeText"), static_cast<unsigned long>(kCauseFreeText));
    EXPECT_EQ(byName.at("kEventLoginFailed"), static_cast<unsigned long>(kEventLoginFailed));
}

// A code spelled in the system's own sources outside the two tables: a
// second, private name for a cause or a message the tables already name.
TEST(SqlJobCauses, NoSourceSpellsACodeOfItsOwn) {
    const std::regex spelled(R"(\b0x(1[eE]0[0-9A-Fa-f]{5}|48000036)\b)");
    const std::vector<std::string> tables = {"JxSQLCommon/records/SqlJobCauses.h",
                                             "JxSQLCommon/records/SqlMessageCodes.h"};
    std::vector<std::string> found;
    for (const char* dir : {"JxSQLCommon", "JxSQLMessageHandler", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot / dir)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            const std::string relative = fs::relative(entry.path(), kSourceRoot).generic_string();
            if (std::find(tables.begin(), tables.end(), relative) != tables.end()) continue;
            std::istringstream lines(ReadText(entry.path()));
            std::string line;
            for (int number = 1; std::getline(lines, line); ++number) {
                if (std::regex_search(line, spelled))
                    found.push_back(relative + ":" + std::to_string(number) + ": " + line);
            }
        }
    }
    EXPECT_TRUE(found.empty()) << ::testing::PrintToString(found);
}

}  // namespace
