// Value records the management layer fills for its callers.
//
// Lists run "in step": element i of every list of a record describes the
// same instance or database.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

// One file of a database: file id, type (0 data, 1 log, 2 FILESTREAM), size
// in bytes and the number of its file group; then its logical and physical
// name.
struct SqlDbFile {
    uint64_t fileId = 0;
    uint64_t type = 0;
    uint64_t size = 0;
    uint64_t fileGroupId = 0;
    std::string logicalName;
    std::string physicalName;
};

// One file group with its data files.
struct SqlFileGroup {
    uint64_t number = 0;
    std::string name;
    std::list<SqlDbFile> files;
};

// The file groups of one database (its log files belong to none).
struct DatabaseContents_t {
    std::list<SqlFileGroup> fileGroups;
};

// Instances of a host: name ("HOST" or "HOST/INSTANCE"), version, clustered
// ("yes"/"no") and service state ("running"/"stopped").
struct SQLServerInfo_t {
    std::list<std::string> instances;
    std::list<std::string> versions;
    std::list<std::string> clustered;
    std::list<std::string> states;
};

// Databases of an instance: name, database id, creation time (seconds since
// 1970) and state code (SqlDbState). Filled for every database-list request,
// so kept in vectors: no allocation per element.
struct DatabaseInfo_11_t {
    std::vector<std::string> names;
    std::vector<uint64_t> ids;
    std::vector<uint64_t> creationTimes;
    std::vector<uint64_t> states;
};

// Databases of an instance in the older form: name, database id as text,
// creation time (seconds since 1970).
struct DatabaseInfo_t {
    std::vector<std::string> names;
    std::vector<std::string> ids;
    std::vector<uint64_t> creationTimes;
};

// Backup sets to remove from one instance's backup history.
struct InstanceNameAndBackupSetIds {
    std::string instanceName;
    std::list<uint64_t> backupSetIds;
};
