// LSN order: comparison by value and its sort key in C++ and in SQL.
#include "JxSQLCommon/state/LsnOrder.h"

#include <cstdio>

namespace {

std::string WithoutLeadingZeros(const std::string& lsn) {
    const size_t first = lsn.find_first_not_of('0');
    return first == std::string::npos ? std::string() : lsn.substr(first);
}

}  // namespace

bool IsDecimalLSN(const std::string& lsn) {
    return !lsn.empty() && lsn.size() <= kMaxLSNDigits && lsn.find_first_not_of("0123456789") == std::string::npos;
}

int CompareLSN(const std::string& a, const std::string& b) {
    const std::string left = WithoutLeadingZeros(a);
    const std::string right = WithoutLeadingZeros(b);
    if (left.size() != right.size()) return left.size() < right.size() ? -1 : 1;
    return left.compare(right);
}

std::string LSNSortKey(const std::string& lsn) {
    const std::string digits = WithoutLeadingZeros(lsn);
    char length[16];
    std::snprintf(length, sizeof length, "%04zu", digits.size());
    return length + digits;
}

std::string LSNSortKeySql(const std::string& column) {
    return "(printf('%04d', length(ltrim(" + column + ", '0'))) || ltrim(" + column + ", '0'))";
}
