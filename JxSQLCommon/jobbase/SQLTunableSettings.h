// Readers of the VDI time-out and tunables of a backup or restore.
//
// Sources, each attached by pointer (not owned, skipped when null): the
// subclient's property, then (time-out only) the instance's property, then
// the job's task option for the operation. A value the sources leave out of
// range gives the reader's fixed fallback.
#pragma once

#include "JxSQLCommon/jobbase/SQLAdditionalSettings.h"

class EvTask;
class SubclientConf;
class MsSqlSubclient;
class MsSqlInstance;

enum SQLOperationType { SQL_OPERATION_BACKUP = 1, SQL_OPERATION_RESTORE = 2 };

// VDI time-out in seconds; 0 becomes 300. A task option of 0 is "not set".
class GetVdiTimeout : public SQLAdditionalSettings {
public:
    GetVdiTimeout(unsigned long defaultSeconds, int operationType);

    void setTaskPtr(EvTask* task) { m_task = task; }
    void setSubclientPtr(SubclientConf* subclient) { m_subclient = subclient; }
    void setInstancePtr(MsSqlInstance* instance) { m_instance = instance; }

    bool getOptionValue(unsigned long& value, bool refresh) override;
    using SQLAdditionalSettings::getOptionValue;

private:
    unsigned long m_seconds;
    EvTask* m_task = nullptr;
    SubclientConf* m_subclient = nullptr;
    MsSqlInstance* m_instance = nullptr;
    int m_operationType;
};

// Common shape of the three VDI tunables: a subclient tunable, then a task
// option of 1 or more; a result below 1 gives the tunable's fallback.
class SQLTunableSetting : public SQLAdditionalSettings {
public:
    struct Kind {
        const char* name;              // "block size", "buffer count", ...
        int fallback;                  // answer for a value below 1
        int (MsSqlSubclient::*subclientTunable)(int&) const;
    };

    void setTaskPtr(EvTask* task) { m_task = task; }
    void setSubclientPtr(MsSqlSubclient* subclient) { m_subclient = subclient; }

    bool getOptionValue(int& value, bool refresh);
    using SQLAdditionalSettings::getOptionValue;

protected:
    SQLTunableSetting(const Kind& kind, int defaultValue, SQLOperationType operationType);

    // The task option id for this operation, 0 when the task is not asked.
    virtual unsigned long TaskOptionId() const = 0;

    SQLOperationType m_operationType;

private:
    const Kind& m_kind;
    int m_tunable;
    EvTask* m_task = nullptr;
    MsSqlSubclient* m_subclient = nullptr;
};

// VDI block size in bytes (fallback 65536); the task is asked for backups only.
class GetTunableBlockSize : public SQLTunableSetting {
public:
    GetTunableBlockSize(int defaultValue, SQLOperationType operationType);

protected:
    unsigned long TaskOptionId() const override;
};

// VDI buffer count (fallback 20).
class GetTunableBufferCount : public SQLTunableSetting {
public:
    GetTunableBufferCount(int defaultValue, SQLOperationType operationType);

protected:
    unsigned long TaskOptionId() const override;
};

// VDI maximum transfer size in bytes (fallback 2097152).
class GetTunableMaxTransferSize : public SQLTunableSetting {
public:
    GetTunableMaxTransferSize(int defaultValue, SQLOperationType operationType);

protected:
    unsigned long TaskOptionId() const override;
};
