#include "JxSQLMessageHandler/service/CSQLClientDll.h"
bool CSQLClientDll::RunSQLAppReadinessCheck(const std::string&, std::string&) { return false; }
int CSQLClientDll::ValidateSQLCloudCredentials(std::string&, std::string& reply) { reply.clear(); return 0; }
