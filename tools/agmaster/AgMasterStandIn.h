// AgMasterStandIn: the master process of an availability-group backup, as
// far as one child backup process needs it. It serves the child's one
// connection (the child connects back to the call-back address it was
// started with) and answers its messages in order:
//   - SQLAGSQLServerToUseForBackup: the configured server name and instance id;
//   - SQLAGCollectFile asking for a promoted, restart or on-demand list: the
//     configured databases and stream count; carrying the child's own list:
//     status 1;
//   - SQLAGStreamCount without a count (a query): the configured count;
//   - SQLTLDumpCache of a log-dump child: recorded with its cache text;
// and records every start, finish, collect file, stream-count update and job
// status as one JSON line in its journal. Told to stay silent it records and
// never answers; told to refuse it answers every request with status 0.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct AgMasterOptions {
    enum class Mode { Answer, Silent, Refuse };
    Mode mode = Mode::Answer;
    std::vector<std::string> databases;  // the list the master hands out
    int64_t streams = 1;
    std::string server;                  // SQL Server the child is to use
    int64_t instanceId = 0;
    std::string journalPath;             // JSON lines, appended
    int timeoutSeconds = 600;            // bound of every wait (platform seconds)
};

class CJxNetwork;

class AgMasterStandIn {
public:
    explicit AgMasterStandIn(AgMasterOptions options);
    ~AgMasterStandIn();
    AgMasterStandIn(const AgMasterStandIn&) = delete;
    AgMasterStandIn& operator=(const AgMasterStandIn&) = delete;

    // A call-back address on 127.0.0.1 for a child started in this process:
    // `port` and `key` are what its "-jxscallerport" and "-jxscallerkey"
    // name. False on failure.
    bool Listen(uint16_t& port, std::string& key);
    // Accepts the connection that presents the key, within the time-out;
    // null when none did.
    std::unique_ptr<CJxNetwork> AcceptChild();
    // Serves the connected child until it hangs up or a wait passes its bound.
    void Serve(CJxNetwork& child);
    // The journal lines written so far.
    std::vector<std::string> Journal() const;

private:
    void Record(const std::string& line);

    AgMasterOptions m_options;
    int m_listener = -1;
    std::string m_key;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_journal;
};
