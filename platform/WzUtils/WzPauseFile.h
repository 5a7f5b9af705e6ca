// Pause files: an operator (or a test) holds a job at a chosen step by
// creating a file whose name the step names, for example
// "/tmp/BeforeCommit.sleep"; the job waits while the file exists.
//
// The environment variable JX_PAUSE_ROOT, when set, moves every pause file
// under that directory ("/tmp/BeforeCommit.sleep" becomes
// "$JX_PAUSE_ROOT/tmp/BeforeCommit.sleep"), so tests never touch the
// machine's own folders.
#pragma once

#include <string>

namespace wz {

inline constexpr const char* kPauseRootEnv = "JX_PAUSE_ROOT";

// Where the pause file `name` is looked for.
std::string PauseFilePath(const std::string& name);

// Waits in steps of `stepMs` platform milliseconds while the pause file
// exists, at most `maxSteps` steps (a forgotten file must not hold a job for
// ever); true when the file is gone.
bool WaitWhilePauseFile(const std::string& name, int stepMs = 1000, int maxSteps = 24 * 3600);

}  // namespace wz
