// Settings of clone restores: the reservation time, the iSCSI mount proxy and
// the switch that allows clones over iSCSI.
#pragma once

#include "JxSQLCommon/jobbase/SQLSwitchSettings.h"

// Mount directory of a clone: the first path of the restore option message
// carried in task option 439957546. False (caller's text untouched) when the
// option is absent or empty, the message cannot be decoded or names no path.
class CloneMountDirectory : public SQLAdditionalSettings {
public:
    CloneMountDirectory(EvTask* task, std::string defaultDirectory);

    bool getOptionValue(std::string& value, bool refresh);
    using SQLAdditionalSettings::getOptionValue;

private:
    EvTask* m_task;
    std::string m_directory;
};

// Reservation time of a clone in seconds (task option 136708744); a negative
// value gives the default.
class CloneReservationTimeInSeconds : public SQLAdditionalSettings {
public:
    CloneReservationTimeInSeconds(EvTask* task, int defaultSeconds);

    bool getOptionValue(int& value, bool refresh);
    using SQLAdditionalSettings::getOptionValue;

private:
    EvTask* m_task;
    int m_default;
};

// Client that mounts the clone over iSCSI (task option 162972553).
class IscsiMountProxyClient : public SQLAdditionalSettings {
public:
    IscsiMountProxyClient(EvTask* task, unsigned long defaultClientId);

    bool getOptionValue(unsigned long& value, bool refresh) override;
    using SQLAdditionalSettings::getOptionValue;

private:
    EvTask* m_task;
    unsigned long m_clientId;
};

// Whether clones may be made over iSCSI (global parameter
// "bEnableClonesViaISCSI", default on).
class CloneViaIscsiEnabled : public SQLSwitchSettings {
public:
    explicit CloneViaIscsiEnabled(bool cache);
};
