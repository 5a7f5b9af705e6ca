// Names of the files that belong to a dump backup file: its restore collect
// file ("x.bak" -> "x.bak.jxf") and its dump metadata file ("x.bak.jxf" in a
// folder -> "x.xml" in the same folder).
#pragma once

#include <string>

#include "WzUtils/CWzError.h"

// out = bakFile + ".jxf"; an empty bakFile is an invalid argument.
CWzError GetRestoreFileName(const std::string& bakFile, std::string& out);

// The dump metadata file of a restore collect file: the folder of
// `restoreFile` joined with its name, less ".jxf" and less a final ".bak"
// (any case), plus ".xml". A name that does not end in ".bak" once ".jxf" is
// removed is an invalid argument; out is set only on success.
CWzError GetXMLFileNameFromRestoreFileName(const std::string& restoreFile, std::string& out);
