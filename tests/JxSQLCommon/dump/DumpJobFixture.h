// Whole jobs that restore dump files: the restore end-to-end set-up, plus
// the subclient's two disk-library mount paths, the mounting-service program
// and the check that a job left no mount or marker behind.
#pragma once

#include <filesystem>
#include <string>

#include "ArMgrClientAPI/ArMgrClientAPI.h"
#include "JxLib/JxProcess.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"

class DumpJobEndToEnd : public RestoreEndToEnd {
protected:
    void SetUp() override {
        RestoreEndToEnd::SetUp();
        JxProcess::SetProgramPath(JXMA_MOUNTING_POINT_SERVICE, JX_MOUNT_SERVICE_PROGRAM);
        mpA = MountPath("mpA");
        mpB = MountPath("mpB");
    }
    std::string MountPath(const std::string& name) {
        const std::string path = ArMgrClientAPI::MountPathsFolder(kSubclient) + "/" + name;
        std::filesystem::create_directories(path);
        return path;
    }
    // Nothing of the job is left under its mount root but empty folders, and
    // no marker beside the dumps.
    void ExpectNoMountOrMarker() {
        for (const std::string& folder : {mpA, mpB}) {
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                EXPECT_NE(".rmf", entry.path().extension().string()) << entry.path();
            }
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path())) {
            if (entry.path().string().find("/dump/") != std::string::npos) {
                EXPECT_FALSE(entry.is_symlink()) << entry.path();
            }
        }
    }

    std::string mpA, mpB;
};
