// SimSqlReadCache: the rows of read-only statements a connection ran inside
// read scopes, kept for as long as the file shows no commit since.
//
// SQLite itself decides whether its page cache is still good by comparing 16
// bytes of the file header (change counter, page count, free-list head and
// count) that every commit of a rollback-journal database changes. The cache
// keys its rows on the same 16 bytes, read straight from the file, so a scope
// whose statements are all in the cache costs one read of the header instead
// of SQLite's lock, journal checks and header read, and no statement runs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The rows of one finished statement, as SQLite gave them through each
// accessor: every value's integer and text forms, and whether it is NULL.
class SimSqlCachedRows {
public:
    explicit SimSqlCachedRows(int columns) : m_columns(columns > 0 ? static_cast<size_t>(columns) : 0) {}

    // Adds the statement's current row; false when the rows would outgrow
    // what one result may keep.
    bool Append(sqlite3_stmt* stmt);

    size_t Rows() const { return m_rows; }
    size_t Bytes() const { return m_values.size() * sizeof(Value) + m_texts.size(); }
    // Row `row` (0-based) of column `column`; out of range reads as NULL.
    bool IsNull(size_t row, int column) const;
    int64_t Int(size_t row, int column) const;
    std::string Text(size_t row, int column) const;

private:
    struct Value {
        int64_t integer = 0;
        uint32_t textOffset = 0;
        uint32_t textLength = 0;
        bool null = true;
    };
    const Value* At(size_t row, int column) const;

    size_t m_columns;
    size_t m_rows = 0;
    std::vector<Value> m_values;
    std::string m_texts;
};

// The file-header bytes SQLite compares to know whether the file changed.
using SimSqlFileStamp = std::array<unsigned char, 16>;

class SimSqlReadCache {
public:
    // Reads the stamp of the connection's main file through SQLite's own file
    // handle (no lock is taken). False when it cannot be read.
    static bool ReadStamp(sqlite3* db, SimSqlFileStamp& stamp);

    bool Matches(const SimSqlFileStamp& stamp) const { return m_known && stamp == m_stamp; }
    // Makes `stamp` the state the kept rows belong to, dropping them when the
    // state is another.
    void SetStamp(const SimSqlFileStamp& stamp);

    std::shared_ptr<const SimSqlCachedRows> Find(const std::string& key) const;
    // Keeps `rows` for `key`; when the cache would grow past its bound it
    // starts again from empty.
    void Store(std::string key, SimSqlCachedRows rows);
    void Clear();

private:
    bool m_known = false;
    SimSqlFileStamp m_stamp{};
    size_t m_bytes = 0;
    std::unordered_map<std::string, std::shared_ptr<const SimSqlCachedRows>> m_results;
};
