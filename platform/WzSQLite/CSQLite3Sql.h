// FX::CSQLite3Sql: SQL text together with the values bound to its "?" marks.
//
// Values travel beside the text, never inside it, so a name such as O'Neil
// needs no quoting. Pieces of SQL (a condition, a set list) are built the same
// way and joined with operator+, which keeps the values in the order of their
// marks.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace FX {

// One bound value: NULL, a 64-bit integer or a text.
using CSQLite3Value = std::variant<std::monostate, int64_t, std::string>;

struct CSQLite3Sql {
    CSQLite3Sql() = default;
    CSQLite3Sql(std::string sql) : text(std::move(sql)) {}  // NOLINT: plain text converts implicitly
    CSQLite3Sql(const char* sql) : text(sql ? sql : "") {}  // NOLINT
    CSQLite3Sql(std::string sql, std::vector<CSQLite3Value> values)
        : text(std::move(sql)), params(std::move(values)) {}

    bool empty() const { return text.empty(); }

    std::string text;
    std::vector<CSQLite3Value> params;
};

inline CSQLite3Sql operator+(CSQLite3Sql left, const CSQLite3Sql& right) {
    left.text += right.text;
    left.params.insert(left.params.end(), right.params.begin(), right.params.end());
    return left;
}

}  // namespace FX
