// JxProcess: the one runner of every program the system starts.
//
// A command is a program name followed by arguments separated by blanks; it
// is run directly (no shell). The program name is looked up in the platform
// root's program table ("settings/Programs.ini", top-level "name=path" lines)
// so that tests can point "systemctl" or "sqlservr" at a script; a name the
// table does not list is searched on PATH.
//
// Every run is bounded: a program that has not ended within the time-out is
// killed and the run fails. The waits for a program (its end in system, its
// start in StartProcess) are waits on another process (wz::HelperWaitMs).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class JxProcess {
public:
    static constexpr uint32_t kDefaultTimeoutSeconds = 300;
    static constexpr size_t kMaxCapturedBytes = 1 << 20;
    static constexpr const char* kStartInCallerSessionEnv = "JX_START_IN_CALLER_SESSION";

    // Runs the command and collects its standard output and error (each
    // truncated to kMaxCapturedBytes). Returns the exit status (0..255), or
    // -1 when the program could not be started, was killed by a signal or
    // ran past the time-out (platform seconds; 0 means the default); the
    // reason is then appended to `error`.
    static int system(const std::string& command, std::string& output, std::string& error,
                      uint32_t timeoutSeconds = 0);

    // Starts the command and does not wait for it to end (the program is
    // detached: nothing is left to reap; it runs in a session of its own
    // unless the environment names kStartInCallerSessionEnv, as tests do).
    // Returns 1 once the program is running, 0 when it could not be started,
    // with the reason in `error`. `workingFolder` and `flags` are accepted
    // and not used.
    static int StartProcess(const std::string& workingFolder, const std::string& command, std::string& error,
                            int flags);
    // The same for a program name and its arguments given word by word, so
    // an argument may hold blanks.
    static int StartProcess(std::vector<std::string> words, std::string& error);
    // The same with the reason copied into `errorText` (at most
    // errorSize - 1 characters, always terminated when errorSize > 0).
    static int StartProcess(const char* workingFolder, const char* command, char* errorText, int errorSize,
                            int flags);

    // Starts the command as a child of this process and keeps it: the caller
    // learns when it ends through ChildEnded or ends it with EndChild, both
    // of which reap it, so no zombie is left. With `emptyEnvironment` the
    // program starts without environment variables. Returns the child's pid,
    // or -1 with the reason in `error` when the program could not be started
    // (a failed exec is reported here; the child then ends with 127).
    static pid_t StartChild(const std::string& command, std::string& error, bool emptyEnvironment);
    // Whether the child has ended; an ended child is reaped and its exit
    // status (or 128 + signal) goes to `exitCode` when given. A pid that is
    // not a child of this process (already reaped) counts as ended.
    static bool ChildEnded(pid_t pid, int* exitCode = nullptr);
    // Sends `signal` to the child and waits for it to end, at most
    // `timeoutSeconds` platform seconds (0: the default), then kills it;
    // reaps it either way. False when the signal could not be sent to a
    // running child.
    static bool EndChild(pid_t pid, int signal, uint32_t timeoutSeconds = 0);

    // The path a program name resolves to (the name itself when the table
    // does not list it).
    static std::string ProgramPath(const std::string& program);
    // Points a program name at a path (tests).
    static bool SetProgramPath(const std::string& program, const std::string& path);
};
