// JxProcess: the one runner of every program the system starts.
//
// A command is a program name followed by arguments separated by blanks; it
// is run directly (no shell). The program name is looked up in the platform
// root's program table ("settings/Programs.ini", top-level "name=path" lines)
// so that tests can point "systemctl" or "sqlservr" at a script; a name the
// table does not list is searched on PATH.
//
// Every run is bounded: a program that has not ended within the time-out is
// killed and the run fails.
#pragma once

#include <cstdint>
#include <string>

class JxProcess {
public:
    static constexpr uint32_t kDefaultTimeoutSeconds = 300;
    static constexpr size_t kMaxCapturedBytes = 1 << 20;

    // Runs the command and collects its standard output and error (each
    // truncated to kMaxCapturedBytes). Returns the exit status (0..255), or
    // -1 when the program could not be started, was killed by a signal or
    // ran past the time-out (platform seconds; 0 means the default); the
    // reason is then appended to `error`.
    static int system(const std::string& command, std::string& output, std::string& error,
                      uint32_t timeoutSeconds = 0);

    // The path a program name resolves to (the name itself when the table
    // does not list it).
    static std::string ProgramPath(const std::string& program);
    // Points a program name at a path (tests).
    static bool SetProgramPath(const std::string& program, const std::string& path);
};
