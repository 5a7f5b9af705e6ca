// The on-demand collect files of the availability-group backups: one item
// per line, so no item may contain a line break.
#pragma once

#include <string>
#include <vector>

// The first item of `items` that cannot stand on a line of its own (it
// contains a line break), or null when every item can.
const std::string* sqlFindUnwritableCollectItem(const std::vector<std::string>& items);
