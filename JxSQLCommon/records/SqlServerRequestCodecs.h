// XDR codecs of the requests a job sends to the central server for database
// auto-discovery, restore-task options (database and Analysis Services) and
// archive-file lists, with their replies.
#pragma once

// Registers those request and reply records with the network layer's codec
// registry; called by SqlRegisterRecordCodecs.
void SqlRegisterServerRequestRecords();
