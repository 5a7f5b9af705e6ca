// Bits of the option flag word of a restore task (SqlRestoreTaskOptions_t::
// optionFlags) that the restore job tests or sets.
#pragma once

#include <cstdint>

inline constexpr uint64_t kRstDboOnly = 0x1;
inline constexpr uint64_t kRstOverwrite = 0x2;
inline constexpr uint64_t kRstPointInTime = 0x8;
inline constexpr uint64_t kRstStepRestore = 0x10;
inline constexpr uint64_t kRstNoRecovery = 0x40;
inline constexpr uint64_t kRstStandby = 0x80;
inline constexpr uint64_t kRstRecoveryOnly = 0x100;
inline constexpr uint64_t kRstStopSqlAgent = 0x800;
inline constexpr uint64_t kRstKeepReplication = 0x1000;
inline constexpr uint64_t kRstStopAtMark = 0x2000;
inline constexpr uint64_t kRstStopBeforeMark = 0x4000;
inline constexpr uint64_t kRstPartial = 0x8000;
inline constexpr uint64_t kRstLogShippingOnly = 0x10000;
inline constexpr uint64_t kRstFileFileGroup = 0x20000;
inline constexpr uint64_t kRstSkipFull = 0x40000;
inline constexpr uint64_t kRstKeepCdc = 0x100000;
inline constexpr uint64_t kRstDropDbConnections = 0x200000;
inline constexpr uint64_t kRstOnlyFull = 0x400000;
