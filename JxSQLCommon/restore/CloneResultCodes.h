// Result codes of clone environments, carried in CWzError values (the code
// is the error's result value, read back with FXErrorUtil::GetJXResult).
#pragma once

#include <cstdint>

inline constexpr int32_t kCloneNoArchiveFiles = 100;       // the database's chain cannot be fetched
inline constexpr int32_t kCloneNoSnapJob = 101;            // no full snapshot job
inline constexpr int32_t kCloneInvalidArguments = 102;
inline constexpr int32_t kCloneDetachFailed = 103;
inline constexpr int32_t kCloneNotQualified = 104;         // no mount path; or same instance, same name
inline constexpr int32_t kCloneSeveralSnapJobs = 105;
inline constexpr int32_t kCloneNoAttachRequest = 109;
inline constexpr int32_t kCloneMountFailed = 110;          // also: the attach request cannot be serialised
