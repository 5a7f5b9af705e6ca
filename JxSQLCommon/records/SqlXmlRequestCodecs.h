// XDR codecs of the one-text records of SqlXmlRequestRecords.h.
#pragma once

// Registers the request and reply codes of those records with the network
// layer's codec registry; called by sqlRegisterRecordCodecs.
void SqlRegisterXmlRequestRecords();
