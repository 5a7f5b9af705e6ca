// The backup domain's choice of indexing version.
#pragma once

#include <cstdint>

// Sets useV2 from the domain's property "useIndexingV2" (model section
// "domain"); 0 on success, a code of AppModel.h otherwise (useV2 unchanged).
// The two numbers name the entity asked about; the domain-wide answer holds
// for all of them.
int shouldUseIndexingV2(uint64_t entityId, int entityType, bool& useV2);
