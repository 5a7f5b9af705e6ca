// Encoding and decoding of the simulated log records.
#include "JxsqlDMO/SqlSimLogRecord.h"

#include <cstring>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzCrc32c.h"

namespace {

constexpr char kMagic[4] = {'J', 'X', 'L', 'R'};
constexpr char kFileAddedMagic[4] = {'J', 'X', 'L', 'F'};

bool IsFileAdded(const char* header) { return std::memcmp(header, kFileAddedMagic, 4) == 0; }

template <typename T>
void Put(std::string& out, size_t at, T value) {
    std::memcpy(&out[at], &value, sizeof value);
}

template <typename T>
T Get(const char* in, size_t at) {
    T value;
    std::memcpy(&value, in + at, sizeof value);
    return value;
}

uint32_t ChecksumOf(const char* encoded, size_t size) {
    uint32_t crc = wz::Crc32c(0, encoded, 44);
    return wz::Crc32c(crc, encoded + SqlSimLogRecord::kHeaderSize, size - SqlSimLogRecord::kHeaderSize);
}

}  // namespace

std::string SqlSimAddedFileData(const std::string& logicalName, const std::string& fileGroup, const std::string& path) {
    return logicalName + '\0' + fileGroup + '\0' + path;
}

std::string SqlSimEncodeLogRecord(const SqlSimLogRecord& r) {
    std::string out(SqlSimLogRecord::kHeaderSize + r.mark.size() + r.data.size(), '\0');
    std::memcpy(&out[0], r.kind == SqlSimLogRecordKind::FileAdded ? kFileAddedMagic : kMagic, 4);
    Put<uint32_t>(out, 4, static_cast<uint32_t>(SqlSimLogRecord::kHeaderSize));
    Put<uint64_t>(out, 8, r.lsn);
    Put<int64_t>(out, 16, r.timeMs);
    Put<uint32_t>(out, 24, r.fileId);
    Put<uint32_t>(out, 28, static_cast<uint32_t>(r.mark.size()));
    Put<uint64_t>(out, 32, r.offset);
    Put<uint32_t>(out, 40, static_cast<uint32_t>(r.data.size()));
    std::memcpy(&out[SqlSimLogRecord::kHeaderSize], r.mark.data(), r.mark.size());
    std::memcpy(&out[SqlSimLogRecord::kHeaderSize + r.mark.size()], r.data.data(), r.data.size());
    Put<uint32_t>(out, 44, ChecksumOf(out.data(), out.size()));
    return out;
}

size_t SqlSimLogRecordLength(const char* h) {
    const bool known = std::memcmp(h, kMagic, 4) == 0 || IsFileAdded(h);
    if (!known || Get<uint32_t>(h, 4) != SqlSimLogRecord::kHeaderSize) return 0;
    uint32_t markLength = Get<uint32_t>(h, 28);
    uint32_t dataLength = Get<uint32_t>(h, 40);
    if (markLength > SqlSimLogRecord::kMaxMark || dataLength > SqlSimLogRecord::kMaxData) return 0;
    return SqlSimLogRecord::kHeaderSize + markLength + dataLength;
}

CWzError SqlSimDecodeLogRecord(const char* data, size_t size, SqlSimLogRecord& r, size_t& used) {
    used = 0;
    if (size < SqlSimLogRecord::kHeaderSize) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "log record cut short (%zu bytes)", size);
    }
    size_t length = SqlSimLogRecordLength(data);
    if (length == 0) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "not a log record");
    if (length > size) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "log record cut short (%zu of %zu bytes)",
                                         size, length);
    }
    uint32_t stored = Get<uint32_t>(data, 44);
    if (ChecksumOf(data, length) != stored) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "log record checksum mismatch");
    }
    r.kind = IsFileAdded(data) ? SqlSimLogRecordKind::FileAdded : SqlSimLogRecordKind::Page;
    r.lsn = Get<uint64_t>(data, 8);
    r.timeMs = Get<int64_t>(data, 16);
    r.fileId = Get<uint32_t>(data, 24);
    uint32_t markLength = Get<uint32_t>(data, 28);
    r.offset = Get<uint64_t>(data, 32);
    r.mark.assign(data + SqlSimLogRecord::kHeaderSize, markLength);
    r.data.assign(data + SqlSimLogRecord::kHeaderSize + markLength, length - SqlSimLogRecord::kHeaderSize - markLength);
    used = length;
    return CWzError::Success();
}
