// FindGivenFile: finds files by name, ignoring case, in a folder tree.
#pragma once

#include <map>
#include <set>
#include <string>

#include "JxSQLCommon/records/SqlStringUtils.h"

// Searches `folder` and its sub-folders, depth first in name order, for the
// files named in `wanted` (case ignored) and records each as name -> full
// path in `found`; the first path met for a name is kept. Stops as soon as
// every wanted name is found. Links are not followed. A folder that cannot
// be listed adds nothing.
void FindGivenFile(std::string folder, std::set<std::string, __less_nocase_cmp> wanted,
                   std::map<std::string, std::string, __less_nocase_cmp>& found);
