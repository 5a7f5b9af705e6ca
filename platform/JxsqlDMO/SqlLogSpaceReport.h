// SqlLogSpaceReport: the log-space report of an instance, one entry per
// database (the answer SQL Server gives to a log-space query): the log's size
// in MB and the part of it in use, in percent.
//
// The classes are records of the management layer, not catalogued messages
// of the agent's protocols.
#pragma once

#include "Messages/CNMessageBase.h"

class SqlLogSpaceEntry : public CNMessageBase {
public:
    SqlLogSpaceEntry() : CNMessageBase(34, 901) {}
    static constexpr CNFieldId kDatabaseName{1, 1};   // string
    static constexpr CNFieldId kLogSizeMB{5, 5};      // int64
    static constexpr CNFieldId kUsedPercent{6, 6};    // int64, 0 to 100
};

class SqlLogSpaceReport : public CNMessageBase {
public:
    SqlLogSpaceReport() : CNMessageBase(34, 900) {}
    static constexpr CNFieldId kEntries{1, 1};   // list of SqlLogSpaceEntry
};
