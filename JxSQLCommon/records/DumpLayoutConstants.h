// Names of the dump file layout: the extensions and folders of dump backups on
// a disk library, their restore collect, marker and metadata files, and the
// default port of an instance.
#pragma once

namespace sqlosc {

inline constexpr const char* BAK_EXT = ".bak";
inline constexpr const char* XML_EXT = ".xml";
inline constexpr const char* CONFIG_FNAME = "osc_config.xml";
inline constexpr const char* JOB_RESULTS_NAME = "JX_JobResults";
inline constexpr const char* OSC_SQL_COLLECTFILE = "OSCCollectFile.jxf";
inline constexpr const char* RESTORE_POSTFIX = ".jxf";
inline constexpr const char* LOG_END = "_log_backup_*.bak";
inline constexpr const char* RCF_EXT = ".rcf";
inline constexpr const char* MP_FOLDER = "dump";
inline constexpr const char* MARKER_EXT = ".rmf";
inline constexpr const char* METADATA_FOLDER = "meta";
inline constexpr const char* DEFAULT_SQL_PORT_NUMBER = "1433";

}  // namespace sqlosc
