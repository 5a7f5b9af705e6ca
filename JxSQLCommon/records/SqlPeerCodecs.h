// XDR codecs of the peer requests (SqlPeerRecords.h).
#pragma once

// Registers the request and reply records of the peer codes with the network
// layer's codec registry; called by SqlRegisterRecordCodecs.
void SqlRegisterPeerRecords();
