// DB_LOCALITY: which kind of lock file guards a state database.
#pragma once

enum DB_LOCALITY {
    DB_LOCALITY_DEFAULT = 0,     // CLockFileBase
    DB_LOCALITY_1MIN_RPO = 1,    // JX1MinRPOLockFile; the log-information database
};
