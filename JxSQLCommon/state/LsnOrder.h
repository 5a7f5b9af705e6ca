// LSN order: log sequence numbers are decimal numbers of any length kept as
// text, so "1000" comes after "999" although it sorts before it as text.
//
// Two LSNs compare by value: leading zeros are dropped, then the shorter
// number is the smaller one, and numbers of one length compare as text. The
// same order is available in SQL as a sort key (a 4-digit length followed by
// the digits), so a query can compare and sort by it and an index over the
// key serves both.
#pragma once

#include <string>

// True for a non-empty text of decimal digits no longer than kMaxLSNDigits.
bool IsDecimalLSN(const std::string& lsn);

// Longest LSN the SQL sort key orders correctly.
constexpr size_t kMaxLSNDigits = 9999;

// <0, 0 or >0 as `a` is below, equal to or above `b` as a number. Texts
// that are not decimal LSNs compare by the same rule on their characters.
int CompareLSN(const std::string& a, const std::string& b);

// The sort key of an LSN: the length of its digits without leading zeros as
// four digits, then those digits ("0998" -> "0003998").
std::string LSNSortKey(const std::string& lsn);

// The same sort key computed in SQL over a text column.
std::string LSNSortKeySql(const std::string& column);
