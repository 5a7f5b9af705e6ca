// SettingsFile: an INI-style file of sections and keys under the platform root.
//
// Layout: keys before any "[section]" line belong to the top level (section
// ""); "key=value" lines; '#' or ';' start a comment line. Every read loads the
// file afresh, so values written by another process are seen at once; every
// write replaces the file atomically (temporary file, then rename), and
// writers take turns through a named mutex of the file, so concurrent writes
// of different keys all survive.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

class SettingsFile {
public:
    explicit SettingsFile(std::string path) : m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }

    std::optional<std::string> Get(const std::string& section, const std::string& key) const;
    bool Set(const std::string& section, const std::string& key, const std::string& value);
    bool Remove(const std::string& section, const std::string& key);

    using Sections = std::map<std::string, std::map<std::string, std::string>>;
    Sections Load() const;

private:
    // How long a writer waits for its turn, in platform milliseconds: ample,
    // as a turn lasts one file write and a dead writer frees it at once.
    static constexpr int64_t kUpdateWaitMs = 600000;

    bool Store(const Sections& sections) const;
    // Loads, applies `change` and stores when it returns true, all in the
    // writer's turn; false when any step fails or `change` declines.
    bool Update(const std::function<bool(Sections&)>& change);

    std::string m_path;
};
