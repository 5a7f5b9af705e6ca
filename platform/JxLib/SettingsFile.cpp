// SettingsFile: INI-style settings under the platform root.
#include "JxLib/SettingsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "WzUtils/PlatformRoot.h"

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

}  // namespace

SettingsFile::Sections SettingsFile::Load() const {
    Sections sections;
    std::ifstream in(m_path);
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';') continue;
        if (t.front() == '[' && t.back() == ']') {
            current = Trim(t.substr(1, t.size() - 2));
            continue;
        }
        size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        sections[current][Trim(t.substr(0, eq))] = Trim(t.substr(eq + 1));
    }
    return sections;
}

std::optional<std::string> SettingsFile::Get(const std::string& section, const std::string& key) const {
    Sections sections = Load();
    auto s = sections.find(section);
    if (s == sections.end()) return std::nullopt;
    auto k = s->second.find(key);
    if (k == s->second.end()) return std::nullopt;
    return k->second;
}

bool SettingsFile::Store(const Sections& sections) const {
    size_t slash = m_path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !wz::MakeDirectories(m_path.substr(0, slash))) return false;
    std::ostringstream out;
    auto top = sections.find("");
    if (top != sections.end()) {
        for (const auto& [k, v] : top->second) out << k << '=' << v << '\n';
    }
    for (const auto& [name, keys] : sections) {
        if (name.empty()) continue;
        out << '[' << name << "]\n";
        for (const auto& [k, v] : keys) out << k << '=' << v << '\n';
    }
    std::string tmp = m_path + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream f(tmp, std::ios::trunc);
        if (!f) return false;
        f << out.str();
        if (!f.flush()) return false;
    }
    return std::rename(tmp.c_str(), m_path.c_str()) == 0;
}

bool SettingsFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    // Values are single lines; a line break would split the entry.
    if (key.empty() || key.find_first_of("=\n\r[]") != std::string::npos ||
        value.find_first_of("\n\r") != std::string::npos) {
        return false;
    }
    Sections sections = Load();
    sections[section][key] = value;
    return Store(sections);
}

bool SettingsFile::Remove(const std::string& section, const std::string& key) {
    Sections sections = Load();
    auto s = sections.find(section);
    if (s == sections.end() || s->second.erase(key) == 0) return false;
    return Store(sections);
}
