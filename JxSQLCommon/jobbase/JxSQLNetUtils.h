// JxSQLNetUtils: network shares and long-path forms of paths.
//
// This platform publishes no network shares: CreateUNCPath always reports
// failure and leaves the caller's buffer as it was, and DeleteNetWorkShare
// has nothing to remove and reports success. The long-path conversion is
// text work on backslash paths of the other platform's form, kept for peers
// that send them.
#pragma once

class JxSQLNetUtils {
public:
    static bool CreateUNCPath(const char* path, char* uncPath, const char* machine);
    static bool DeleteNetWorkShare(const char* share, const char* machine);

    // Writes the long-path form of `path` into `output`, which holds
    // `outputSize` wide characters (terminator included):
    //   a path of at most 3 characters, one already in long form ("\\?\",
    //   "\\?\UNC\") or a device path ("\\.") unchanged; a UNC path
    //   "\\server\share" as "\\?\UNC\server\share"; any other path with
    //   "\\?\" before it.
    // False, with `output` unwritten, when an argument is missing or the
    // result does not fit.
    static bool MakeLongPathRequest(const wchar_t* path, wchar_t* output, int outputSize);
};
