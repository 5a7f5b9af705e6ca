// SettingsFile: INI-style settings under the platform root.
#include "JxLib/SettingsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "JxLib/JxNamedMutex.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

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
    if (slash != std::string::npos && slash > 0 && wz::MakeDirectoryTree(m_path.substr(0, slash)) != 0) return false;
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
    // Unique per process and per write, so concurrent writers never share a
    // temporary file.
    static std::atomic<unsigned> serial{0};
    std::string tmp = m_path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(serial.fetch_add(1));
    bool written;
    {
        std::ofstream f(tmp, std::ios::trunc);
        written = f && (f << out.str()) && f.flush();
    }
    if (written && std::rename(tmp.c_str(), m_path.c_str()) == 0) return true;
    std::remove(tmp.c_str());
    return false;
}

bool SettingsFile::Update(const std::function<bool(Sections&)>& change) {
    // Writers of one file take turns (threads and processes alike), so a
    // change made between another writer's load and store is never lost.
    JxNamedMutex turn("settings file " + m_path);
    if (!turn.lock(kUpdateWaitMs)) return false;
    Sections sections = Load();
    bool stored = change(sections) && Store(sections);
    turn.unlock();
    return stored;
}

bool SettingsFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    // Values are single lines; a line break would split the entry.
    if (key.empty() || key.find_first_of("=\n\r[]") != std::string::npos ||
        value.find_first_of("\n\r") != std::string::npos) {
        return false;
    }
    return Update([&](Sections& sections) {
        sections[section][key] = value;
        return true;
    });
}

bool SettingsFile::Remove(const std::string& section, const std::string& key) {
    return Update([&](Sections& sections) {
        auto s = sections.find(section);
        return s != sections.end() && s->second.erase(key) != 0;
    });
}
