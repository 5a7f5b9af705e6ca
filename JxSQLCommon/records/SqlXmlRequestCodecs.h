// XDR codec of the one-text records (SQLXmlTextRecord_t): the XML document
// travels as one string.
#pragma once

#include <initializer_list>

// Registers the one-text record under each of `codes`.
void SqlRegisterXmlTextRecords(std::initializer_list<unsigned long> codes);

// Registers the request and reply codes of SqlXmlRequestRecords.h with the
// network layer's codec registry; called by SqlRegisterRecordCodecs.
void SqlRegisterXmlRequestRecords();
