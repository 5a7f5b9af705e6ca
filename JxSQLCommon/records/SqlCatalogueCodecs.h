// XDR codecs of the catalogue requests the plug-in serves: server list,
// login checks, cloud inventory, database list, file groups, database state,
// step-restore list, history pruning, availability groups, SharePoint list
// and Analysis Services remote partitions.
#pragma once

// Registers the request and reply records of those codes with the network
// layer's codec registry; called by SqlRegisterRecordCodecs.
void SqlRegisterCatalogueRecords();
