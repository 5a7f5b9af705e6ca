// SnapMountRegistry: mount records as text files, one "key<TAB>value..." a
// line; texts are escaped so that tabs and line ends in paths or metadata
// cannot break a line apart.
#include "JXSnapHandler/SnapMountRegistry.h"

#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <sstream>

#include "JXSnapHandler/SnapStoreText.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"

namespace {

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case '\\': out += '\\'; break;
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            default: return false;
        }
    }
    return true;
}

using snapstore::Fields;
using snapstore::ParseUnsigned;
bool ParseSigned(const std::string& text, int64_t& value) {
    uint64_t magnitude = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!ParseUnsigned(negative ? text.substr(1) : text, magnitude) || magnitude > INT64_MAX) return false;
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool ParseInt(const std::string& text, int& value) {
    int64_t wide = 0;
    if (!ParseSigned(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
    value = static_cast<int>(wide);
    return true;
}

}  // namespace

std::string SnapMountRegistry::Directory() { return wz::PlatformPath("snapshots/mounts"); }

std::string SnapMountRegistry::FilePath(uint64_t snapJobId, uint64_t jobId) {
    return Directory() + "/" + std::to_string(snapJobId) + "_" + std::to_string(jobId);
}

int64_t SnapMountRegistry::NowSeconds() { return wz::NowTicks() / 10000000 - 11644473600LL; }

std::string SnapMountRegistry::Encode(const SnapMountRecord& record) {
    std::ostringstream out;
    out << "snapJob\t" << record.snapJobId << "\n"
        << "job\t" << record.jobId << "\n"
        << "status\t" << record.mountStatus << "\n"
        << "reserveUntil\t" << record.reserveUntil << "\n";
    for (const SnapMountRecord::Volume& v : record.volumes) {
        out << "volume\t" << v.volumeId << "\t" << Escape(v.sourcePath) << "\t" << Escape(v.mountPath) << "\n";
    }
    for (const SMMetaDataInfo& m : record.metadata) {
        out << "meta\t" << m.getMetaDataType() << "\t" << m.getRefType() << "\t" << m.getRefId() << "\t"
            << Escape(m.getMetaData()) << "\n";
    }
    return out.str();
}

bool SnapMountRegistry::Decode(const std::string& text, SnapMountRecord& record) {
    record = SnapMountRecord();
    std::istringstream lines(text);
    std::string line;
    bool haveSnap = false, haveJob = false;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = Fields(line);
        const std::string& key = f[0];
        if (key == "snapJob" && f.size() == 2) {
            if (!ParseUnsigned(f[1], record.snapJobId)) return false;
            haveSnap = true;
        } else if (key == "job" && f.size() == 2) {
            if (!ParseUnsigned(f[1], record.jobId)) return false;
            haveJob = true;
        } else if (key == "status" && f.size() == 2) {
            if (!ParseInt(f[1], record.mountStatus)) return false;
        } else if (key == "reserveUntil" && f.size() == 2) {
            if (!ParseSigned(f[1], record.reserveUntil)) return false;
        } else if (key == "volume" && f.size() == 4) {
            SnapMountRecord::Volume v;
            uint64_t id = 0;
            if (!ParseUnsigned(f[1], id) || id > UINT32_MAX || !Unescape(f[2], v.sourcePath) ||
                !Unescape(f[3], v.mountPath)) {
                return false;
            }
            v.volumeId = static_cast<uint32_t>(id);
            record.volumes.push_back(v);
        } else if (key == "meta" && f.size() == 5) {
            SMMetaDataInfo m;
            int type = 0, refType = 0;
            uint64_t refId = 0;
            std::string data;
            if (!ParseInt(f[1], type) || !ParseInt(f[2], refType) || !ParseUnsigned(f[3], refId) ||
                !Unescape(f[4], data)) {
                return false;
            }
            m.setMetaDataType(type);
            m.setRefType(refType);
            m.setRefId(refId);
            m.setMetaData(data);
            record.metadata.push_back(m);
        } else {
            return false;
        }
    }
    return haveSnap && haveJob;
}

int SnapMountRegistry::Load(uint64_t snapJobId, uint64_t jobId, SnapMountRecord& record) {
    std::string text;
    if (!wz::ReadSmallFile(FilePath(snapJobId, jobId), text)) return errno == ENOENT ? 0 : -1;
    if (!Decode(text, record) || record.snapJobId != snapJobId || record.jobId != jobId) return -1;
    return 1;
}

bool SnapMountRegistry::Store(const SnapMountRecord& record) {
    if (wz::MakeDirectoryTree(Directory()) != 0) return false;
    return wz::WriteFileAtomically(FilePath(record.snapJobId, record.jobId), Encode(record));
}

bool SnapMountRegistry::Remove(uint64_t snapJobId, uint64_t jobId) {
    return wz::Fs().Unlink(FilePath(snapJobId, jobId)) == 0 || errno == ENOENT;
}

std::vector<SnapMountRecord> SnapMountRegistry::List(std::vector<std::string>* damaged) {
    std::vector<SnapMountRecord> records;
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(Directory(), names) != 0) return records;
    for (const std::string& name : names) {
        if (name.find(".tmp.") != std::string::npos) continue;  // a writer's temporary file
        std::string text;
        SnapMountRecord record;
        if (!wz::ReadSmallFile(Directory() + "/" + name, text) || !Decode(text, record) ||
            name != std::to_string(record.snapJobId) + "_" + std::to_string(record.jobId)) {
            if (damaged != nullptr) damaged->push_back(name);
            continue;
        }
        records.push_back(record);
    }
    return records;
}
