// Handlers whose requests this library does not answer yet: each receives its
// request and sends nothing; the request loop releases the message. A
// handler moves out of this file into the file of its feature when built.
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

bool CSQLClientDll::AttachDatabaseOnInstance() { return false; }
bool CSQLClientDll::CreateUNCPaths() { return false; }
bool CSQLClientDll::DeleteUNCPaths() { return false; }
bool CSQLClientDll::CreateDirectoryOnRequest() { return false; }
bool CSQLClientDll::DeleteDirectoryOnRequest() { return false; }
bool CSQLClientDll::GetRemoteFileSize() { return false; }
bool CSQLClientDll::CopySingleRemoteFile() { return false; }
bool CSQLClientDll::RetrieveFilestreamInfo() { return false; }
bool CSQLClientDll::GetArchiveInfo() { return false; }
unsigned long CSQLClientDll::CheckSourceConnectivity() { return 0; }
unsigned long CSQLClientDll::handleSqlXmlMsg() { return 0; }
bool CSQLClientDll::AGTLBackupStaging() { return false; }
bool CSQLClientDll::UpdateTLDumpCache() { return false; }
bool CSQLClientDll::updateDatabaseStatus() { return false; }
