// FXFile: file and directory-search helpers of the utility library.
#pragma once

class FXFile {
public:
    // One entry of a directory search (CFileData.h).
    class CFileData;
};
