// The snapshot most snapshot-engine tests start from: database "Sales" of
// the simulated instance "HOST/INST", snapped as a full snapshot job.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxsqlDMO/SqlSimInstance.h"

namespace snaptest {

// The request that snaps "Sales" of `instance` as full snapshot job `jobId`.
inline JXSnapClientAPI::SnapRequest SalesRequest(uint64_t jobId, const std::string& metadataDirectory,
                                                 const std::string& instance = "HOST/INST") {
    JXSnapClientAPI::SnapRequest request;
    request.jobId = jobId;
    request.instance = instance;
    request.databases = {"Sales"};
    request.metadataDirectory = metadataDirectory;
    request.levelName = "Full";
    return request;
}

// Creates "HOST/INST" in `instance` with the one database "Sales" and snaps
// it as full snapshot job `jobId`, its metadata files in `metadataDirectory`.
// `volumes` receives the snapped volumes.
inline ::testing::AssertionResult SnapSales(SqlSimInstance& instance, uint64_t jobId,
                                            const std::string& metadataDirectory, std::vector<std::string>& volumes) {
    SqlSimServerSpec server;
    server.name = "HOST/INST";
    if (instance.Create(server).IsError()) return ::testing::AssertionFailure() << "cannot create HOST/INST";
    SqlSimDatabaseSpec db;
    db.name = "Sales";
    if (instance.AddDatabase(db).IsError()) return ::testing::AssertionFailure() << "cannot add Sales";
    std::string error;
    if (!JXSnapClientAPI::snapDatabases(SalesRequest(jobId, metadataDirectory), volumes, error)) return ::testing::AssertionFailure() << error;
    return ::testing::AssertionSuccess();
}

}  // namespace snaptest
