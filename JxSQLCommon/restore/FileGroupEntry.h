// FileGroupEntry: the parts of a database entry of a file or file-group
// restore. The entry's name packs them with the control character 0x12:
// "database 0x12 file group 0x12 file" names a file; "database 0x12 name"
// names a file group or a file (a file group when the backup has a file
// group of that name).
#pragma once

#include <string>

inline constexpr char kFileGroupSeparator = '\x12';

struct FileGroupEntry {
    std::string database;   // the part before the first separator (the whole name without one)
    std::string fileGroup;  // between the first and second separators; empty with fewer than two
    std::string name;       // after the last separator: the file or file group restored
    int separators = 0;     // how many separators the name holds

    // Whether the entry names a file for certain (three parts).
    bool namesFile() const { return separators >= 2; }
};

FileGroupEntry SplitFileGroupEntry(const std::string& entryName);
