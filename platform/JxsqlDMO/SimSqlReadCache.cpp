// Rows of read-only statements kept per connection, keyed on the file's stamp.
#include "JxsqlDMO/SimSqlReadCache.h"

#include <sqlite3.h>

#include <utility>

namespace {
// What one connection keeps: a session thread has one connection per
// catalogue, so this bounds the memory a thread can hold this way.
constexpr size_t kCacheBytes = 512 * 1024;
constexpr size_t kResultBytes = 256 * 1024;
constexpr size_t kResults = 64;
// Where SQLite keeps the 16 bytes it compares (file change counter onwards).
constexpr int kStampOffset = 24;
}  // namespace

bool SimSqlCachedRows::Append(sqlite3_stmt* stmt) {
    ++m_rows;
    for (size_t column = 0; column < m_columns; ++column) {
        const int c = static_cast<int>(column);
        Value value;
        // The type first: SQLite leaves it undefined once a value is converted.
        value.null = sqlite3_column_type(stmt, c) == SQLITE_NULL;
        value.integer = sqlite3_column_int64(stmt, c);
        const unsigned char* text = sqlite3_column_text(stmt, c);
        if (text != nullptr) {
            const size_t length = static_cast<size_t>(sqlite3_column_bytes(stmt, c));
            if (m_texts.size() + length > kResultBytes) return false;
            value.textOffset = static_cast<uint32_t>(m_texts.size());
            value.textLength = static_cast<uint32_t>(length);
            m_texts.append(reinterpret_cast<const char*>(text), length);
        }
        m_values.push_back(value);
    }
    return Bytes() <= kResultBytes;
}

const SimSqlCachedRows::Value* SimSqlCachedRows::At(size_t row, int column) const {
    if (column < 0 || static_cast<size_t>(column) >= m_columns || row >= m_rows) return nullptr;
    return &m_values[row * m_columns + static_cast<size_t>(column)];
}

bool SimSqlCachedRows::IsNull(size_t row, int column) const {
    const Value* value = At(row, column);
    return value == nullptr || value->null;
}

int64_t SimSqlCachedRows::Int(size_t row, int column) const {
    const Value* value = At(row, column);
    return value == nullptr ? 0 : value->integer;
}

std::string SimSqlCachedRows::Text(size_t row, int column) const {
    const Value* value = At(row, column);
    return value == nullptr ? std::string() : m_texts.substr(value->textOffset, value->textLength);
}

bool SimSqlReadCache::ReadStamp(sqlite3* db, SimSqlFileStamp& stamp) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr ||
        file->pMethods == nullptr) {
        return false;
    }
    // A short read (a file still empty or cut short) zero-fills and fails.
    return file->pMethods->xRead(file, stamp.data(), static_cast<int>(stamp.size()), kStampOffset) == SQLITE_OK;
}

void SimSqlReadCache::SetStamp(const SimSqlFileStamp& stamp) {
    if (Matches(stamp)) return;
    Clear();
    m_stamp = stamp;
    m_known = true;
}

std::shared_ptr<const SimSqlCachedRows> SimSqlReadCache::Find(const std::string& key) const {
    auto it = m_results.find(key);
    return it == m_results.end() ? nullptr : it->second;
}

void SimSqlReadCache::Store(std::string key, SimSqlCachedRows rows) {
    const size_t bytes = rows.Bytes() + key.size();
    if (bytes > kResultBytes) return;
    if (m_results.size() >= kResults || m_bytes + bytes > kCacheBytes) {
        m_results.clear();
        m_bytes = 0;
    }
    auto [it, added] = m_results.emplace(std::move(key), nullptr);
    if (!added) m_bytes -= it->second->Bytes() + it->first.size();
    it->second = std::make_shared<const SimSqlCachedRows>(std::move(rows));
    m_bytes += bytes;
}

void SimSqlReadCache::Clear() {
    m_results.clear();
    m_bytes = 0;
    m_known = false;
}
