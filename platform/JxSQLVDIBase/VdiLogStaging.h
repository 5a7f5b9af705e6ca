// Log staging: what the outside staging process does on a real server, here
// for the simulated instance. A transaction-log backup of one database is
// taken by the virtual-device engine on one stream and kept in a staging
// folder as a dump ("<file-safe name>_Log_Backup_<n>.bak", the stream as the
// engine wrote it) and its metadata twin (".xml", the engine's backup-set
// metadata text). Both are written under temporary names and renamed into
// place when complete, the dump before its twin, so a reader that sees the
// twin finds a whole dump. <n> is one more than the highest number already
// staged for the database, without zero padding.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "WzUtils/CWzError.h"

// Receives one block of a backup stream; false, with `failure` saying why,
// when it cannot keep it (the backup then ends with that reason).
using VdiStreamSink = std::function<bool(const char* data, size_t size, std::string& failure)>;

// Takes one backup of type `type` ('D', 'I' or 'L') of `database` on
// `instance` on one stream, handing the stream to `sink` block by block, and
// gives the engine's backup-set metadata text in `metadataXml`. The device is
// served as the data pipeline serves it: a statement that is merely slow is
// waited for, one that gives nothing for longer ends as timed out, and one
// the engine ended itself fails with the engine's own error.
CWzError VdiBackUpOnOneStream(const std::string& instance, const std::string& database, char type,
                              const VdiStreamSink& sink, std::string& metadataXml);

// The database name with each of : \ / * ? " < > | replaced by "_".
std::string VdiFileSafeName(const std::string& name);

// The subfolder of availability group `group` under the staging folder: the
// name, or for "a/b" the name "b_a", made file-safe as above.
std::string VdiAGStageSubfolder(const std::string& group);

// Stages one log backup of `database` on `instance` in `folder` (created
// when missing). `dumpPath` gets the dump's path.
CWzError VdiStageLogBackup(const std::string& instance, const std::string& database, const std::string& folder,
                           std::string& dumpPath);
