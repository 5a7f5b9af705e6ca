// JXFile: file queries of the agent's utility library.
#pragma once

class JXFile {
public:
    // The size in bytes of the regular file `path` into `*size`. 0 on
    // success; 2 when the file does not exist (`*size` untouched); another
    // errno value when it cannot be read or is no regular file.
    static int getFileSize(const char* path, long long* size);
};
