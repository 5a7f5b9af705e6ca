// Small string helpers shared by the jobs and the request layer.
#include "JxSQLCommon/records/SqlStringUtils.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

#include "WzUtils/FXErrorUtil.h"

CWzError PaddLSN(const std::string& in, std::string& out, std::size_t width) {
    if (in.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "in is empty");
    if (in.size() > width) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "String is too long");
    out = std::string(width - in.size(), '0') + in;
    return CWzError::Success();
}

std::string operator+(const std::string& text, int number) { return text + std::to_string(number); }

const char* PRINT_STR(const std::string& text) { return text.empty() ? "" : text.c_str(); }

bool caseIgnoreCompare::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

bool __less_nocase_cmp::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

bool InsensitiveCompare::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}
