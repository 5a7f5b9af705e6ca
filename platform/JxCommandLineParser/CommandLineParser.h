// CommandLineParser: the options every job program takes, and the parsing
// loop its backup and restore forms share.
//
// Options are words of the command line, each followed by its value unless it
// is a switch:
//   -j <job id>          the job's id (decimal)
//   -token <job token>   "<id>:<phase>:<attempt>[:...]" as the job manager gives it
//   -cn <client name>    the client the job runs for
//   -rbs                 the job is a remote-blob-store job
// Unknown options, missing values and numbers that are not plain decimal
// numbers in range are refused with a text naming the option; a later
// occurrence of an option replaces an earlier one.
#pragma once

#include <cstdint>
#include <string>

#include "WzUtils/CWzError.h"

class CommandLineParser {
public:
    virtual ~CommandLineParser() = default;

    // Reads argv[1..argc-1]. Fails, with what was read so far kept, on the
    // first bad option.
    CWzError parse(int argc, const char* const* argv);

    // The base accessors, in the order the job classes know them: the job
    // token, the client name, and the job id (0 when absent).
    const std::string& getJobToken() const { return m_jobToken; }
    const std::string& getClientName() const { return m_clientName; }
    uint64_t getJobId() const { return m_jobId; }

    bool isRBSJob() const { return m_rbs; }

protected:
    // Outcome of offering one option to a subclass.
    enum class Match { No, Switch, Value };

    // Takes the option `name`: a switch answers Switch; an option with a value
    // answers Value, reading it from `value` (null when the command line
    // ended), and fails through `error` when the value is missing or bad.
    virtual Match TakeOption(const std::string& name, const char* value, CWzError& error) = 0;

    // Value helpers for TakeOption: fail when the value is absent (and, for
    // numbers, not a plain unsigned decimal number that fits 64 bits).
    static CWzError ReadText(const std::string& name, const char* value, std::string& out);
    static CWzError ReadNumber(const std::string& name, const char* value, uint64_t& out);

private:
    Match TakeCommonOption(const std::string& name, const char* value, CWzError& error);

    std::string m_jobToken;
    std::string m_clientName;
    uint64_t m_jobId = 0;
    bool m_rbs = false;
};
