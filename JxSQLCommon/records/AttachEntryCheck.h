// Checks of the attach entries that travel between the snapshot metadata,
// the source job and the integrity proxy. A database name or file path is
// handed to SQL Server and written into logs and events: a control
// character in it (a line break above all) could make it name something
// else there, so such an entry is refused wherever it arrives.
#pragma once

#include <string>

#include "JxSQLCommon/records/SQLPmnMessages.h"

// True when `text` holds a byte below 0x20 or the byte 0x7F.
bool HasControlCharacter(const std::string& text);

// True when the entry's names or one of its file paths hold a control
// character.
bool AttachEntryHasControlCharacter(const SQLPmn::AttachDB& entry);

// `text` with each control character written as "\xNN", so that a refused
// name can be shown in a log line or an event argument.
std::string ShowControlCharacters(const std::string& text);
