// Encoding and decoding of engine streams.
#include "JxSQLVDIBase/VdiStreamFormat.h"

#include <cstring>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzCrc32c.h"

namespace {

constexpr char kHeaderMagic[8] = {'J', 'X', 'V', 'D', 'I', 'S', 'T', 'M'};
constexpr uint32_t kChunkMagic = 0x4B43584A;  // "JXCK"

class Writer {
public:
    template <typename T>
    void Put(T v) {
        m_out.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void Text(const std::string& s) {
        Put<uint32_t>(static_cast<uint32_t>(s.size()));
        m_out.append(s);
    }
    std::string& Out() { return m_out; }

private:
    std::string m_out;
};

class Reader {
public:
    Reader(const char* data, size_t size) : m_data(data), m_size(size) {}
    template <typename T>
    bool Get(T& v) {
        if (m_size - m_at < sizeof v) return false;
        std::memcpy(&v, m_data + m_at, sizeof v);
        m_at += sizeof v;
        return true;
    }
    bool Text(std::string& s) {
        uint32_t n = 0;
        if (!Get(n) || n > 4096 || m_size - m_at < n) return false;
        s.assign(m_data + m_at, n);
        m_at += n;
        return true;
    }

private:
    const char* m_data;
    size_t m_size;
    size_t m_at = 0;
};

CWzError Bad(const FXCodeLocation& where, const char* what) {
    return FXErrorUtil::ErrorHResult(where, WZ_E_INVALIDARG, "damaged stream header: %s", what);
}

}  // namespace

std::string VdiEncodeStreamHeader(const VdiStreamHeader& h) {
    Writer w;
    w.Out().append(kHeaderMagic, 8);
    w.Put<uint32_t>(VdiStreamHeader::kVersion);
    w.Put<uint32_t>(0);  // total length, filled below
    w.Put<uint64_t>(h.backupSetId);
    w.Put<uint32_t>(h.stream);
    w.Put<uint32_t>(h.streams);
    w.Put<char>(h.type);
    w.Put<char>(h.copyOnly ? 1 : 0);
    w.Text(h.database);
    w.Text(h.recoveryModel);
    w.Put<uint64_t>(h.firstLsn);
    w.Put<uint64_t>(h.lastLsn);
    w.Put<uint64_t>(h.checkpointLsn);
    w.Put<uint64_t>(h.databaseBackupLsn);
    w.Put<int64_t>(h.startTime);
    w.Put<uint32_t>(static_cast<uint32_t>(h.files.size()));
    for (const VdiStreamFile& f : h.files) {
        w.Put<uint32_t>(f.id);
        w.Put<uint32_t>(f.type);
        w.Put<uint64_t>(f.size);
        w.Text(f.logicalName);
        w.Text(f.fileGroup);
        w.Text(f.path);
    }
    std::string& out = w.Out();
    uint32_t total = static_cast<uint32_t>(out.size() + 4);
    std::memcpy(&out[12], &total, 4);
    uint32_t crc = wz::Crc32c(0, out.data(), out.size());
    out.append(reinterpret_cast<const char*>(&crc), 4);
    return out;
}

size_t VdiStreamHeaderLength(const char* first16) {
    if (std::memcmp(first16, kHeaderMagic, 8) != 0) return 0;
    uint32_t version = 0, total = 0;
    std::memcpy(&version, first16 + 8, 4);
    std::memcpy(&total, first16 + 12, 4);
    if (version != VdiStreamHeader::kVersion || total < 20 || total > VdiStreamHeader::kMaxSize) return 0;
    return total;
}

CWzError VdiDecodeStreamHeader(const char* data, size_t size, VdiStreamHeader& h) {
    if (size < 16) return Bad(FXCODELOC, "cut short");
    size_t total = VdiStreamHeaderLength(data);
    if (total == 0) return Bad(FXCODELOC, "not a stream of this engine");
    if (total > size) return Bad(FXCODELOC, "cut short");
    uint32_t crc = 0;
    std::memcpy(&crc, data + total - 4, 4);
    if (wz::Crc32c(0, data, total - 4) != crc) return Bad(FXCODELOC, "checksum mismatch");
    Reader r(data + 16, total - 20);
    uint32_t count = 0;
    char copyOnly = 0;
    bool ok = r.Get(h.backupSetId) && r.Get(h.stream) && r.Get(h.streams) && r.Get(h.type) && r.Get(copyOnly) &&
              r.Text(h.database) && r.Text(h.recoveryModel) && r.Get(h.firstLsn) && r.Get(h.lastLsn) && r.Get(h.checkpointLsn) &&
              r.Get(h.databaseBackupLsn) && r.Get(h.startTime) && r.Get(count);
    if (!ok || count > 32767) return Bad(FXCODELOC, "bad fields");
    h.copyOnly = copyOnly != 0;
    h.files.clear();
    for (uint32_t i = 0; i < count; ++i) {
        VdiStreamFile f;
        if (!(r.Get(f.id) && r.Get(f.type) && r.Get(f.size) && r.Text(f.logicalName) && r.Text(f.fileGroup) &&
              r.Text(f.path))) {
            return Bad(FXCODELOC, "bad file list");
        }
        h.files.push_back(f);
    }
    if (h.streams == 0 || h.stream >= h.streams || h.streams > 64) return Bad(FXCODELOC, "bad stream numbers");
    if (h.type != 'D' && h.type != 'I' && h.type != 'L') return Bad(FXCODELOC, "bad backup type");
    return CWzError::Success();
}

uint32_t VdiChunkHeadCrc(const char* headBytes) {
    uint32_t crc = wz::Crc32c(0, headBytes, 12);
    return wz::Crc32c(crc, headBytes + 16, 16);
}

void VdiEncodeChunkHead(VdiChunkHead& head, const char* payload, char* out) {
    uint32_t magic = kChunkMagic, kind = static_cast<uint32_t>(head.kind);
    std::memcpy(out, &magic, 4);
    std::memcpy(out + 4, &kind, 4);
    std::memcpy(out + 8, &head.fileId, 4);
    std::memcpy(out + 16, &head.offset, 8);
    std::memcpy(out + 24, &head.length, 8);
    head.crc = wz::Crc32c(VdiChunkHeadCrc(out), payload, static_cast<size_t>(head.length));
    std::memcpy(out + 12, &head.crc, 4);
}

bool VdiDecodeChunkHead(const char* in, VdiChunkHead& head) {
    uint32_t magic = 0, kind = 0;
    std::memcpy(&magic, in, 4);
    std::memcpy(&kind, in + 4, 4);
    if (magic != kChunkMagic || kind < 1 || kind > 3) return false;
    head.kind = static_cast<VdiChunkKind>(kind);
    std::memcpy(&head.fileId, in + 8, 4);
    std::memcpy(&head.crc, in + 12, 4);
    std::memcpy(&head.offset, in + 16, 8);
    std::memcpy(&head.length, in + 24, 8);
    if (head.length > VdiChunkHead::kMaxLength) return false;
    if (head.kind == VdiChunkKind::End && head.length != VdiStreamTotals::kSize) return false;
    return true;
}

bool VdiChunkIntact(const char* headBytes, const VdiChunkHead& head, const char* payload) {
    return wz::Crc32c(VdiChunkHeadCrc(headBytes), payload, static_cast<size_t>(head.length)) == head.crc;
}
