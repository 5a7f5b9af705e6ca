// JxSQLNetUtils: the fixed share answers of this platform and the long-path
// conversion.
#include "JxSQLCommon/jobbase/JxSQLNetUtils.h"

#include <cwchar>
#include <string>
#include <string_view>

namespace {

constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.";
constexpr std::wstring_view kUncStart = L"\\\\";

}  // namespace

bool JxSQLNetUtils::CreateUNCPath(const char*, char*, const char*) { return false; }

bool JxSQLNetUtils::DeleteNetWorkShare(const char*, const char*) { return true; }

bool JxSQLNetUtils::MakeLongPathRequest(const wchar_t* path, wchar_t* output, int outputSize) {
    if (path == nullptr || output == nullptr || outputSize <= 0) return false;
    const std::wstring_view in(path);
    std::wstring result;
    if (in.size() <= 3 || in.starts_with(kLongUncPrefix) || in.starts_with(kLongPrefix) ||
        in.starts_with(kDevicePrefix)) {
        result = in;
    } else if (in.starts_with(kUncStart)) {
        result.append(kLongUncPrefix).append(in.substr(kUncStart.size()));
    } else {
        result.append(kLongPrefix).append(in);
    }
    if (result.size() + 1 > static_cast<size_t>(outputSize)) return false;
    std::wmemcpy(output, result.c_str(), result.size() + 1);
    return true;
}
