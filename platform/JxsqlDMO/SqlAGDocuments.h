// The XML documents that describe availability groups: what the management
// layer's availability-group queries answer, built from the catalogue.
//
//   groups     App::SQLAvailabilityGroups (30, 145): field 1 lists one
//              App::SQLAvailabilityGroup per group.
//   one group  App::SQLAvailabilityGroup (30, 144): 1 guid, 5 name,
//              6 automated backup preference, 7 role of the local replica
//              ("PRIMARY", "SECONDARY", or "" when this instance is no
//              replica of it).
//   replicas   the group's App::SQLAvailabilityGroup with field 8 listing one
//              replica (30, 696) per replica: 1 server name, 2 role,
//              3 availability mode, 4 failover mode, 5 backup priority,
//              6 endpoint URL.
//   databases  App::SQLAvailabilityDatabases (30, 693): field 1 lists one
//              App::SQLAvailabilityDatabase (30, 692) per database of the
//              group on this instance: 1 name, 5 creation time (seconds since
//              1970), 6 database id, 7 synchronization state.
#pragma once

#include <string>

#include "WzUtils/CWzError.h"

class SimSqlDb;

// Each fills `xml` with the serialised document. An unknown group is an
// error (not an empty document) for the one-group, replica and database
// documents; the group list of an instance without groups is an empty list.
CWzError SqlAGGroupsDocument(SimSqlDb& db, const std::string& localServer, std::string& xml);
CWzError SqlAGGroupDocument(SimSqlDb& db, const std::string& localServer, const std::string& group,
                            bool withReplicas, std::string& xml);
CWzError SqlAGDatabasesDocument(SimSqlDb& db, const std::string& group, std::string& xml);
