// CSQLDump: the backup job of a log backup taken as transaction-log dumps.
// Instead of streaming each database's log through the virtual device, the
// job hands the whole subclient to the dump library ("PerformSQLDump" of
// libJxSQLPmnOSC.so), which writes the dumps onto the disk library. The job
// keeps only the databases that qualify, rewrites the collect file for the
// library, gathers what the library needs into its SubClientCache, records
// each database's result in the job status tab and keeps the cache: in the
// settings store, or, in an availability-group child, with the master.
//
// Any job that is not a plain log job runs the CSQLBackup operations.
//
// Files:
//   CSQLDump.cpp         the two job operations, the dump and what follows it
//   CSQLDumpDetails.cpp  the fetches that fill the cache
#pragma once

#include <cstdint>
#include <string>

#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SubClientCache.h"

class CSQLDump : public CSQLBackup {
public:
    CSQLDump() = default;
    ~CSQLDump() override = default;

    bool generateCollectFile() override;
    bool doDbSubclientBackup() override;

    // The fetches (subclient, instance, client, generic options, and the
    // group for a child), stopping at the first that fails.
    virtual bool PreTLDump();
    // Loads the dump library and runs its dump over the cache.
    virtual bool DoTLDump();
    // Keeps the cache: sent to the master in a child, else persisted.
    virtual bool PostTLDump();

    // Whether the subclient runs on a dump-sweep schedule that needs no
    // central server.
    bool isCSLessDumpSubClient(unsigned long jxCellId, unsigned long subclientId);
    bool FetchSubClientDetails();
    bool FetchInstanceDetails();
    bool FetchClientDetails();
    bool FetchGenericOptions();
    bool FetchAGDetails();
    // "SQLTimeout_<instance>" of section "MSSQLAgent"; 0 when absent.
    uint64_t GetSQLTimeout(const std::string& instance);
    // Sends the cache text to the master process; false when this is no
    // child or the bounded send failed.
    bool SendDumpInfoToMasterProcess();
    // Whether the database is to be dumped; a database that is not is
    // recorded as skipped with its reason.
    bool DoesDatabaseQualify(const std::string& db);
    // One status-tab row per database of the dump results.
    void UpdateDBStatus();

protected:
    SubClientCache m_subClientCache;
    uint32_t m_dumpType = 4;  // 6 for an availability-group client
    // The instance did not answer: no database qualifies, and the job fails.
    bool m_bInstanceUnreachable = false;
};
