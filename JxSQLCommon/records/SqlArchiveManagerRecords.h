// Value records exchanged with the archive manager and the media layer: the
// archive files of a snapshot job, the last archive file of a cycle, the
// arguments of an archive creation, mount paths and client details.
//
// Numbers start at zero; texts and lists start empty and are copied deeply
// with the record. Members the jobs do not read yet carry neutral names
// (valueN) in the order the archive manager gives them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One archive file of a snapshot job.
struct GetArchFileListForJobRetCC_t {
    uint64_t value1 = 0;  // first field, passed on to the cycle look-up
    uint64_t value2 = 0;
    uint64_t value3 = 0;
    uint64_t archiveFileId = 0;
    uint64_t value5 = 0;
    uint64_t value6 = 0;
    uint64_t archiveFileType = 0;  // 6: an archive file whose cycle end is looked up
    uint64_t metadataValue = 0;    // passed to the metadata reader
    std::string text;
};

// The archive manager's answer on a snapshot job: its media agent and archive files.
struct GetArchFileInfoForSnapJob_Ret_t {
    uint64_t value1 = 0;
    uint64_t value2 = 0;
    uint64_t value3 = 0;
    uint64_t value4 = 0;
    uint64_t value5 = 0;
    uint64_t value6 = 0;
    std::string mediaAgentName;  // client name of the media agent
    std::vector<GetArchFileListForJobRetCC_t> archiveFiles;
};

// The question for the last archive file of a cycle.
struct GetLastAfileOfCycleArgs_t {
    uint64_t archiveFileId = 0;
    uint64_t value2 = 0;
    uint64_t value3 = 0;         // the archive-file entry's first field
    uint64_t archiveFileType = 0;
};

// The last archive file of a cycle.
struct GetLastAfileOfCycleRet_t {
    uint64_t archiveFileId = 0;
    uint64_t value2 = 0;
    uint64_t timeStamp = 0;
    std::string text;
};

// Arguments of an archive creation for a snapshot backup.
struct CreateArgs_t {
    const char* text = "";
    uint32_t backupType = 0;  // 1 full, 2 log, 4 differential
    uint32_t flag = 0;
    uint64_t applicationNumber = 0;
    uint64_t clientId = 0;
    uint32_t applicationType = 0;
    uint64_t instanceId = 0;
};

// A mount path of a media agent's library.
struct MountpathInfo_t {
    uint64_t mountPathId = 0;
    uint64_t value2 = 0;
    std::string mountPath;
    std::string mediaAgentName;
};

// A client as the archive manager names it.
struct ClientDetails {
    uint64_t clientId = 0;
    uint64_t value2 = 0;
    std::string clientName;
    std::string hostName;
};
