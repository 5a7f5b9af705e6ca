// The download side of the index cache (indexing version 1): files a job
// uploaded with IndexCacheClient fetched back into a local folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Copies into `targetFolder` every file of the index cache whose name
// matches one of `filters` (shell patterns, as fnmatch reads them). The
// cache of the stand-in holds the files of every job side by side
// ("index/cache/<job id>/"), so a filter has to single out the job's own
// files. Returns the number of files copied, or -1 when the cache cannot be
// read or a file cannot be written; on failure the files copied by this
// call are removed again. The media agent, ids, time stamp and modes only
// name the cache and are not used by the stand-in.
int GetIndexFiles(const std::string& mediaAgentName, uint64_t backupDomainId, uint64_t appId, uint64_t timeStamp,
                  uint64_t jobId, int mode, int flags, const std::string& targetFolder,
                  const std::vector<std::string>* filters, void* reserved);
