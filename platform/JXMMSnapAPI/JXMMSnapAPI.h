// JXMMbase, JXMMSnapAPI: the media manager's snapshot interface, as far as a
// backup job asks it whether the snapshots of an application (subclient)
// are replicated.
//
// An object serves one snapshot-engine kind. The answer for an application
// is a record under the platform root, "replication/<kind>/<application
// number>", holding "<enabled 0|1> <replication kind>"; without a record
// replication is not enabled. Tests and the demo write the record with
// SetReplication.
#pragma once

#include <cstdint>
#include <string>

class JXMMbase {
public:
    explicit JXMMbase(int kind) : m_kind(kind) {}
    virtual ~JXMMbase() = default;

    // The snapshot-engine kind this object serves.
    int getKind() const { return m_kind; }

private:
    int m_kind;
};

class JXMMSnapAPI : public JXMMbase {
public:
    explicit JXMMSnapAPI(int kind) : JXMMbase(kind) {}

    // Whether replication is enabled for `appNumber`: 0 with `enabled` and
    // `kind` (the replication kind) filled, `enabled` false when there is no
    // record; otherwise an error code with `error` saying why (an unreadable
    // or malformed record). `reserved` is not used.
    int isReplicationEnabled(uint64_t appNumber, int reserved, bool& enabled, int& kind, std::string& error);

    // Writes the record of `appNumber` for snapshot-engine kind `engineKind`.
    static bool SetReplication(int engineKind, uint64_t appNumber, bool enabled, int replicationKind);

    static constexpr int kErrRecord = 5;
};
