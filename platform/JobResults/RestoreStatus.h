// Per-object restore status that a restore job writes to its job results.
#pragma once

enum RESTORE_STATUS_STRING_MAPPING {
    RESTORE_STATUS_FAILED = 3,
    RESTORE_STATUS_SKIPPED = 4,
    RESTORE_STATUS_RESTORED = 5,
    RESTORE_STATUS_VERIFIED = 13,
};
