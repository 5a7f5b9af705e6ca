// XDR codecs of the integrity-check records (SqlIntegrityCheckRecords.h).
#pragma once

// Registers the request and response records of the integrity check with the
// network layer's codec registry; called by SqlRegisterRecordCodecs.
void SqlRegisterIntegrityCheckRecords();
